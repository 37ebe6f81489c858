#pragma once

#include "model/LocalTime.h"

#include <string>

namespace zonarium {

// What happens to the sun on one side of a solar day's transit.
enum class SunEventKind {
    // The crossing happens; `SunEvent::at` holds it.
    Crossing,
    // No crossing: the sun stays above the horizon on that side (midnight sun).
    StaysUp,
    // No crossing: the sun stays below the horizon all solar day (polar night).
    StaysDown,
};

// One sunrise or sunset.
struct SunEvent {
    // Whether the crossing happens.
    SunEventKind kind = SunEventKind::StaysDown;
    // The crossing, to the second; meaningful only for Crossing.
    Instant at;
};

// Sunrise and sunset of one solar day at one place.
struct SunDay {
    // The solar day's transit (solar noon), to the second.
    Instant transit;
    // Upper limb rising through the horizon, refraction included, within the 12 hours
    // before the transit.
    SunEvent sunrise;
    // Upper limb setting through the horizon, refraction included, within the 12 hours
    // after the transit.
    SunEvent sunset;
};

// Solar altitude of the rise and set, in degrees: refraction and the sun's radius.
inline constexpr double kSunriseAltitude = -0.833;

// Sunrise and sunset of `localDate` at the place (latitude, longitude in degrees, north
// and east positive), by the NOAA solar equations evaluated at each instant: those of the
// solar day whose transit falls on that local date (the transit nearest local noon). The
// sunrise is the upward crossing in the 12 hours before the transit, the sunset the
// downward crossing in the 12 hours after it; either may fall on the previous or next
// local date. A side without a crossing is StaysUp when the sun is above the horizon at
// the transit, StaysDown (then on both sides) when it is below.
SunDay sunDay(double latitude, double longitude, const TimeZone& zone, date::local_days localDate);

// Texts of at most 10 bytes for the sunrise and sunset cells.
inline constexpr const char* kSunStaysUpText = "sun up";
inline constexpr const char* kSunStaysDownText = "sun down";

// Cell text of `event` for `localDate` in `zone`: "HH:MM" local, rounded to the nearest
// minute; "HH:MM -1d" or "HH:MM +1d" when that minute lies on the previous or next local
// date; kSunStaysUpText or kSunStaysDownText when there is no crossing.
std::string formatSunEvent(const SunEvent& event, const TimeZone& zone, date::local_days localDate);

}  // namespace zonarium
