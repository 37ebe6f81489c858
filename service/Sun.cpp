#include "Sun.h"

#include <date/tz.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace zonarium {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
// Seconds the hour angle takes to advance one degree.
constexpr double kSecondsPerDegree = 240.0;

// Sun position quantities at one instant.
struct SolarPosition {
    // Declination, radians.
    double declination;
    // Equation of time, minutes (apparent minus mean solar time).
    double equationOfTime;
};

// NOAA solar equations at `unixSeconds` (UTC seconds since 1970).
SolarPosition solarPosition(double unixSeconds) {
    const double julianDay = unixSeconds / 86400.0 + 2440587.5;
    const double t = (julianDay - 2451545.0) / 36525.0;  // Julian centuries since J2000

    const double meanLongitude =
        std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0) * kDegree;
    const double meanAnomaly = (357.52911 + t * (35999.05029 - 0.0001537 * t)) * kDegree;
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double center = std::sin(meanAnomaly) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          std::sin(2 * meanAnomaly) * (0.019993 - 0.000101 * t) +
                          std::sin(3 * meanAnomaly) * 0.000289;
    const double trueLongitude = meanLongitude / kDegree + center;
    const double omega = (125.04 - 1934.136 * t) * kDegree;
    const double apparentLongitude =
        (trueLongitude - 0.00569 - 0.00478 * std::sin(omega)) * kDegree;
    const double meanObliquity =
        23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double obliquity = (meanObliquity + 0.00256 * std::cos(omega)) * kDegree;

    SolarPosition position{};
    position.declination = std::asin(std::sin(obliquity) * std::sin(apparentLongitude));
    const double y = std::pow(std::tan(obliquity / 2), 2);
    position.equationOfTime =
        4.0 / kDegree *
        (y * std::sin(2 * meanLongitude) - 2 * eccentricity * std::sin(meanAnomaly) +
         4 * eccentricity * y * std::sin(meanAnomaly) * std::cos(2 * meanLongitude) -
         0.5 * y * y * std::sin(4 * meanLongitude) -
         1.25 * eccentricity * eccentricity * std::sin(2 * meanAnomaly));
    return position;
}

// Angle in degrees brought into [-180, 180).
double wrapDegrees(double angle) {
    angle = std::fmod(angle + 180.0, 360.0);
    if (angle < 0) {
        angle += 360.0;
    }
    return angle - 180.0;
}

// Local hour angle of the sun in degrees, [-180, 180), 0 at transit, negative before it.
double hourAngle(double unixSeconds, double longitude, const SolarPosition& position) {
    const double utcMinutes = std::fmod(unixSeconds, 86400.0) / 60.0;
    return wrapDegrees((utcMinutes + position.equationOfTime + 4.0 * longitude) / 4.0 - 180.0);
}

// Cosine of the hour angle at which the sun stands at kSunriseAltitude; outside [-1, 1]
// when it never does that day.
double crossingCosine(double latitude, double declination) {
    const double phi = latitude * kDegree;
    return (std::sin(kSunriseAltitude * kDegree) - std::sin(phi) * std::sin(declination)) /
           (std::cos(phi) * std::cos(declination));
}

// The crossing on the side `sign` of the transit (-1 rising, +1 setting), found by
// re-evaluating the sun's position at each estimate. When the sun does not reach the
// horizon with the declination of the transit, the declination half a day later (at the
// lower culmination, when a crossing near midnight would happen) decides.
SunEvent crossing(double latitude, double longitude, double transit, double sign) {
    double at = transit;
    bool triedHalfDay = false;
    SunEvent event;
    for (int round = 0; round < 8; ++round) {
        const SolarPosition position = solarPosition(at);
        const double cosine = crossingCosine(latitude, position.declination);
        if (cosine < -1.0 || cosine > 1.0) {
            if (!triedHalfDay) {
                triedHalfDay = true;
                at = transit + sign * 43200.0;
                continue;
            }
            event.kind = cosine < -1.0 ? SunEventKind::StaysUp : SunEventKind::StaysDown;
            return event;
        }
        const double target = sign * std::acos(cosine) / kDegree;
        const double step = wrapDegrees(target - hourAngle(at, longitude, position));
        at += step * kSecondsPerDegree;
        if (std::fabs(step) * kSecondsPerDegree < 0.5) {
            break;
        }
    }
    event.kind = SunEventKind::Crossing;
    event.at = Instant{std::chrono::seconds{std::llround(at)}};
    return event;
}

// Solar transit nearest local noon of `localDate`, seconds since 1970.
double transitNear(double longitude, const date::time_zone& zone, date::local_days localDate) {
    const date::local_seconds localNoon{localDate + std::chrono::hours{12}};
    double transit = static_cast<double>(
        zone.to_sys(localNoon, date::choose::earliest).time_since_epoch().count());
    for (int round = 0; round < 3; ++round) {
        transit -= hourAngle(transit, longitude, solarPosition(transit)) * kSecondsPerDegree;
    }
    return transit;
}

// Local date of a crossing.
date::local_days localDateOf(const SunEvent& event, const date::time_zone& zone) {
    return date::floor<date::days>(zone.to_local(event.at));
}

// True when the sun stands above kSunriseAltitude at the transit at `transit`.
bool isUpAtTransit(double latitude, double transit) {
    const double phi = latitude * kDegree;
    const double declination = solarPosition(transit).declination;
    return std::sin(phi) * std::sin(declination) + std::cos(phi) * std::cos(declination) >
           std::sin(kSunriseAltitude * kDegree);
}

}  // namespace

SunDay sunDay(double latitude, double longitude, const date::time_zone& zone,
              date::local_days localDate) {
    // Exactly at a pole the hour angle is undefined; nudge the latitude off it.
    latitude = std::clamp(latitude, -89.9999, 89.9999);
    // Solar days of the previous, this and the next local date: near the polar circles and
    // where clocks run far from solar time, their crossings can fall on this date too.
    struct SolarDay {
        double transit;
        SunEvent rise;
        SunEvent set;
    };
    std::array<SolarDay, 3> days{};
    for (int i = 0; i < 3; ++i) {
        SolarDay& day = days[static_cast<std::size_t>(i)];
        day.transit = transitNear(longitude, zone, localDate + date::days{i - 1});
        day.rise = crossing(latitude, longitude, day.transit, -1.0);
        day.set = crossing(latitude, longitude, day.transit, +1.0);
    }
    // The first crossing of a kind on this date, if any.
    const auto firstOnDate = [&](SunEvent SolarDay::*kind) -> const SunEvent* {
        const SunEvent* first = nullptr;
        for (const SolarDay& day : days) {
            const SunEvent& event = day.*kind;
            if (event.kind == SunEventKind::Crossing && localDateOf(event, zone) == localDate &&
                (first == nullptr || event.at < first->at)) {
                first = &event;
            }
        }
        return first;
    };
    const SunEvent* rise = firstOnDate(&SolarDay::rise);
    const SunEvent* set = firstOnDate(&SolarDay::set);
    if (rise == nullptr && set == nullptr) {
        // No crossing all day: the sun stays on one side of the horizon throughout.
        const SunEventKind side = isUpAtTransit(latitude, days[1].transit)
                                      ? SunEventKind::StaysUp
                                      : SunEventKind::StaysDown;
        return SunDay{SunEvent{side, {}}, SunEvent{side, {}}};
    }
    // A kind missing from this date while the other occurs: this solar day's crossing,
    // which lies on a neighbouring date, or failing that a neighbour's.
    const auto nearest = [&](SunEvent SolarDay::*kind) {
        for (const std::size_t i : {1u, 0u, 2u}) {
            if ((days[i].*kind).kind == SunEventKind::Crossing) {
                return days[i].*kind;
            }
        }
        return days[1].*kind;
    };
    return SunDay{rise != nullptr ? *rise : nearest(&SolarDay::rise),
                  set != nullptr ? *set : nearest(&SolarDay::set)};
}

std::string formatSunEvent(const SunEvent& event, const date::time_zone& zone,
                           date::local_days localDate) {
    switch (event.kind) {
        case SunEventKind::StaysUp:
            return kSunStaysUpText;
        case SunEventKind::StaysDown:
            return kSunStaysDownText;
        case SunEventKind::Crossing:
            break;
    }
    // Nearest minute, half a minute rounding up.
    const auto minute = date::floor<std::chrono::minutes>(event.at + std::chrono::seconds{30});
    const auto local = zone.to_local(minute);
    const auto day = date::floor<date::days>(local);
    const date::hh_mm_ss<std::chrono::minutes> clock{
        date::floor<std::chrono::minutes>(local - day)};
    const long dayShift = (day - localDate).count();
    char text[32];
    if (dayShift == 0) {
        std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(clock.hours().count()),
                      static_cast<int>(clock.minutes().count()));
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d %+ldd", static_cast<int>(clock.hours().count()),
                      static_cast<int>(clock.minutes().count()), dayShift);
    }
    return text;
}

}  // namespace zonarium
