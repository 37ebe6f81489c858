#include "model/SafeText.h"

namespace zonarium {

std::string safeText(std::string_view text, std::size_t limit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text.substr(0, limit)) {
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out;
}

}  // namespace zonarium
