#include "model/Sun.h"

#include "TestSupport.h"

#include <date/date.h>
#include <gtest/gtest.h>

#include <cstdio>

#include <cmath>
#include <fstream>
#include <sstream>

namespace zonarium {
namespace {

// Reference cell of a side of the solar day without a crossing.
constexpr std::string_view kStaysUpCell = "stays-up";
constexpr std::string_view kStaysDownCell = "stays-down";

// One row of the reference table: the ephemeris's solar day whose transit falls on a
// local date.
struct ReferenceDay {
    std::string name;
    double latitude = 0;
    double longitude = 0;
    std::string zone;
    std::string date;
    // "YYYY-MM-DDTHH:MM:SSZ".
    std::string transit;
    // "YYYY-MM-DDTHH:MM:SSZ", kStaysUpCell or kStaysDownCell.
    std::string sunrise;
    std::string sunset;
};

std::vector<ReferenceDay> readReference() {
    std::ifstream in(ZONARIUM_TEST_SUN_REFERENCE);
    std::vector<ReferenceDay> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        ReferenceDay row;
        std::string latitude;
        std::string longitude;
        std::getline(fields, row.name, '\t');
        std::getline(fields, latitude, '\t');
        std::getline(fields, longitude, '\t');
        std::getline(fields, row.zone, '\t');
        std::getline(fields, row.date, '\t');
        std::getline(fields, row.transit, '\t');
        std::getline(fields, row.sunrise, '\t');
        std::getline(fields, row.sunset, '\t');
        EXPECT_FALSE(fields.fail()) << line;
        row.latitude = std::stod(latitude);
        row.longitude = std::stod(longitude);
        rows.push_back(row);
    }
    return rows;
}

// Seconds a computed instant may stray from the reference at `latitude`; 0 beyond 72
// degrees, where only the texts without a crossing are held to the reference.
long long toleranceAt(double latitude) {
    const double degrees = std::fabs(latitude);
    return degrees <= 60 ? 60 : degrees <= 72 ? 120 : 0;
}

// Checks one cell against the reference; returns the difference in seconds (0 unless
// both are instants).
long long compare(const ReferenceDay& row, const char* which, const std::string& expected,
                  const SunEvent& event, const TimeZone& zone, date::local_days day) {
    const std::string where = row.name + " " + row.date + " " + which;
    const std::string text = formatSunEvent(event, zone, day);
    if (expected == kStaysUpCell || expected == kStaysDownCell) {
        EXPECT_EQ(text, expected == kStaysUpCell ? kSunStaysUpText : kSunStaysDownText) << where;
        return 0;
    }
    const long long limit = toleranceAt(row.latitude);
    if (limit == 0) {
        return 0;
    }
    EXPECT_EQ(event.kind, SunEventKind::Crossing) << where << ": " << text;
    if (event.kind != SunEventKind::Crossing) {
        return 0;
    }
    const Instant reference = test::at(expected);
    const long long delta = (event.at - reference).count();
    EXPECT_LE(std::llabs(delta), limit)
        << where << ": computed " << date::format("%FT%TZ", event.at) << ", reference " << expected;
    // The day mark ("", " +1d", " -1d") is the reference's, unless the reference lies
    // within the tolerance of a local midnight.
    const auto local = zone.toLocal(reference);
    const auto sinceMidnight = (local - date::floor<date::days>(local)).count();
    if (sinceMidnight > limit && 86400 - sinceMidnight > limit) {
        const std::string expectedText =
            formatSunEvent(SunEvent{SunEventKind::Crossing, reference}, zone, day);
        EXPECT_EQ(text.substr(5), expectedText.substr(5)) << where << ": " << text;
    }
    return delta;
}

// Sunrise and sunset against the ephemeris reference table, across the year, from the
// equator to beyond the polar circles, polar nights, midnight suns and the days between
// them included: the same solar day (transit within a minute), the crossings within a
// minute up to 60 degrees of latitude and two minutes up to 72, with the reference's day
// mark, and exactly the reference's side where there is no crossing.
TEST(SunReferenceTest, MatchesTheEphemeris) {
    const auto rows = readReference();
    ASSERT_GT(rows.size(), 1000u) << "no reference table at " ZONARIUM_TEST_SUN_REFERENCE;
    long long worstTemperate = 0;
    long long worstPolar = 0;
    for (const ReferenceDay& row : rows) {
        const auto& zone = test::zone(row.zone);
        int year = 0;
        unsigned month = 0;
        unsigned dayOfMonth = 0;
        ASSERT_EQ(std::sscanf(row.date.c_str(), "%d-%u-%u", &year, &month, &dayOfMonth), 3)
            << row.date;
        const date::year_month_day ymd{date::year{year}, date::month{month}, date::day{dayOfMonth}};
        ASSERT_TRUE(ymd.ok()) << row.date;
        const date::local_days day{ymd};
        const SunDay sun = sunDay(row.latitude, row.longitude, zone, day);
        EXPECT_LE(std::llabs((sun.transit - test::at(row.transit)).count()), 60)
            << row.name << " " << row.date << " transit";
        for (const long long delta : {compare(row, "sunrise", row.sunrise, sun.sunrise, zone, day),
                                      compare(row, "sunset", row.sunset, sun.sunset, zone, day)}) {
            long long& worst = std::fabs(row.latitude) <= 60 ? worstTemperate : worstPolar;
            worst = std::max(worst, std::llabs(delta));
        }
    }
    std::cout << "largest difference: " << worstTemperate << " s up to 60 degrees, " << worstPolar
              << " s from 60 to 72 degrees\n";
}

}  // namespace
}  // namespace zonarium
