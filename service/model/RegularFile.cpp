#include "model/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace zonarium {

std::string_view to_string(FileError error) {
    switch (error) {
        case FileError::None:
            return "read";
        case FileError::CannotOpen:
            return "cannot be opened";
        case FileError::NotRegular:
            return "not a regular file";
        case FileError::TooLarge:
            return "too large";
        case FileError::ReadFailed:
            return "read error";
    }
    return "read error";
}

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, Beyond beyond) {
    FileRead result;
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (file < 0) {
        result.error = FileError::CannotOpen;
        return result;
    }
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.error = FileError::NotRegular;
    } else if (static_cast<std::uintmax_t>(status.st_size) > maxBytes && beyond == Beyond::Refuse) {
        result.error = FileError::TooLarge;
    } else {
        // Read to the end, which may lie past the size the file had when opened; one byte
        // past the bound tells a file that outgrew it.
        const std::size_t limit = maxBytes + 1;
        result.bytes.resize(std::min(static_cast<std::size_t>(status.st_size) + 1, limit));
        std::size_t filled = 0;
        for (;;) {
            if (filled == result.bytes.size()) {
                if (filled == limit) {
                    break;
                }
                result.bytes.resize(std::min(std::max(filled * 2, std::size_t{4096}), limit));
            }
            const ssize_t got =
                ::read(file, result.bytes.data() + filled, result.bytes.size() - filled);
            if (got > 0) {
                filled += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                result.error = FileError::ReadFailed;
                break;
            }
        }
        if (filled > maxBytes && beyond == Beyond::Refuse) {
            result.error = FileError::TooLarge;
        }
        result.bytes.resize(std::min(filled, maxBytes));
    }
    ::close(file);
    if (result.error != FileError::None) {
        result.bytes.clear();
    }
    return result;
}

}  // namespace zonarium
