#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zonarium {

// `text` fit to quote in a log line or message: bytes outside printable ASCII, quotes and
// backslashes written as \xHH, so that nothing leaves its quotes or its line and what
// reaches the terminal is what was read; cut to `limit` bytes with "..." appended.
std::string safeText(std::string_view text, std::size_t limit);

}  // namespace zonarium
