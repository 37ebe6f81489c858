#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace horalux::test {

// A desktop that records message boxes, clipboard writes and started programs, and
// answers file and environment queries from its maps.
class FakeDesktop : public Desktop {
public:
    struct Message {
        std::string text;
        int style = 0;
        std::string title;
    };
    struct Started {
        std::vector<std::string> argv;
        int windowStyle = 0;
    };

    void messageBox(const std::string& text, int style, const std::string& title) override {
        messages.push_back({text, style, title});
    }
    void setClipboardText(const std::string& text) override { clipboard.push_back(text); }
    bool startProgram(const std::vector<std::string>& argv, int windowStyle) override {
        started.push_back({argv, windowStyle});
        return startSucceeds;
    }
    std::string environmentVariable(const std::string& name) override {
        const auto it = environment.find(name);
        return it == environment.end() ? std::string() : it->second;
    }
    FileLength fileLength(const std::string& path) override {
        fileQueries.push_back(path);
        const auto it = files.find(path);
        return it == files.end() ? FileLength{FileLength::Status::NotFound, 0} : it->second;
    }
    std::string systemDirectory() override { return systemDir; }
    std::string httpLibraryFileName() override { return libraryName; }

    std::vector<Message> messages;
    // Every text put on the clipboard, in order.
    std::vector<std::string> clipboard;
    std::vector<Started> started;
    // What startProgram answers.
    bool startSucceeds = true;
    std::map<std::string, std::string> environment;
    std::map<std::string, FileLength> files;
    std::vector<std::string> fileQueries;
    std::string systemDir = "/usr/lib/x86_64-linux-gnu";
    std::string libraryName = "libcurl.so.4";
};

}  // namespace horalux::test
