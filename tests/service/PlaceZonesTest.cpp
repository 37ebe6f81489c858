#include "model/CountryPage.h"
#include "model/Page.h"

#include <date/tz.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace zonarium {
namespace {

// The real places file, loaded once for these tests.
const CityTable& realTable() {
    static const CityTableLoad load = loadCityTable(ZONARIUM_TEST_PLACES);
    EXPECT_TRUE(load) << load.error;
    return load.table;
}

// The zone of the place `name` (ISO-8859-1) of country `land`; "missing" when not listed.
std::string zoneOf(int land, const std::string& name) {
    for (const Place& place : realTable().places(land)) {
        if (place.name == name) {
            return std::string(place.zone->name());
        }
    }
    return "missing";
}

// The UTC offset cell of `name` on country `land`'s page at `instant`; "listed N times"
// unless the page lists the name exactly once.
std::string offsetOnPage(int land, const std::string& name, const char* instant) {
    const std::string page = renderPage(land, test::at(instant), realTable(), "Abc123xyZ");
    const std::string cell = "<TD VALIGN=Top>" + escapeMarkup(name) + "</TD>";
    std::size_t count = 0;
    std::size_t row = std::string::npos;
    for (auto at = page.find(cell); at != std::string::npos; at = page.find(cell, at + 1)) {
        ++count;
        row = at;
    }
    if (count != 1) {
        return "listed " + std::to_string(count) + " times";
    }
    // Name, local time, then the offset cell.
    const auto offset = page.find("<TD>", page.find("</TD>", row + cell.size()) + 5) + 4;
    return page.substr(offset, page.find("</TD>", offset) - offset);
}

// Places whose zone the boundary polygons corrected show their country's clock in both
// seasons (2026-12-15 and 2026-06-15, 12:00Z), each listed once under one spelling.
TEST(PlaceZonesTest, PlacesShowTheirOwnClock) {
    constexpr const char* december = "2026-12-15T12:00:00Z";
    constexpr const char* june = "2026-06-15T12:00:00Z";
    // Ciudad Juarez (GeoNames' "Juarez" of Juarez municipality) follows US mountain time:
    // -07:00 in winter, -06:00 in summer.
    const std::string juarez = "Ju\xE1rez (Ju\xE1rez, CHH)";
    EXPECT_EQ(offsetOnPage(133, juarez, december), "UTC-07:00");
    EXPECT_EQ(offsetOnPage(133, juarez, june), "UTC-06:00");
    EXPECT_EQ(offsetOnPage(133, "Juarez (Juarez, CHH)", june), "listed 0 times");
    // China keeps one clock outside Xinjiang.
    for (const char* name : {"Zhanjiang", "Maoming", "Lhasa"}) {
        EXPECT_EQ(offsetOnPage(37, name, december), "UTC+08:00") << name;
        EXPECT_EQ(offsetOnPage(37, name, june), "UTC+08:00") << name;
    }
    // Magallanes stays on -03:00 through the southern winter.
    EXPECT_EQ(offsetOnPage(36, "Punta Arenas", june), "UTC-03:00");
    EXPECT_EQ(offsetOnPage(36, "Punta Arenas", december), "UTC-03:00");
}

// GeoNames' spellings, Latin-1 where they fit it and transliterated where they do not;
// repeated names carry their state; zones by position.
TEST(PlaceZonesTest, NamesAndZonesOfRepresentativePlaces) {
    constexpr int kBrazil = 30, kChina = 37, kGermany = 42, kIceland = 81, kJapan = 85,
                  kPoland = 168, kRomania = 173, kUsa = 224;
    EXPECT_EQ(zoneOf(kRomania, "Alba Iulia"), "Europe/Bucharest");
    EXPECT_EQ(zoneOf(kIceland, "Akureyri"), "Atlantic/Reykjavik");
    EXPECT_EQ(zoneOf(kPoland, "Krak\xF3w"), "Europe/Warsaw");
    EXPECT_EQ(zoneOf(kPoland, "Lodz"), "Europe/Warsaw");
    EXPECT_EQ(zoneOf(kGermany, "K\xF6ln"), "Europe/Berlin");
    EXPECT_EQ(zoneOf(kBrazil, "S\xE3o Paulo"), "America/Sao_Paulo");
    EXPECT_EQ(zoneOf(kUsa, "Springfield (Illinois)"), "America/Chicago");
    EXPECT_EQ(zoneOf(kUsa, "Springfield (Oregon)"), "America/Los_Angeles");
    EXPECT_EQ(zoneOf(kUsa, "Springfield"), "missing");
    // Kashgar keeps Xinjiang's clock where its polygon overlaps Beijing's.
    EXPECT_EQ(zoneOf(kChina, "Kashgar"), "Asia/Urumqi");
    EXPECT_EQ(zoneOf(kUsa, "Fort Worth"), "America/Chicago");
    EXPECT_EQ(zoneOf(kJapan, "Chiba"), "Asia/Tokyo");
    EXPECT_EQ(zoneOf(kBrazil, "Guarulhos"), "America/Sao_Paulo");
    EXPECT_EQ(zoneOf(kGermany, "Aachen"), "Europe/Berlin");
    EXPECT_GT(realTable().size(), 120000u);
    EXPECT_GT(realTable().places(kUsa).size(), 15000u);
}

}  // namespace
}  // namespace zonarium
