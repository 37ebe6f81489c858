#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Letter case of ASCII text, the same in every locale: header names, registry names and
// country names compare this way. Bytes other than A-Z and a-z, ISO-8859-1 letters
// included, stand for themselves.
namespace horalux {

constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string lowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return lowerAscii(c); });
    return out;
}

constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

}  // namespace horalux
