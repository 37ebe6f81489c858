#include "fetch/ResultRow.h"

namespace horalux {
namespace {

void appendPadded(std::string& line, std::string_view text, std::size_t width) {
    line.append(text);
    if (text.size() < width) {
        line.append(width - text.size(), ' ');
    }
}

}  // namespace

std::string FormatResultRow(std::string_view city, std::string_view localTime,
                            std::string_view sunrise, std::string_view sunset) {
    std::string line;
    line.reserve(kCityWidth + kLocalTimeWidth + kSunriseWidth + sunset.size());
    appendPadded(line, city, kCityWidth);
    appendPadded(line, localTime, kLocalTimeWidth);
    appendPadded(line, sunrise, kSunriseWidth);
    line.append(sunset);
    return line;
}

std::string HeaderRow() {
    return FormatResultRow("City/Town", "Local time", "Sunrise", "Sunset");
}

}  // namespace horalux
