#pragma once

#include <set>
#include <string>
#include <vector>

#include "Internet.h"

namespace horalux::test {

// An internet API that records what it is asked and opens sessions only while allowed.
class FakeInternet : public Internet {
public:
    struct OpenCall {
        std::string userAgent;
        int accessType = 0;
    };

    InternetHandle open(const std::string& userAgent, int accessType) override {
        opens.push_back({userAgent, accessType});
        if (!openSucceeds) {
            return kNoHandle;
        }
        const InternetHandle handle = ++lastHandle;
        live.insert(handle);
        return handle;
    }

    bool closeHandle(InternetHandle handle) override {
        closes.push_back(handle);
        return live.erase(handle) == 1;
    }

    bool connectedState() override {
        ++connectedQueries;
        return connected;
    }

    // Hands out a live handle of no particular kind, as a fetch would.
    InternetHandle makeHandle() {
        const InternetHandle handle = ++lastHandle;
        live.insert(handle);
        return handle;
    }

    bool openSucceeds = true;
    // What connectedState() answers, and how often it was asked.
    bool connected = true;
    int connectedQueries = 0;
    std::vector<OpenCall> opens;
    std::vector<InternetHandle> closes;
    std::set<InternetHandle> live;
    InternetHandle lastHandle = 100;
};

}  // namespace horalux::test
