#include "model/TzdataRelease.h"

#include "model/TimeZone.h"

#include <array>
#include <fstream>
#include <string_view>

namespace zonarium {

namespace {

constexpr std::string_view kUnknown = "unknown";
constexpr std::string_view kVersionLine = "# version ";
// Longest release text accepted, in bytes.
constexpr std::size_t kMaxReleaseLength = 20;

bool isWellFormedRelease(std::string_view text) {
    if (text.empty() || text.size() > kMaxReleaseLength || text == kUnknown) {
        return false;
    }
    for (const char c : text) {
        const bool good = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                          (c >= 'A' && c <= 'Z') || c == '.' || c == '-' || c == '+';
        if (!good) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string readTzdataRelease(const std::string& directory) {
    std::ifstream in(directory + "/tzdata.zi", std::ios::binary);
    // The version line is among the leading comments; a line longer than the buffer ends
    // the search (getline fails), so a stray binary file is never read whole.
    std::array<char, 256> buffer{};
    while (in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
        const std::string_view line(buffer.data());
        if (line.empty() || line.front() != '#') {
            break;
        }
        if (line.substr(0, kVersionLine.size()) == kVersionLine) {
            const std::string_view release = line.substr(kVersionLine.size());
            return std::string(isWellFormedRelease(release) ? release : kUnknown);
        }
    }
    std::ifstream version(directory + "/+VERSION", std::ios::binary);
    if (version.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
        const std::string_view release(buffer.data());
        if (isWellFormedRelease(release)) {
            return std::string(release);
        }
    }
    return std::string(kUnknown);
}

std::string systemTzdataRelease() {
    return readTzdataRelease(zoneDirectory());
}

std::string versionText() {
    return "zonariumd " ZONARIUM_VERSION "\ntzdata " + systemTzdataRelease() + "\n";
}

}  // namespace zonarium
