#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace horalux {

// What a request asks for, gathered before it is sent.
struct CurlRequest {
    std::string verb;
    // Path and query, starting with '/'.
    std::string object;
    // "HTTP/1.1" or "HTTP/1.0".
    std::string version;
    // Header lines as "Name: value", in the order they go out.
    std::vector<std::string> headers;
    // Time-outs, in milliseconds; a minute where the caller sets none.
    std::uint32_t connectTimeoutMs = 60000;
    std::uint32_t sendTimeoutMs = 60000;
    std::uint32_t receiveTimeoutMs = 60000;
};

// One request's transfer on libcurl's multi interface. It moves only inside step(), so
// nothing happens on the network between calls. A reply head over CurlInternet::kMaxHeadBytes
// fails the transfer; at most CurlInternet::kMaxBufferedBody body bytes wait in memory, beyond
// which the transfer pauses until read() takes some.
class CurlTransfer {
public:
    CurlTransfer() = default;
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // Sets the transfer up for `url` as `request` asks; `direct` bypasses any proxy. False
    // when libcurl could not set it up, which leaves it finished.
    bool start(const std::string& url, const CurlRequest& request, const std::string& userAgent,
               bool direct);
    // Lets the transfer move as far as it can without waiting, and notes its end.
    void step();
    // Waits up to `milliseconds` for the network to have something for step().
    void wait(int milliseconds);

    // The final reply's head has arrived.
    bool headComplete() const { return m_headComplete; }
    // The reply head: status and header lines, each ended by a zero byte, then one more.
    const std::string& rawHeaders() const { return m_rawHeaders; }
    // The transfer has ended, and how.
    bool finished() const { return m_finished; }
    bool succeeded() const { return m_result == CURLE_OK; }
    // Body bytes received and not yet read.
    std::size_t buffered() const { return m_body.size() - m_bodyOffset; }
    // Moves up to `size` buffered bytes to `buffer` and returns how many; resumes a paused
    // transfer once there is room again.
    std::size_t read(char* buffer, std::size_t size);
    // Gives back the body buffer's memory once nothing is left in it.
    void releaseDrainedBuffer();

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user);
    void finish(CURLcode result);

    CURL* m_easy = nullptr;
    CURLM* m_multi = nullptr;
    curl_slist* m_headerList = nullptr;
    // Bytes of every reply head received so far, interim replies included.
    std::size_t m_headBytes = 0;
    // The head being received belongs to an interim (1xx) reply.
    bool m_interim = false;
    bool m_headComplete = false;
    std::string m_rawHeaders;
    // Body bytes received and not yet read, from m_bodyOffset on.
    std::string m_body;
    std::size_t m_bodyOffset = 0;
    // The transfer waits for the caller to read.
    bool m_paused = false;
    bool m_finished = false;
    CURLcode m_result = CURLE_OK;
};

}  // namespace horalux
