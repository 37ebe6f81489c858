#include "model/CountryPage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace zonarium {
namespace {

using test::at;

// One country page kept across India's midnight (2026-12-07 18:30:00Z): its sun cells
// change with the local date, each render lists what the sun functions give, and a date's
// cells are computed once.
TEST(CountryPageTest, SunCellsChangeAtLocalMidnight) {
    const CityTable& table = test::fixtureTable();
    CountryPage page(76, table);
    const std::size_t places = table.places(76).size();
    for (const char* instant : {"2026-12-07T18:28:00Z", "2026-12-07T18:29:59Z"}) {
        const std::string tail = page.render(at(instant)).tail;
        test::expectClientListsPlaces("<A HREF=\"/cgi-bin/wt.cgi?ID=Abc123xyZ" + tail, table, 76,
                                      at(instant));
    }
    EXPECT_EQ(page.sunDaysComputed(), places);

    const std::string beforeMidnight = page.render(at("2026-12-07T18:29:00Z")).tail;
    const std::string afterMidnight = page.render(at("2026-12-07T18:30:00Z")).tail;
    EXPECT_EQ(page.sunDaysComputed(), 2 * places);
    test::expectClientListsPlaces("<A HREF=\"/cgi-bin/wt.cgi?ID=Abc123xyZ" + afterMidnight, table,
                                  76, at("2026-12-07T18:30:00Z"));
    EXPECT_NE(test::clientView("<A HREF=\"/cgi-bin/wt.cgi?ID=Abc123xyZ" + beforeMidnight).lines,
              test::clientView("<A HREF=\"/cgi-bin/wt.cgi?ID=Abc123xyZ" + afterMidnight).lines);

    // Back and forth across midnight: both dates stay made.
    EXPECT_EQ(page.render(at("2026-12-07T18:29:00Z")).tail, beforeMidnight);
    EXPECT_EQ(page.render(at("2026-12-07T18:30:00Z")).tail, afterMidnight);
    EXPECT_EQ(page.sunDaysComputed(), 2 * places);
}

// Looking ahead makes the next date's cells only for zones whose midnight is near, so that
// the render at midnight computes nothing; pages across several zones' midnights (USA, New
// York's at 05:00Z) stay equal to fresh ones.
TEST(CountryPageTest, LookAheadMakesTheNextDateBeforeMidnight) {
    const CityTable& table = test::fixtureTable();
    CountryPage page(224, table);
    page.render(at("2026-12-08T04:40:00Z"));
    EXPECT_EQ(page.sunDaysComputed(), 3u);
    page.prepareAhead(at("2026-12-08T04:40:00Z"), std::chrono::minutes(15));
    EXPECT_EQ(page.sunDaysComputed(), 3u);
    page.prepareAhead(at("2026-12-08T04:50:00Z"), std::chrono::minutes(15));
    EXPECT_EQ(page.sunDaysComputed(), 4u);  // New York only
    for (const char* instant : {"2026-12-08T05:00:00Z", "2026-12-08T05:01:00Z"}) {
        EXPECT_EQ(page.render(at(instant)).tail, renderPageParts(224, at(instant), table).tail)
            << instant;
    }
    EXPECT_EQ(page.sunDaysComputed(), 4u);
    EXPECT_EQ(page.render(at("2026-12-08T06:00:00Z")).tail,
              renderPageParts(224, at("2026-12-08T06:00:00Z"), table).tail);
    EXPECT_EQ(page.sunDaysComputed(), 5u);  // Chicago's midnight, not looked ahead for
}

}  // namespace
}  // namespace zonarium
