#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Internet.h"

namespace horalux::test {

// An internet API that records what it is asked and answers every sent request with the
// next scripted reply. Sending and each read count as one wait: the wait handler runs, then
// the test's own hook, and a handle closed meanwhile makes the call fail.
class FakeInternet : public Internet {
public:
    struct OpenCall {
        std::string userAgent;
        int accessType = 0;
    };
    struct ConnectCall {
        InternetHandle session = kNoHandle;
        std::string server;
        std::uint16_t port = 0;
    };
    // One request as it was built.
    struct RequestCall {
        InternetHandle handle = kNoHandle;
        InternetHandle connection = kNoHandle;
        std::string verb;
        std::string object;
        std::string version;
        std::uint32_t flags = 0;
        // Header texts with their modifiers, in the order added.
        std::vector<std::pair<std::string, std::uint32_t>> headers;
        // Options with their values, in the order set.
        std::vector<std::pair<int, std::uint32_t>> options;
        bool sent = false;
    };
    // What a sent request gets.
    struct Reply {
        bool sendSucceeds = true;
        // Status line and header lines each ended by a zero byte.
        std::string rawHeaders = std::string("HTTP/1.1 200 OK\0Content-Type: text/html\0\0", 42);
        std::string body;
        // Most bytes one read hands out.
        std::size_t maxChunk = SIZE_MAX;
        // The read after the last body byte fails instead of reporting the end.
        bool failAtEnd = false;
    };

    InternetHandle open(const std::string& userAgent, int accessType) override {
        opens.push_back({userAgent, accessType});
        return openSucceeds ? add(sessions) : kNoHandle;
    }

    InternetHandle connect(InternetHandle session, const std::string& server,
                           std::uint16_t port) override {
        connects.push_back({session, server, port});
        return sessions.count(session) != 0 ? add(connections, session) : kNoHandle;
    }

    InternetHandle openRequest(InternetHandle connection, const std::string& verb,
                               const std::string& object, const std::string& version,
                               std::uint32_t flags) override {
        RequestCall call{kNoHandle, connection, verb, object, version, flags, {}, {}, false};
        if (connections.count(connection) != 0) {
            call.handle = add(liveRequests, connection);
        }
        requests.push_back(call);
        return call.handle;
    }

    bool addRequestHeaders(InternetHandle request, const std::string& headers,
                           std::uint32_t modifiers) override {
        RequestCall* call = live(request);
        if (call == nullptr) {
            return false;
        }
        call->headers.emplace_back(headers, modifiers);
        return true;
    }

    bool setOption(InternetHandle request, int option, std::uint32_t value) override {
        RequestCall* call = live(request);
        if (call == nullptr) {
            return false;
        }
        call->options.emplace_back(option, value);
        return true;
    }

    bool sendRequest(InternetHandle request) override {
        if (live(request) == nullptr) {
            return false;
        }
        wait();
        RequestCall* call = live(request);
        if (call == nullptr) {
            return false;
        }
        call->sent = true;
        Reply reply = replies.empty() ? Reply{} : replies.front();
        if (!replies.empty()) {
            replies.pop_front();
        }
        if (!reply.sendSucceeds) {
            return false;
        }
        answered[request] = {reply, 0};
        return true;
    }

    bool queryInfo(InternetHandle request, int level, std::string& value) override {
        value.clear();
        const auto it = answered.find(request);
        if (live(request) == nullptr || it == answered.end() ||
            level != QueryInfoLevel::kRawHeaders) {
            return false;
        }
        value = it->second.reply.rawHeaders;
        return true;
    }

    bool readFile(InternetHandle request, char* buffer, std::size_t size,
                  std::size_t& bytesRead) override {
        bytesRead = 0;
        ++reads;
        if (live(request) == nullptr || answered.count(request) == 0) {
            return false;
        }
        wait();
        const auto it = answered.find(request);
        if (live(request) == nullptr || it == answered.end()) {
            return false;
        }
        Answer& answer = it->second;
        const std::size_t count =
            std::min({size, answer.reply.maxChunk, answer.reply.body.size() - answer.offset});
        if (count == 0) {
            return !answer.reply.failAtEnd;
        }
        std::memcpy(buffer, answer.reply.body.data() + answer.offset, count);
        answer.offset += count;
        bytesRead = count;
        return true;
    }

    // Closing a session or a connection also ends what was made from it.
    bool closeHandle(InternetHandle handle) override {
        closes.push_back(handle);
        return drop(handle);
    }

    bool connectedState() override {
        ++connectedQueries;
        return connected;
    }

    void setWaitHandler(std::function<void()> handler) override {
        waitHandler = std::move(handler);
    }

    // Hands out a live handle of no particular kind.
    InternetHandle makeHandle() { return add(others); }

    // Handles not yet closed, of every kind.
    std::size_t liveCount() const {
        return sessions.size() + connections.size() + liveRequests.size() + others.size();
    }

    bool openSucceeds = true;
    // What connectedState() answers, and how often it was asked.
    bool connected = true;
    int connectedQueries = 0;
    // Replies for the coming sends, in order; a default reply once they are used up.
    std::deque<Reply> replies;
    // Runs at every wait, after the wait handler.
    std::function<void()> onWait;
    std::function<void()> waitHandler;

    std::vector<OpenCall> opens;
    std::vector<ConnectCall> connects;
    std::vector<RequestCall> requests;
    std::vector<InternetHandle> closes;
    int reads = 0;
    std::set<InternetHandle> sessions;
    std::set<InternetHandle> connections;
    std::set<InternetHandle> liveRequests;
    std::set<InternetHandle> others;
    InternetHandle lastHandle = 100;

private:
    struct Answer {
        Reply reply;
        std::size_t offset = 0;
    };

    InternetHandle add(std::set<InternetHandle>& kind, InternetHandle parent = kNoHandle) {
        kind.insert(++lastHandle);
        parents[lastHandle] = parent;
        return lastHandle;
    }

    bool drop(InternetHandle handle) {
        answered.erase(handle);
        const bool known = sessions.erase(handle) + connections.erase(handle) +
                               liveRequests.erase(handle) + others.erase(handle) ==
                           1;
        if (known) {
            for (const auto& [child, parent] : parents) {
                if (parent == handle) {
                    drop(child);
                }
            }
        }
        return known;
    }

    RequestCall* live(InternetHandle handle) {
        if (liveRequests.count(handle) == 0) {
            return nullptr;
        }
        const auto it = std::find_if(requests.begin(), requests.end(),
                                     [&](const RequestCall& r) { return r.handle == handle; });
        return it == requests.end() ? nullptr : &*it;
    }

    void wait() {
        if (waitHandler) {
            waitHandler();
        }
        if (onWait) {
            onWait();
        }
    }

    std::map<InternetHandle, Answer> answered;
    // The session of each connection, the connection of each request.
    std::map<InternetHandle, InternetHandle> parents;
};

}  // namespace horalux::test
