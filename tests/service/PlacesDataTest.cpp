#include "CityTable.h"

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
            return place.zoneName;
        }
    }
    return "missing";
}

// GeoNames' spellings, Latin-1 where they fit it and transliterated where they do not;
// repeated names carry their state; zones by position.
TEST(PlacesDataTest, NamesAndZonesOfRepresentativePlaces) {
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
