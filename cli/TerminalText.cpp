#include "cli/TerminalText.h"

#include <iconv.h>
#include <langinfo.h>

#include <cstddef>

namespace horalux {

std::string Latin1ToUtf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

TerminalText::TerminalText() {
    const std::string charset = nl_langinfo(CODESET);
    m_utf8 = charset == "UTF-8";
    if (!m_utf8 && charset != "ISO-8859-1") {
        iconv_t converter = iconv_open(charset.c_str(), "ISO-8859-1");
        if (converter == reinterpret_cast<iconv_t>(-1)) {
            converter = iconv_open("ASCII", "ISO-8859-1");
        }
        if (converter != reinterpret_cast<iconv_t>(-1)) {
            m_converter = converter;
        }
    }
}

TerminalText::~TerminalText() {
    if (m_converter != nullptr) {
        iconv_close(static_cast<iconv_t>(m_converter));
    }
}

std::string TerminalText::operator()(const std::string& latin1) const {
    if (m_utf8) {
        return Latin1ToUtf8(latin1);
    }
    if (m_converter == nullptr) {
        return latin1;
    }
    // One character at a time, so that one the terminal cannot hold becomes one '?'.
    auto* converter = static_cast<iconv_t>(m_converter);
    std::string out;
    for (char c : latin1) {
        char buffer[16];
        char* in = &c;
        std::size_t inLeft = 1;
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        if (iconv(converter, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) {
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
            out += '?';
        } else {
            out.append(buffer, sizeof buffer - toLeft);
        }
    }
    return out;
}

}  // namespace horalux
