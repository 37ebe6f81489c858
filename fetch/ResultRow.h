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

}  // namespace horalux
