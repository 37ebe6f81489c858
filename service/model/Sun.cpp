#include "model/Sun.h"

#include "model/TimeZone.h"

#include <algorithm>
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

// Sine of the sun's altitude above kSunriseAltitude's level at `unixSeconds`, minus that
// level's sine: positive while the sun stands above the rise-and-set altitude.
double elevationSign(double latitude, double longitude, double unixSeconds) {
    const double phi = latitude * kDegree;
    const SolarPosition position = solarPosition(unixSeconds);
    const double hour = hourAngle(unixSeconds, longitude, position) * kDegree;
    return std::sin(phi) * std::sin(position.declination) +
           std::cos(phi) * std::cos(position.declination) * std::cos(hour) -
           std::sin(kSunriseAltitude * kDegree);
}

// Half a solar day, seconds: the reach of a crossing from its transit.
constexpr double kHalfDay = 43200.0;

// The crossing between the transit at `transit` and half a day before it (`sign` -1,
// rising) or after it (`sign` +1, setting). The altitude is monotonic over that half day,
// so it holds at most one crossing; without one, the sun stays on the transit's side.
SunEvent crossing(double latitude, double longitude, double transit, double sign) {
    const bool upAtTransit = elevationSign(latitude, longitude, transit) > 0;
    const double end = transit + sign * kHalfDay;
    if (!upAtTransit || elevationSign(latitude, longitude, end) > 0) {
        return SunEvent{upAtTransit ? SunEventKind::StaysUp : SunEventKind::StaysDown, {}};
    }
    // Bisection between the transit (up) and the half day's end (down), to 0.1 s.
    double up = transit;
    double down = end;
    while (std::fabs(down - up) > 0.1) {
        const double middle = (up + down) / 2;
        (elevationSign(latitude, longitude, middle) > 0 ? up : down) = middle;
    }
    return SunEvent{SunEventKind::Crossing,
                    Instant{std::chrono::seconds{std::llround((up + down) / 2)}}};
}

// Solar transit nearest local noon of `localDate`, seconds since 1970.
double transitNear(double longitude, const TimeZone& zone, date::local_days localDate) {
    const date::local_seconds localNoon{localDate + std::chrono::hours{12}};
    double transit = static_cast<double>(zone.toSys(localNoon).time_since_epoch().count());
    for (int round = 0; round < 3; ++round) {
        transit -= hourAngle(transit, longitude, solarPosition(transit)) * kSecondsPerDegree;
    }
    return transit;
}

}  // namespace

SunDay sunDay(double latitude, double longitude, const TimeZone& zone, date::local_days localDate) {
    // Exactly at a pole the hour angle is undefined; nudge the latitude off it.
    latitude = std::clamp(latitude, -89.9999, 89.9999);
    const double transit = transitNear(longitude, zone, localDate);
    SunDay day;
    day.transit = Instant{std::chrono::seconds{std::llround(transit)}};
    day.sunrise = crossing(latitude, longitude, transit, -1.0);
    day.sunset = crossing(latitude, longitude, transit, +1.0);
    return day;
}

std::string formatSunEvent(const SunEvent& event, const TimeZone& zone,
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
    const auto local = zone.toLocal(minute);
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
