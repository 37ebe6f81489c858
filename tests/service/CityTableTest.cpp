#include "model/CityTable.h"

#include "TestSupport.h"

#include <date/tz.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace zonarium {
namespace {

// The fixture loads whole, in file order, with its zones resolved and bytes untouched.
TEST(CityTableTest, LoadsFixtureInFileOrder) {
    const CityTable& table = test::fixtureTable();
    EXPECT_EQ(table.size(), 13u);
    const auto& india = table.places(76);
    ASSERT_EQ(india.size(), 3u);
    EXPECT_EQ(india[0].name, "Agra");
    EXPECT_EQ(india[2].name, "M\xFCnster & <Sons>");
    EXPECT_DOUBLE_EQ(india[0].latitude, 27.18);
    EXPECT_DOUBLE_EQ(india[0].longitude, 78.01);
    ASSERT_NE(india[0].zone, nullptr);
    EXPECT_EQ(india[0].zone->name(), "Asia/Kolkata");
}

// Codes outside 1..236 and codes without places answer an empty list.
TEST(CityTableTest, UnknownCodesHaveNoPlaces) {
    const CityTable& table = test::fixtureTable();
    EXPECT_TRUE(table.places(0).empty());
    EXPECT_TRUE(table.places(-1).empty());
    EXPECT_TRUE(table.places(237).empty());
    EXPECT_TRUE(table.places(1).empty());
}

// Comments, blank lines and a CR before the LF are skipped; the name keeps its bytes.
TEST(CityTableTest, SkipsCommentsBlankLinesAndCarriageReturns) {
    const auto load = parseCityTable(
        "# header\n\n5\tPago Pago\t-14.28\t-170.70\tPacific/Pago_Pago\r\n"
        "5\tTafuna\t-14.33\t-170.72\tPacific/Pago_Pago\n\n# end: 2 places\n",
        "t.tsv");
    ASSERT_TRUE(load) << load.error;
    ASSERT_EQ(load.table.places(5).size(), 2u);
    EXPECT_EQ(load.table.places(5)[0].name, "Pago Pago");
    EXPECT_EQ(load.table.places(5)[1].zone->name(), "Pacific/Pago_Pago");
}

// Each fault is refused with the file, the line number and what is wrong.
TEST(CityTableTest, RefusesFaultyLinesNamingTheLine) {
    const std::string good = "76\tAgra\t27.18\t78.01\tAsia/Kolkata\n";
    const struct {
        std::string line;
        std::string message;
    } cases[] = {
        {"76\tDelhi\t28.61\t77.21", "t.tsv:2: expected 5 tab-separated fields, found 4"},
        {"76\tDelhi\t28.61\t77.21\tAsia/Kolkata\textra", "t.tsv:2: expected 5"},
        {"0\tX\t1\t1\tUTC", "t.tsv:2: country code \"0\" is not 1..236"},
        {"237\tX\t1\t1\tUTC", "t.tsv:2: country code \"237\""},
        {"7a\tX\t1\t1\tUTC", "t.tsv:2: country code \"7a\""},
        {"76\t\t1\t1\tUTC", "t.tsv:2: empty name"},
        {"76\tBad\x01name\t1\t1\tUTC", "t.tsv:2: empty name or name with control characters"},
        {"76\tX\t90.5\t1\tUTC", "t.tsv:2: latitude \"90.5\" is not -90..90"},
        {"76\tX\tnan\t1\tUTC", "t.tsv:2: latitude \"nan\""},
        {"76\tX\t1\t-180.01\tUTC", "t.tsv:2: longitude \"-180.01\" is not -180..180"},
        {"76\tX\t1\t1,5\tUTC", "t.tsv:2: longitude \"1,5\""},
        {"76\tX\t1\t1\tMars/Olympus", "t.tsv:2: unknown time zone \"Mars/Olympus\""},
        {"76\tAgra\t1\t1\tUTC", "t.tsv:2: name \"Agra\" repeated in country 76"},
        {"76\t" + std::string(101, 'x') + "\t1\t1\tUTC", "t.tsv:2: name longer than 100 bytes"},
        // Fields are quoted escaped and cut short: no byte reaches the terminal raw.
        {std::string("7\0x\tX\t1\t1\tUTC", 13), "t.tsv:2: country code \"7\\x00x\" is not"},
        {"76\tX\t1\t1\tMars/\x1B[31m\\\xE9",
         "t.tsv:2: unknown time zone \"Mars/\\x1B[31m\\x5C\\xE9\"\n"},
        {"76\tX\t1\t1\t" + std::string(41, 'z'),
         "t.tsv:2: unknown time zone \"" + std::string(40, 'z') + "\"...\n"},
    };
    for (const auto& c : cases) {
        const auto load = parseCityTable(good + c.line + "\n# end: 2 places\n", "t.tsv");
        EXPECT_FALSE(load) << c.line;
        EXPECT_EQ((load.error + "\n").rfind(c.message, 0), 0u) << load.error;
        EXPECT_EQ(load.table.size(), 0u);
    }
    // The same name in two countries is fine, and so is a name of 100 bytes.
    EXPECT_TRUE(parseCityTable(good + "77\tAgra\t1\t1\tUTC\n# end: 2 places\n", "t.tsv"));
    EXPECT_TRUE(parseCityTable(
        good + "76\t" + std::string(100, '\xE9') + "\t1\t1\tUTC\n# end: 2 places\n", "t.tsv"));
}

// A text with no place, or cut short before its last line, even at a line end, is refused;
// so is one whose last line states another count.
TEST(CityTableTest, RefusesEmptyAndCutTexts) {
    const std::string rows =
        "76\tAgra\t27.18\t78.01\tAsia/Kolkata\n76\tDelhi\t28.61\t77.21\tAsia/Kolkata\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "t.tsv: cut short: its last line is not \"# end: N places\""},
        {"# end: 0 places\n", "t.tsv: no places"},
        {"# header\n# end: 0 places\n", "t.tsv: no places"},
        {rows, "t.tsv: cut short"},
        {rows.substr(0, rows.size() - 10), "t.tsv: cut short"},
        {rows + "# end: 2 places", "t.tsv: cut short"},
        {rows + "# end: 2 places\n\n", "t.tsv: cut short"},
        {rows + "# end: -2 places\n", "t.tsv: cut short"},
        {rows + "# end: 3 places\n", "t.tsv: holds 2 places, its last line says 3"},
        {rows.substr(0, rows.find('\n') + 1) + "# end: 2 places\n",
         "t.tsv: holds 1 places, its last line says 2"},
    };
    for (const auto& c : cases) {
        const auto load = parseCityTable(c.text, "t.tsv");
        EXPECT_FALSE(load) << c.text;
        EXPECT_EQ(load.error.rfind(c.message, 0), 0u) << load.error;
        EXPECT_EQ(load.table.size(), 0u);
    }
    EXPECT_TRUE(parseCityTable(rows + "# end: 2 places\n", "t.tsv"));
}

TEST(CityTableTest, MissingFileIsAnError) {
    const auto load = loadCityTable("/nonexistent/places.tsv");
    EXPECT_FALSE(load);
    EXPECT_EQ(load.error, "/nonexistent/places.tsv: cannot open the places file");
}

// Only a regular file is read: a pipe whose writer stays open and an endless device are
// refused at once, without a read that would wait or never end; a file beyond the size
// limit is refused by its size.
TEST(CityTableTest, ReadsOnlyRegularFilesWithinTheirBound) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string piped = "/proc/self/fd/" + std::to_string(ends[0]);
    EXPECT_EQ(loadCityTable(piped).error, piped + ": not a regular file");
    ::close(ends[0]);
    ::close(ends[1]);
    EXPECT_EQ(loadCityTable("/dev/zero").error, "/dev/zero: not a regular file");

    const std::string large = ::testing::TempDir() + "/places-large.tsv";
    std::ofstream(large) << "76\tAgra\t27.18\t78.01\tAsia/Kolkata\n# end: 1 places\n";
    EXPECT_TRUE(loadCityTable(large));
    ASSERT_EQ(::truncate(large.c_str(), (std::size_t{1} << 20) + 1), 0);
    EXPECT_EQ(loadCityTable(large, std::size_t{1} << 20).error,
              large + ": places file larger than 1 MiB");
    std::remove(large.c_str());
}

}  // namespace
}  // namespace zonarium
