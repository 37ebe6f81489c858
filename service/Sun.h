#pragma once

#include "LocalTime.h"

#include <string>

namespace zonarium {

// What happens to the sun at one of the day's two horizon crossings.
enum class SunEventKind {
    // The crossing happens; `SunEvent::at` holds it.
    Crossing,
    // No crossing: the sun stays above the horizon (midnight sun).
    StaysUp,
    // No crossing: the sun stays below the horizon (polar night).
    StaysDown,
};

// One sunrise or sunset.
struct SunEvent {
    // Whether the crossing happens.
    SunEventKind kind = SunEventKind::StaysDown;
    // The crossing, to the second; meaningful only for Crossing.
    Instant at;
};

// Sunrise and sunset of one local date at one place.
struct SunDay {
    // Upper limb rising through the horizon, refraction included.
    SunEvent sunrise;
    // Upper limb setting through the horizon, refraction included.
    SunEvent sunset;
};

// Solar altitude of the rise and set, in degrees: refraction and the sun's radius.
inline constexpr double kSunriseAltitude = -0.833;

// Sunrise and sunset of `localDate` at the place (latitude, longitude in degrees, north
// and east positive), by the NOAA solar equations iterated at the event time: the first
// crossing of each kind within that local date. When the date has none of a kind although
// the sun crosses the horizon that day, the crossing of the solar day whose transit is
// nearest local noon is given; it then lies on the previous or next local date (near the
// polar circles, or where the zone's clock runs far from solar time).
SunDay sunDay(double latitude, double longitude, const date::time_zone& zone,
              date::local_days localDate);

// Texts of at most 10 bytes for the sunrise and sunset cells.
inline constexpr const char* kSunStaysUpText = "sun up";
inline constexpr const char* kSunStaysDownText = "sun down";

// Cell text of `event` for `localDate` in `zone`: "HH:MM" local, rounded to the nearest
// minute; "HH:MM -1d" or "HH:MM +1d" when that minute lies on the previous or next local
// date; kSunStaysUpText or kSunStaysDownText when there is no crossing.
std::string formatSunEvent(const SunEvent& event, const date::time_zone& zone,
                           date::local_days localDate);

}  // namespace zonarium
