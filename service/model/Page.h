#pragma once

#include "model/LocalTime.h"

#include <functional>
#include <string>
#include <string_view>

namespace zonarium {

// Media type of every page the service sends.
inline constexpr const char* kPageContentType = "text/html; charset=ISO-8859-1";

// A country's page split around the identifier: page = head + identifier + tail.
struct PageParts {
    // Bytes before the identifier: the document start and the link up to "ID=".
    std::string head;
    // Bytes after the identifier: "&land=N", the rest of the link, heading and table.
    std::string tail;
};

// Makes the page parts of country `land` for `minute`; may throw. Replaces the country
// pages in tests.
using PageRenderer = std::function<PageParts(int land, Instant minute)>;

// `text` with '&', '<' and '>' written as entities; other bytes unchanged.
std::string escapeMarkup(std::string_view text);

// Shortest and longest identifier the service accepts and hands out.
inline constexpr std::size_t kMinIdentifierLength = 8;
inline constexpr std::size_t kMaxIdentifierLength = 32;
// Length of a newly made identifier.
inline constexpr std::size_t kNewIdentifierLength = 16;

// True for kMinIdentifierLength..kMaxIdentifierLength ASCII letters and digits.
bool isWellFormedIdentifier(std::string_view identifier);

// A fresh random identifier of kNewIdentifierLength letters and digits. Thread-safe.
std::string newIdentifier();

}  // namespace zonarium
