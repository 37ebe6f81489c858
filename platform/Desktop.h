#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace horalux {

// Button and icon style of a message box, as the numeric values it is given.
namespace MessageStyle {
inline constexpr int kOkOnly = 0;
inline constexpr int kCritical = 16;
inline constexpr int kInformation = 64;
}  // namespace MessageStyle

// How a started program's window is shown.
namespace WindowStyle {
inline constexpr int kNormalFocus = 1;
inline constexpr int kMinimizedFocus = 2;
}  // namespace WindowStyle

// Outcome of asking for a file's length.
struct FileLength {
    enum class Status { Ok, NotFound, OtherError };
    Status status = Status::OtherError;
    std::int64_t bytes = 0;  // valid only with Status::Ok
};

// What the program asks of the desktop and the operating system. Texts are ISO-8859-1
// byte strings; an implementation converts them where they reach the screen.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows a modal message box and returns once the user has dismissed it.
    virtual void messageBox(const std::string& text, int style, const std::string& title) = 0;
    // Replaces the clipboard's text.
    virtual void setClipboardText(const std::string& text) = 0;
    // Starts `argv[0]` with the given arguments and returns at once; false if it could not
    // be started.
    virtual bool startProgram(const std::vector<std::string>& argv, int windowStyle) = 0;
    // Value of an environment variable, empty when it is not set.
    virtual std::string environmentVariable(const std::string& name) = 0;
    // Length of a file; NotFound only when the folder exists and holds no such file.
    virtual FileLength fileLength(const std::string& path) = 0;
    // The folder that holds the system's shared libraries, in particular the HTTP client
    // library this program has loaded; empty on failure.
    virtual std::string systemDirectory() = 0;
    // File name of the HTTP client library inside systemDirectory().
    virtual std::string httpLibraryFileName() = 0;
};

}  // namespace horalux
