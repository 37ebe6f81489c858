#include "PageCache.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace zonarium {
namespace {

using test::at;

// Within a minute the parts are rendered once; at the minute's turn (one second before, at,
// after 2026-12-07 04:45:00Z, 10:15 in India) they are rendered anew for the new minute.
TEST(PageCacheTest, RendersOncePerMinute) {
    PageCache cache(test::fixtureTable());
    const auto early = cache.parts(76, at("2026-12-07T04:44:00Z"));
    const auto lastSecond = cache.parts(76, at("2026-12-07T04:44:59Z"));
    EXPECT_EQ(early, lastSecond);
    EXPECT_EQ(early->tail,
              renderPageParts(76, at("2026-12-07T04:44:00Z"), test::fixtureTable()).tail);

    const auto turn = cache.parts(76, at("2026-12-07T04:45:00Z"));
    EXPECT_NE(turn, lastSecond);
    EXPECT_NE(turn->tail, lastSecond->tail);
    EXPECT_EQ(turn->tail,
              renderPageParts(76, at("2026-12-07T04:45:00Z"), test::fixtureTable()).tail);
    EXPECT_EQ(cache.parts(76, at("2026-12-07T04:45:01Z")), turn);

    // Countries are cached apart, and a clock going back renders the earlier minute again.
    EXPECT_NE(cache.parts(224, at("2026-12-07T04:45:00Z"))->tail, turn->tail);
    EXPECT_EQ(cache.parts(76, at("2026-12-07T04:44:30Z"))->tail, lastSecond->tail);
}

}  // namespace
}  // namespace zonarium
