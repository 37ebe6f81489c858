#pragma once

#include <string>
#include <string_view>

namespace horalux {

// Widths of the padded columns of a result line, in characters (bytes).
inline constexpr std::size_t kCityWidth = 25;
inline constexpr std::size_t kLocalTimeWidth = 28;
inline constexpr std::size_t kSunriseWidth = 10;

// One line of the result list: city, local time and sunrise each padded with spaces to
// their column width, then the sunset as it is. A text longer than its column is kept
// whole with no spaces after it, so no row is ever lost for an overlong field.
std::string FormatResultRow(std::string_view city, std::string_view localTime,
                            std::string_view sunrise, std::string_view sunset);

// The list's header line: the column titles through FormatResultRow, 69 characters.
std::string HeaderRow();

// The cells of one result table row as the page gives them, ISO-8859-1, none cut to a
// column: the place's name, its local time, UTC offset, sunrise and sunset.
struct ResultCells {
    std::string place;
    std::string localTime;
    std::string utcOffset;
    std::string sunrise;
    std::string sunset;
};

}  // namespace horalux
