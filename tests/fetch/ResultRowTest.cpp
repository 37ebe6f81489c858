#include "ResultRow.h"

#include <gtest/gtest.h>

#include <string>

namespace horalux {
namespace {

// The documented line and header line, character for character.
TEST(ResultRowTest, WorkedExampleAndHeader) {
    const std::string line = FormatResultRow("Alpha", "Mon 10:15", "06:58", "17:41");
    EXPECT_EQ(line, "Alpha" + std::string(20, ' ') + "Mon 10:15" + std::string(19, ' ') + "06:58" +
                        std::string(5, ' ') + "17:41");
    EXPECT_EQ(line.size(), 68u);
    EXPECT_EQ(HeaderRow(), "City/Town" + std::string(16, ' ') + "Local time" +
                               std::string(18, ' ') + "Sunrise" + std::string(3, ' ') + "Sunset");
    EXPECT_EQ(HeaderRow().size(), 69u);
}

// Texts of exactly their column's width are followed directly by the next column.
TEST(ResultRowTest, ExactWidths) {
    const std::string city(25, 'c');
    const std::string time(28, 't');
    const std::string rise(10, 'r');
    EXPECT_EQ(FormatResultRow(city, time, rise, "s"), city + time + rise + "s");
    EXPECT_EQ(FormatResultRow("", "", "", ""), std::string(63, ' '));
}

// An overlong text is kept whole with no padding after it; the row is never lost.
TEST(ResultRowTest, OverlongTextsKeptWhole) {
    const std::string time29(29, 't');
    EXPECT_EQ(FormatResultRow("A", time29, "06:58", "17:41"),
              "A" + std::string(24, ' ') + time29 + "06:58" + std::string(5, ' ') + "17:41");
    const std::string rise11(11, 'r');
    EXPECT_EQ(FormatResultRow("A", "T", rise11, "S"),
              "A" + std::string(24, ' ') + "T" + std::string(27, ' ') + rise11 + "S");
    const std::string sunset(40, 's');
    EXPECT_EQ(FormatResultRow("A", "T", "R", sunset).substr(63), sunset);
}

}  // namespace
}  // namespace horalux
