#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zonarium {

// Why a file could not be read.
enum class FileError {
    None,
    // Missing, or not to be opened.
    CannotOpen,
    // A directory, FIFO, socket or device: only regular files are read.
    NotRegular,
    // Larger than the bound, by its size before reading or its length once read.
    TooLarge,
    // The read failed.
    ReadFailed,
};

// What the error says, e.g. "not a regular file".
std::string_view to_string(FileError error);

// Outcome of reading a file: its bytes, or why there are none.
struct FileRead {
    std::string bytes;
    FileError error = FileError::None;

    explicit operator bool() const { return error == FileError::None; }
};

// What is done with bytes beyond the bound.
enum class Beyond { Refuse, Ignore };

// Reads the regular file at `path`: at most `maxBytes` of it. Opened without blocking and
// checked to be a regular file before any byte is read, so that a FIFO, device or socket put
// in its place never holds the caller; a file larger than `maxBytes` by its size is refused
// before reading with Beyond::Refuse, and read only to `maxBytes` with Beyond::Ignore. A file
// that grows past the bound while being read is refused (Refuse) or cut (Ignore) too.
FileRead readRegularFile(const std::string& path, std::size_t maxBytes,
                         Beyond beyond = Beyond::Refuse);

}  // namespace zonarium
