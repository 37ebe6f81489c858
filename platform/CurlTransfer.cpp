#include "platform/CurlTransfer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/CurlInternet.h"

namespace horalux {

CurlTransfer::~CurlTransfer() {
    if (m_multi != nullptr && m_easy != nullptr) {
        curl_multi_remove_handle(m_multi, m_easy);
    }
    if (m_easy != nullptr) {
        curl_easy_cleanup(m_easy);
    }
    if (m_multi != nullptr) {
        curl_multi_cleanup(m_multi);
    }
    curl_slist_free_all(m_headerList);
}

bool CurlTransfer::start(const std::string& url, const CurlRequest& request,
                         const std::string& userAgent, bool direct) {
    m_easy = curl_easy_init();
    m_multi = curl_multi_init();
    if (m_easy == nullptr || m_multi == nullptr) {
        finish(CURLE_FAILED_INIT);
        return false;
    }
    for (const std::string& header : request.headers) {
        m_headerList = curl_slist_append(m_headerList, header.c_str());
    }
    // libcurl's own Accept header is not part of the request.
    m_headerList = curl_slist_append(m_headerList, "Accept:");

    CURL* e = m_easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     static_cast<long>(request.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0
                                                                     : CURL_HTTP_VERSION_1_1));
    if (request.verb == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    }
    curl_easy_setopt(e, CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headerList);
    if (direct) {
        curl_easy_setopt(e, CURLOPT_PROXY, "");
    }
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
    // Sending and receiving may each stall for their time-out: less than a byte a second
    // over that long ends the transfer.
    const std::uint32_t stallMs = std::max(request.sendTimeoutMs, request.receiveTimeoutMs);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>((stallMs + 999) / 1000)));
    // A peer that trickles just fast enough is still stopped: the whole transfer may take
    // the three time-outs together.
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(request.connectTimeoutMs) +
                         static_cast<long>(request.sendTimeoutMs) +
                         static_cast<long>(request.receiveTimeoutMs));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlTransfer::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlTransfer::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(m_multi, e) != CURLM_OK) {
        finish(CURLE_FAILED_INIT);
        return false;
    }
    return true;
}

void CurlTransfer::step() {
    if (m_finished) {
        return;
    }
    int running = 0;
    if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
        finish(CURLE_FAILED_INIT);
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
            finish(message->data.result);
        }
    }
}

void CurlTransfer::wait(int milliseconds) {
    curl_multi_poll(m_multi, nullptr, 0, milliseconds, nullptr);
}

void CurlTransfer::finish(CURLcode result) {
    m_finished = true;
    m_result = result;
}

std::size_t CurlTransfer::read(char* buffer, std::size_t size) {
    const std::size_t count = std::min(size, buffered());
    if (count == 0) {
        return 0;
    }
    std::memcpy(buffer, m_body.data() + m_bodyOffset, count);
    m_bodyOffset += count;
    if (m_bodyOffset == m_body.size()) {
        // Once the transfer is over, the buffer's memory goes too: the request may stay open
        // for a long while after its body has been read.
        if (m_finished) {
            std::string().swap(m_body);
        } else {
            m_body.clear();
        }
        m_bodyOffset = 0;
    } else if (m_bodyOffset >= CurlInternet::kMaxBufferedBody / 2) {
        m_body.erase(0, m_bodyOffset);
        m_bodyOffset = 0;
    }
    if (m_paused && buffered() < CurlInternet::kMaxBufferedBody) {
        m_paused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT);
    }
    return count;
}

void CurlTransfer::releaseDrainedBuffer() {
    if (buffered() == 0) {
        std::string().swap(m_body);
        m_bodyOffset = 0;
    }
}

std::size_t CurlTransfer::onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<CurlTransfer*>(user);
    const std::size_t length = size * count;
    if (t.m_headComplete) {
        return length;  // trailers of a chunked body are not part of the head
    }
    t.m_headBytes += length;
    if (t.m_headBytes > CurlInternet::kMaxHeadBytes) {
        return 0;  // fails the transfer
    }
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.substr(0, 5) == "HTTP/") {
        // A new reply head; an interim reply's lines are dropped.
        t.m_rawHeaders.assign(line);
        t.m_rawHeaders += '\0';
        const std::size_t space = line.find(' ');
        t.m_interim =
            space != std::string_view::npos && line.size() > space + 1 && line[space + 1] == '1';
    } else if (line.empty()) {
        if (!t.m_interim) {
            t.m_rawHeaders += '\0';
            t.m_headComplete = true;
        }
    } else {
        t.m_rawHeaders.append(line);
        t.m_rawHeaders += '\0';
    }
    return length;
}

std::size_t CurlTransfer::onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<CurlTransfer*>(user);
    if (t.buffered() >= CurlInternet::kMaxBufferedBody) {
        t.m_paused = true;
        return CURL_WRITEFUNC_PAUSE;  // the same bytes come again after the pause
    }
    t.m_body.append(data, size * count);
    return size * count;
}

}  // namespace horalux
