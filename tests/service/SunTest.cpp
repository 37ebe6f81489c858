#include "model/Sun.h"

#include "TestSupport.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace zonarium {
namespace {

using test::at;

date::local_days day(int y, unsigned m, unsigned d) {
    return date::local_days{date::year{y} / date::month{m} / date::day{d}};
}

// Longyearbyen (78.22 N) has polar night in December and midnight sun in June.
TEST(SunTest, PolarNightAndMidnightSun) {
    const auto& zone = test::zone("Arctic/Longyearbyen");
    const SunDay winter = sunDay(78.22, 15.65, zone, day(2026, 12, 7));
    EXPECT_EQ(winter.sunrise.kind, SunEventKind::StaysDown);
    EXPECT_EQ(winter.sunset.kind, SunEventKind::StaysDown);
    EXPECT_EQ(formatSunEvent(winter.sunrise, zone, day(2026, 12, 7)), "sun down");
    const SunDay summer = sunDay(78.22, 15.65, zone, day(2026, 6, 21));
    EXPECT_EQ(summer.sunrise.kind, SunEventKind::StaysUp);
    EXPECT_EQ(summer.sunset.kind, SunEventKind::StaysUp);
    EXPECT_EQ(formatSunEvent(summer.sunset, zone, day(2026, 6, 21)), "sun up");
    // McMurdo (77.85 S) the other way round.
    const auto& south = test::zone("Antarctica/McMurdo");
    EXPECT_EQ(sunDay(-77.85, 166.67, south, day(2026, 6, 21)).sunrise.kind,
              SunEventKind::StaysDown);
    EXPECT_EQ(sunDay(-77.85, 166.67, south, day(2026, 12, 21)).sunset.kind, SunEventKind::StaysUp);
    // The poles themselves do not break the equations.
    EXPECT_EQ(sunDay(90, 0, zone, day(2026, 6, 21)).sunrise.kind, SunEventKind::StaysUp);
    EXPECT_EQ(sunDay(-90, 0, zone, day(2026, 6, 21)).sunrise.kind, SunEventKind::StaysDown);
}

// Each date shows the solar day whose transit falls on it, so an event near midnight is
// shown once, on its own solar day's date, with the day mark. Tromso (69.65 N, UTC+2 in
// summer) around the start of the midnight sun, Reykjavik (64.15 N, UTC) at midsummer.
TEST(SunTest, OneSolarDayPerDate) {
    const auto& oslo = test::zone("Europe/Oslo");
    const auto cells = [](double latitude, double longitude, const TimeZone& zone,
                          date::local_days date) {
        const SunDay sun = sunDay(latitude, longitude, zone, date);
        return formatSunEvent(sun.sunrise, zone, date) + " / " +
               formatSunEvent(sun.sunset, zone, date);
    };
    // Reference sunsets 2026-05-16T22:02:43Z and 2026-05-17T22:28:10Z, both after local
    // midnight (the equations are within the two minutes allowed at this latitude).
    EXPECT_EQ(cells(69.6492, 18.9553, oslo, day(2026, 5, 16)), "01:32 / 00:03 +1d");
    EXPECT_EQ(cells(69.6492, 18.9553, oslo, day(2026, 5, 17)), "01:17 / 00:29 +1d");
    // The sun rises at 2026-05-17T22:52:08Z (reference) and does not set again.
    EXPECT_EQ(cells(69.6492, 18.9553, oslo, day(2026, 5, 18)), "00:51 / sun up");
    EXPECT_EQ(cells(69.6492, 18.9553, oslo, day(2026, 6, 21)), "sun up / sun up");
    const auto& reykjavik = test::zone("Atlantic/Reykjavik");
    // Sunset 2026-06-17T00:01:10Z; 2026-06-29T23:59:00Z.
    EXPECT_EQ(cells(64.1466, -21.9426, reykjavik, day(2026, 6, 16)), "02:57 / 00:01 +1d");
    EXPECT_EQ(cells(64.1466, -21.9426, reykjavik, day(2026, 6, 29)), "03:02 / 23:59");
}

// Cell texts: nearest minute (half a minute rounds up) and the day mark when the
// minute falls on another local date. Kolkata is UTC+05:30.
TEST(SunTest, EventTexts) {
    const auto& zone = test::zone("Asia/Kolkata");
    const auto date = day(2026, 12, 7);
    const auto text = [&](const char* instant) {
        return formatSunEvent(SunEvent{SunEventKind::Crossing, at(instant)}, zone, date);
    };
    EXPECT_EQ(text("2026-12-07T01:30:29Z"), "07:00");
    EXPECT_EQ(text("2026-12-07T01:30:30Z"), "07:01");
    EXPECT_EQ(text("2026-12-06T18:30:00Z"), "00:00");
    EXPECT_EQ(text("2026-12-07T18:29:29Z"), "23:59");
    EXPECT_EQ(text("2026-12-07T18:29:30Z"), "00:00 +1d");
    EXPECT_EQ(text("2026-12-06T18:29:00Z"), "23:59 -1d");
}

}  // namespace
}  // namespace zonarium
