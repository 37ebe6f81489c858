#include "platform/PosixRegistry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/AsciiCase.h"

namespace horalux {
namespace {

// The one key and value this registry knows.
constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kToolValue = "PATH";

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

const std::vector<std::string> PosixRegistry::kSystemInfoPrograms{
    "hardinfo", "kinfocenter", "gnome-system-monitor", "mate-system-monitor"};

PosixRegistry::PosixRegistry(std::string searchPath) : m_searchPath(std::move(searchPath)) {}

PosixRegistry::PosixRegistry() {
    const char* path = std::getenv("PATH");
    m_searchPath = path == nullptr ? std::string() : std::string(path);
}

std::string PosixRegistry::findSystemInfoProgram() const {
    for (const std::string& program : kSystemInfoPrograms) {
        std::string::size_type start = 0;
        while (start <= m_searchPath.size()) {
            std::string::size_type end = m_searchPath.find(':', start);
            if (end == std::string::npos) {
                end = m_searchPath.size();
            }
            // An empty or relative entry would name a folder relative to wherever the
            // program happens to run; it is passed over.
            const std::string folder = m_searchPath.substr(start, end - start);
            if (!folder.empty() && folder.front() == '/') {
                const std::string candidate =
                    folder.back() == '/' ? folder + program : folder + "/" + program;
                if (isExecutableFile(candidate)) {
                    return candidate;
                }
            }
            start = end + 1;
        }
    }
    return {};
}

std::int32_t PosixRegistry::openKey(RegistryKey root, const std::string& subKey,
                                    std::uint32_t /*accessMask*/, RegistryKey& key) {
    key = kNoRegistryKey;
    if (root != kLocalMachine || !equalsIgnoringCase(subKey, kToolKey)) {
        return RegistryResult::kNotFound;
    }
    key = ++m_lastKey;
    m_open.push_back(key);
    return RegistryResult::kSuccess;
}

std::int32_t PosixRegistry::queryValue(RegistryKey key, const std::string& name,
                                       std::uint32_t& type, std::span<std::uint8_t> buffer,
                                       std::uint32_t& size) {
    if (std::find(m_open.begin(), m_open.end(), key) == m_open.end()) {
        return RegistryResult::kInvalidHandle;
    }
    if (!equalsIgnoringCase(name, kToolValue)) {
        return RegistryResult::kNotFound;
    }
    const std::string path = findSystemInfoProgram();
    if (path.empty()) {
        return RegistryResult::kNotFound;
    }
    // A string value is stored with its terminating NUL.
    const std::size_t length = path.size() + 1;
    if (length > size || length > buffer.size()) {
        size = static_cast<std::uint32_t>(length);
        return RegistryResult::kMoreData;
    }
    std::memcpy(buffer.data(), path.c_str(), length);
    type = RegistryType::kString;
    size = static_cast<std::uint32_t>(length);
    return RegistryResult::kSuccess;
}

std::int32_t PosixRegistry::closeKey(RegistryKey key) {
    const auto it = std::find(m_open.begin(), m_open.end(), key);
    if (it == m_open.end()) {
        return RegistryResult::kInvalidHandle;
    }
    m_open.erase(it);
    return RegistryResult::kSuccess;
}

}  // namespace horalux
