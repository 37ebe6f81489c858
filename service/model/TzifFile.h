#pragma once

#include "model/ZoneError.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zonarium {

// Offsets from UTC beyond this are refused, seconds.
inline constexpr std::int32_t kMaxZoneOffset = 26 * 3600;

// A local time type: offset from UTC, daylight saving or not, abbreviation.
struct ZoneType {
    // Seconds east of UTC, within kMaxZoneOffset.
    std::int32_t offset = 0;
    bool dst = false;
    // 1 to 16 ASCII letters, digits, '+' or '-'.
    std::string abbrev;
};

// What a compiled zone file (TZif, versions 1 to 4) holds; leap-second records are skipped.
struct TzifContents {
    // Transition instants, seconds since the epoch, strictly ascending.
    std::vector<std::int64_t> transitions;
    // Index into `types` of the type each transition starts.
    std::vector<std::uint8_t> transitionTypes;
    // 1 to 256 types; the first holds before the first transition.
    std::vector<ZoneType> types;
    // The footer's TZ rule string, without its line feeds; empty for version 1 or none.
    std::string footer;
};

// Reads the bytes of a zone file into `contents`; ZoneError::None, or what is wrong.
ZoneError readTzif(std::string_view bytes, TzifContents& contents);

// True for an abbreviation of 1 to 16 ASCII letters, digits, '+' or '-'.
bool isZoneAbbreviation(std::string_view text);

}  // namespace zonarium
