#include "fetch/ResultRow.h"

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

// A text of exactly its column's width is followed directly by the next column; a longer
// one is kept whole with no padding after it, so no row is ever lost.
TEST(ResultRowTest, ColumnWidths) {
    const std::string city(25, 'c');
    const std::string time(28, 't');
    const std::string rise(10, 'r');
    EXPECT_EQ(FormatResultRow(city, time, rise, "s"), city + time + rise + "s");
    const std::string time29(29, 't');
    EXPECT_EQ(FormatResultRow("A", time29, "06:58", "17:41"),
              "A" + std::string(24, ' ') + time29 + "06:58" + std::string(5, ' ') + "17:41");
    const std::string rise11(11, 'r');
    const std::string sunset(40, 's');
    EXPECT_EQ(FormatResultRow("A", "T", rise11, sunset),
              "A" + std::string(24, ' ') + "T" + std::string(27, ' ') + rise11 + sunset);
}

}  // namespace
}  // namespace horalux
