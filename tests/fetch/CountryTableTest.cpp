#include "fetch/CountryNames.h"
#include "fetch/CountryTable.h"
#include "platform/AsciiCase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace horalux {
namespace {

// The examples the rest of the program relies on: the lookup one position behind.
TEST(CountryTableTest, CodesAreReadOnePositionBehindTheNames) {
    EXPECT_EQ(CountryTable::entryName(1), "Afghanistan");
    EXPECT_EQ(CountryTable::codeOf(1), 1);
    EXPECT_EQ(CountryTable::entryName(62), "Egypt");
    EXPECT_EQ(CountryTable::codeOf(62), 2);
    EXPECT_EQ(CountryTable::entryName(96), "India");
    EXPECT_EQ(CountryTable::codeOf(96), 76);
    EXPECT_EQ(CountryTable::entryName(CountryTable::kDefaultEntry), "USA");
    EXPECT_EQ(CountryTable::codeOf(225), 224);
    EXPECT_EQ(CountryTable::itemData(225), 225);  // the code of "Uzbekistan"
    EXPECT_EQ(CountryTable::entryName(226), "Uzbekistan");
    EXPECT_EQ(CountryTable::entryName(236), "Zimbabwe");
    EXPECT_EQ(CountryTable::codeOf(236), 187);
    EXPECT_EQ(CountryTable::itemData(236), 0);
    EXPECT_EQ(CountryTable::itemData(0), 1);
}

// Entry 0, no selection and positions outside the list have no code.
TEST(CountryTableTest, OutOfRangeEntriesHaveNoCode) {
    EXPECT_EQ(CountryTable::entryName(0), "");
    EXPECT_FALSE(CountryTable::codeOf(0));
    EXPECT_FALSE(CountryTable::codeOf(-1));
    EXPECT_FALSE(CountryTable::codeOf(237));
    EXPECT_FALSE(CountryTable::itemData(-1));
    EXPECT_FALSE(CountryTable::itemData(237));
    EXPECT_EQ(CountryTable::entryName(237), "");
}

// The whole table: every code 1 to 236 once, names ascending with case ignored, and only
// the characters a country name may hold.
TEST(CountryTableTest, WholeTableInvariants) {
    std::set<int> codes;
    std::string previous;
    std::size_t longest = 0;
    for (int entry = 1; entry < CountryTable::kEntryCount; ++entry) {
        const std::string_view name = CountryTable::entryName(entry);
        ASSERT_FALSE(name.empty()) << entry;
        EXPECT_LT(previous, lowerAscii(name)) << name;
        previous = lowerAscii(name);
        longest = std::max(longest, name.size());
        for (const char c : name) {
            EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(c)) ||
                        std::string_view(" '(),-.").find(c) != std::string_view::npos)
                << name;
        }
        const auto code = CountryTable::codeOf(entry);
        ASSERT_TRUE(code);
        EXPECT_TRUE(codes.insert(*code).second) << "code " << *code << " twice";
    }
    EXPECT_EQ(codes.size(), 236U);
    EXPECT_EQ(*codes.begin(), 1);
    EXPECT_EQ(*codes.rbegin(), 236);
    EXPECT_EQ(longest, 35U);
}

// A typed name: the entry whatever the letter case, none for a part of a name; the
// suggestions put names that start with it first, then names that hold it, then near ones.
TEST(CountryTableTest, TypedNamesAndSuggestions) {
    EXPECT_EQ(CountryNames::find("iNDIA"), 96);
    EXPECT_EQ(CountryNames::find("Zimbabwe"), 236);
    EXPECT_EQ(CountryNames::find("Indi"), 0);
    EXPECT_EQ(CountryNames::find(""), 0);
    EXPECT_EQ(CountryNames::closest("Indai", 1), std::vector<std::string>{"India"});
    // "Afghanistan" holds "an" and comes first in the table, but "Andorra" starts with it.
    EXPECT_EQ(CountryNames::closest("AN", 2), (std::vector<std::string>{"Andorra", "Angola"}));
    EXPECT_TRUE(CountryNames::closest("qqqqqqqq", 4).empty());
}

// The other names: ISO codes and iso-codes' names of every code an entry lists, in any
// letter case, accented or not; suggestions draw on the names but never on the codes.
TEST(CountryTableTest, CodesAndOtherNames) {
    const int usa = CountryTable::kDefaultEntry;
    for (const char* name : {"US", "usa", "United States", "UNITED STATES OF AMERICA"}) {
        EXPECT_EQ(CountryNames::findAll(name), std::vector<int>{usa}) << name;
    }
    EXPECT_EQ(CountryTable::entryName(CountryNames::find("Korea, Republic of")), "Korea-South");
    const int finland = CountryNames::find("Finland");
    EXPECT_EQ(CountryNames::find("ax"), finland);
    EXPECT_EQ(CountryNames::find("Åland Islands"), finland);
    EXPECT_EQ(CountryNames::find("aland islands"), finland);
    EXPECT_EQ(CountryNames::find("XK"), CountryNames::find("Serbia"));
    EXPECT_EQ(CountryNames::find("U"), 0);
    EXPECT_EQ(CountryNames::closest("united stats", 1), std::vector<std::string>{"United States"});
    EXPECT_EQ(CountryNames::closest("ZZ", 4), std::vector<std::string>{});
    EXPECT_EQ(CountryNames::isoCodesOf(finland),
              (std::vector<std::pair<std::string, std::string>>{{"FI", "FIN"}, {"AX", "ALA"}}));
    EXPECT_EQ(CountryNames::isoCodesOf(CountryNames::find("Serbia")),
              (std::vector<std::pair<std::string, std::string>>{{"RS", "SRB"}, {"XK", ""}}));
}

}  // namespace
}  // namespace horalux
