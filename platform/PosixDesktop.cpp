#include "platform/PosixDesktop.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace horalux {
namespace {

// Full path of the loaded HTTP client library, as the dynamic loader found it.
std::string loadedHttpLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&curl_version), &info) == 0 ||
        info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

}  // namespace

bool PosixDesktop::startProgram(const std::vector<std::string>& argv, int /*windowStyle*/) {
    if (argv.empty() || argv.front().empty()) {
        return false;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawnp(&pid, args.front(), nullptr, nullptr, args.data(), environ) != 0) {
        return false;
    }
    // The caller does not wait; a detached reaper keeps the child from lingering as a
    // zombie once it ends.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

std::string PosixDesktop::environmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? std::string() : std::string(value);
}

FileLength PosixDesktop::fileLength(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return {FileLength::Status::OtherError, 0};
        }
        return {FileLength::Status::Ok, static_cast<std::int64_t>(st.st_size)};
    }
    if (errno != ENOENT) {
        return {FileLength::Status::OtherError, 0};
    }
    // "Not found" means the folder is there and the file is not; a missing folder is a
    // failure of another kind.
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) == 0 && S_ISDIR(folderStat.st_mode)) {
        return {FileLength::Status::NotFound, 0};
    }
    return {FileLength::Status::OtherError, 0};
}

std::string PosixDesktop::systemDirectory() {
    const std::string path = loadedHttpLibraryPath();
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash);
}

std::string PosixDesktop::httpLibraryFileName() {
    const std::string path = loadedHttpLibraryPath();
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace horalux
