#include "http/Query.h"

#include <gtest/gtest.h>

namespace zonarium {
namespace {

using Status = PageQuery::Status;

TEST(QueryTest, PathAndCountryCode) {
    const struct {
        const char* target;
        Status status;
        int land;
    } cases[] = {
        {"/cgi-bin/wt.cgi?cnt=604218&ID=&land=76", Status::Page, 76},
        {"/cgi-bin/wt%2Ecgi?land=1", Status::Page, 1},
        {"/cgi-bin/wt.cgi?land=236", Status::Page, 236},
        {"/cgi-bin/wt.cgi?land=%37%36", Status::Page, 76},
        {"/cgi-bin/wt.cgi?land=0076", Status::Page, 76},
        {"/cgi-bin/wt.cgi?lan%64=76", Status::Page, 76},
        {"/", Status::NoSuchPath, 0},
        {"/cgi-bin/wt.cgi/more?land=76", Status::NoSuchPath, 0},
        {"/CGI-BIN/WT.CGI?land=76", Status::NoSuchPath, 0},
        {"/health%7A?land=76", Status::Health, 0},
        {"/healthz/", Status::NoSuchPath, 0},
        {"/cgi-bin/wt.cgi", Status::LandMissing, 0},
        {"/cgi-bin/wt.cgi?land=76&land=76", Status::LandMissing, 0},
        {"/cgi-bin/wt.cgi?Land=76", Status::LandMissing, 0},
        {"/cgi-bin/wt.cgi?land", Status::LandNotANumber, 0},
        {"/cgi-bin/wt.cgi?land=", Status::LandNotANumber, 0},
        {"/cgi-bin/wt.cgi?land=-5", Status::LandNotANumber, 0},
        {"/cgi-bin/wt.cgi?land=+76", Status::LandNotANumber, 0},
        {"/cgi-bin/wt.cgi?land=7.0", Status::LandNotANumber, 0},
        {"/cgi-bin/wt.cgi?land=76%00", Status::LandNotANumber, 0},
        {"/cgi-bin/wt.cgi?land=0", Status::LandOutOfRange, 0},
        {"/cgi-bin/wt.cgi?land=237", Status::LandOutOfRange, 0},
        {"/cgi-bin/wt.cgi?land=99999999999999999999", Status::LandOutOfRange, 0},
    };
    for (const auto& c : cases) {
        const PageQuery query = parsePageQuery(c.target);
        EXPECT_EQ(query.status, c.status) << c.target;
        EXPECT_EQ(query.land, c.land) << c.target;
    }
}

// The first ID counts, decoded; the caller checks its form.
TEST(QueryTest, Identifier) {
    EXPECT_EQ(parsePageQuery("/cgi-bin/wt.cgi?ID=Abc123xyZ&land=76").identifier, "Abc123xyZ");
    EXPECT_EQ(parsePageQuery("/cgi-bin/wt.cgi?ID=a%26land%3D7+b&ID=x&land=76").identifier,
              "a&land=7 b");
    EXPECT_EQ(parsePageQuery("/cgi-bin/wt.cgi?land=76").identifier, "");
}

TEST(QueryTest, PercentDecoding) {
    EXPECT_EQ(percentDecode("a%41%4a%4A+b", true), "aAJJ b");
    EXPECT_EQ(percentDecode("a+b", false), "a+b");
    // Incomplete or non-hex escapes stay as sent.
    EXPECT_EQ(percentDecode("%", true), "%");
    EXPECT_EQ(percentDecode("%4", true), "%4");
    EXPECT_EQ(percentDecode("%zz%4g", true), "%zz%4g");
    EXPECT_EQ(percentDecode("%00%FF", true), std::string("\0\xFF", 2));
}

}  // namespace
}  // namespace zonarium
