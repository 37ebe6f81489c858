#include "model/TzdataRelease.h"

#include "model/RegularFile.h"
#include "model/TimeZone.h"

#include <algorithm>
#include <string_view>

namespace zonarium {

namespace {

constexpr std::string_view kUnknown = "unknown";
constexpr std::string_view kVersionLine = "# version ";
// Longest release text accepted, in bytes.
constexpr std::size_t kMaxReleaseLength = 20;
// Longest line looked at, and the part of tzdata.zi read, in bytes.
constexpr std::size_t kMaxLineBytes = 255;
constexpr std::size_t kMaxHeadBytes = 4096;

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
    // The version line is among the leading comments, so only the file's start is read; a
    // line longer than kMaxLineBytes ends the search.
    const FileRead zi = readRegularFile(directory + "/tzdata.zi", kMaxHeadBytes, Beyond::Ignore);
    std::string_view rest = zi.bytes;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const bool cut = end == std::string_view::npos && zi.bytes.size() == kMaxHeadBytes;
        if (cut || line.size() > kMaxLineBytes || line.empty() || line.front() != '#') {
            break;
        }
        if (line.substr(0, kVersionLine.size()) == kVersionLine) {
            const std::string_view release = line.substr(kVersionLine.size());
            return std::string(isWellFormedRelease(release) ? release : kUnknown);
        }
        rest.remove_prefix(std::min(end, rest.size() - 1) + 1);
    }
    const FileRead version =
        readRegularFile(directory + "/+VERSION", kMaxLineBytes, Beyond::Ignore);
    const std::string_view release =
        std::string_view(version.bytes)
            .substr(0, std::min(version.bytes.find('\n'), version.bytes.size()));
    return std::string(isWellFormedRelease(release) ? release : kUnknown);
}

std::string systemTzdataRelease() {
    return readTzdataRelease(zoneDirectory());
}

std::string versionText() {
    return "zonariumd " ZONARIUM_VERSION "\ntzdata " + systemTzdataRelease() + "\n";
}

}  // namespace zonarium
