#pragma once

#include <string>

namespace horalux {

// ISO-8859-1 text as UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

// Converts ISO-8859-1 text to the terminal's character set (as the C library's locale
// says; set it with setlocale first). One source character stays one character where the
// target can hold it; characters it cannot hold become '?'.
class TerminalText {
public:
    TerminalText();
    ~TerminalText();
    TerminalText(const TerminalText&) = delete;
    TerminalText& operator=(const TerminalText&) = delete;

    std::string operator()(const std::string& latin1) const;

private:
    // iconv descriptor, or none when the terminal takes ISO-8859-1 or UTF-8 as they come
    // (or when not even ASCII can be converted to, where the bytes go out as they are).
    void* m_converter = nullptr;
    // The terminal's character set is UTF-8.
    bool m_utf8 = false;
};

}  // namespace horalux
