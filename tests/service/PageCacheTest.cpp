#include "model/PageCache.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>

namespace zonarium {
namespace {

using test::at;

// How long a test waits for an answer that should come; a bound, not a pace.
constexpr std::chrono::seconds kAnswerBound{60};

using Parts = std::shared_ptr<const CachedPage>;

// Asks `cache` for a page; the future holds what the callback got.
std::future<Parts> ask(PageCache& cache, int land, Instant now) {
    auto answer = std::make_shared<std::promise<Parts>>();
    auto future = answer->get_future();
    cache.parts(land, now, [answer](Parts parts) { answer->set_value(std::move(parts)); });
    return future;
}

Parts answered(std::future<Parts> future) {
    if (future.wait_for(kAnswerBound) != std::future_status::ready) {
        ADD_FAILURE() << "no answer";
        return nullptr;
    }
    return future.get();
}

// A renderer that holds back the renders of one country until opened, counts the renders
// of each country and minute and fails the renders of another country while told to.
struct GatedRenderer {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::atomic<bool> failing{false};
    std::mutex mutex;
    std::condition_variable begun;
    std::map<std::pair<int, Instant>, int> counts;

    int renders(int land, Instant minute) {
        const std::lock_guard lock(mutex);
        return counts[{land, minute}];
    }

    // Waits for a render of `land` for `minute` to begin; false when none did in the bound.
    bool awaitRender(int land, Instant minute) {
        std::unique_lock lock(mutex);
        return begun.wait_for(lock, kAnswerBound, [&] { return counts[{land, minute}] > 0; });
    }

    PageRenderer renderer(int gatedLand, int failingLand) {
        return [this, gatedLand, failingLand](int land, Instant minute) {
            {
                const std::lock_guard lock(mutex);
                ++counts[{land, minute}];
            }
            begun.notify_all();
            if (land == gatedLand) {
                opened.wait();
            }
            if (land == failingLand && failing) {
                throw std::runtime_error("render failed");
            }
            return renderPageParts(land, minute, test::fixtureTable());
        };
    }
};

// Within a minute the parts are rendered once; at the minute's turn (one second before, at,
// after 2026-12-07 04:45:00Z, 10:15 in India) they are rendered anew for the new minute.
TEST(PageCacheTest, RendersOncePerMinute) {
    PageCache cache(test::fixtureTable(), 2);
    const auto early = answered(ask(cache, 76, at("2026-12-07T04:44:00Z")));
    const auto lastSecond = answered(ask(cache, 76, at("2026-12-07T04:44:59Z")));
    ASSERT_TRUE(early);
    EXPECT_EQ(early, lastSecond);
    EXPECT_EQ(early->tail,
              renderPageParts(76, at("2026-12-07T04:44:00Z"), test::fixtureTable()).tail);

    const auto turn = answered(ask(cache, 76, at("2026-12-07T04:45:00Z")));
    ASSERT_TRUE(turn);
    EXPECT_NE(turn, lastSecond);
    EXPECT_EQ(turn->tail,
              renderPageParts(76, at("2026-12-07T04:45:00Z"), test::fixtureTable()).tail);
    EXPECT_EQ(answered(ask(cache, 76, at("2026-12-07T04:45:01Z"))), turn);

    // Countries are cached apart, and a clock set back renders the earlier minute again.
    EXPECT_NE(answered(ask(cache, 224, at("2026-12-07T04:45:00Z")))->tail, turn->tail);
    EXPECT_EQ(answered(ask(cache, 76, at("2026-12-07T04:43:30Z")))->tail,
              renderPageParts(76, at("2026-12-07T04:43:00Z"), test::fixtureTable()).tail);
}

// Callers of one country and minute share one render, callers of the next minute who come
// during it get a render of their own after it, and a country whose render is held back
// keeps no other country waiting.
TEST(PageCacheTest, WaitersShareARenderAndASlowOneHoldsUpNoOther) {
    GatedRenderer gate;
    PageCache cache(test::fixtureTable(), 2, gate.renderer(224, 0));
    auto first = ask(cache, 224, at("2026-12-07T04:45:00Z"));
    auto second = ask(cache, 224, at("2026-12-07T04:45:30Z"));
    auto nextMinute = ask(cache, 224, at("2026-12-07T04:46:00Z"));

    const auto india = answered(ask(cache, 76, at("2026-12-07T04:45:00Z")));
    ASSERT_TRUE(india);
    EXPECT_EQ(first.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

    gate.open.set_value();
    const auto usa = answered(std::move(first));
    ASSERT_TRUE(usa);
    EXPECT_EQ(answered(std::move(second)), usa);
    const auto later = answered(std::move(nextMinute));
    ASSERT_TRUE(later);
    EXPECT_NE(later->tail, usa->tail);
    EXPECT_EQ(gate.renders(224, at("2026-12-07T04:45:00Z")), 1);
    EXPECT_EQ(gate.renders(224, at("2026-12-07T04:46:00Z")), 1);
}

// The page of the minute after one asked for is made ahead, at once when asked for after
// its time: callers at the turn share that render instead of starting one, and the page
// after it is not made at the turn. A caller who read the clock in the last second before
// the turn, once the new minute's parts are in place, is served those: no render of the
// minute gone.
TEST(PageCacheTest, NextMinuteIsMadeAhead) {
    GatedRenderer gate;
    gate.open.set_value();
    PageCache cache(test::fixtureTable(), 1, gate.renderer(0, 0));
    ASSERT_TRUE(answered(ask(cache, 76, at("2026-12-07T04:45:58Z"))));
    const auto turn = answered(ask(cache, 76, at("2026-12-07T04:46:00Z")));
    ASSERT_TRUE(turn);
    EXPECT_EQ(gate.renders(76, at("2026-12-07T04:47:00Z")), 0);
    EXPECT_EQ(turn->tail,
              renderPageParts(76, at("2026-12-07T04:46:00Z"), test::fixtureTable()).tail);
    EXPECT_EQ(answered(ask(cache, 76, at("2026-12-07T04:45:59Z"))), turn);
    EXPECT_EQ(answered(ask(cache, 76, at("2026-12-07T04:46:30Z"))), turn);
    EXPECT_EQ(answered(ask(cache, 76, at("2026-12-07T04:47:00Z")))->tail,
              renderPageParts(76, at("2026-12-07T04:47:00Z"), test::fixtureTable()).tail);
    for (const char* minute :
         {"2026-12-07T04:45:00Z", "2026-12-07T04:46:00Z", "2026-12-07T04:47:00Z"}) {
        EXPECT_EQ(gate.renders(76, at(minute)), 1) << minute;
    }
}

// A country asked for has its next minute's page made at its time in the minute with no
// caller: the caller at the turn is served it at once, without a render.
TEST(PageCacheTest, AheadRenderComesAtItsTimeUnasked) {
    GatedRenderer gate;
    gate.open.set_value();
    // One render thread: a render queued once the one ahead has begun runs after it is kept.
    PageCache cache(test::fixtureTable(), 1, gate.renderer(0, 0));
    // Land 1's render ahead of 04:46 is due at 04:45:05, a second after this caller.
    ASSERT_TRUE(answered(ask(cache, 1, at("2026-12-07T04:45:04Z"))));
    ASSERT_TRUE(gate.awaitRender(1, at("2026-12-07T04:46:00Z")));
    ASSERT_TRUE(answered(ask(cache, 76, at("2026-12-07T04:45:05Z"))));
    auto turn = ask(cache, 1, at("2026-12-07T04:46:00Z"));
    ASSERT_EQ(turn.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    const auto made = turn.get();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->tail,
              renderPageParts(1, at("2026-12-07T04:46:00Z"), test::fixtureTable()).tail);
    EXPECT_EQ(gate.renders(1, at("2026-12-07T04:46:00Z")), 1);
}

// A failed render answers its callers with null at once; the next caller renders again.
TEST(PageCacheTest, FailedRenderAnswersNullAndIsTriedAgain) {
    GatedRenderer gate;
    gate.open.set_value();
    gate.failing = true;
    PageCache cache(test::fixtureTable(), 1, gate.renderer(0, 76));
    EXPECT_EQ(answered(ask(cache, 76, at("2026-12-07T04:45:00Z"))), nullptr);
    gate.failing = false;
    EXPECT_NE(answered(ask(cache, 76, at("2026-12-07T04:45:00Z"))), nullptr);
}

// A callback that throws on a render thread costs its own caller only: the callers sharing
// the render are answered, and the country is served after it.
TEST(PageCacheTest, ThrowingCallbackLeavesTheCacheServing) {
    GatedRenderer gate;
    PageCache cache(test::fixtureTable(), 1, gate.renderer(224, 0));
    cache.parts(224, at("2026-12-07T04:45:00Z"), [](const Parts&) { throw std::bad_alloc(); });
    auto sharing = ask(cache, 224, at("2026-12-07T04:45:00Z"));
    gate.open.set_value();
    EXPECT_TRUE(answered(std::move(sharing)));
    EXPECT_TRUE(answered(ask(cache, 224, at("2026-12-07T04:47:00Z"))));
}

// Beyond kMaxWaiters callers of one country get null at once; those within it get the page.
TEST(PageCacheTest, WaitersAreBounded) {
    GatedRenderer gate;
    PageCache cache(test::fixtureTable(), 1, gate.renderer(224, 0));
    std::atomic<std::size_t> pages{0};
    std::promise<void> allAnswered;
    for (std::size_t i = 0; i < PageCache::kMaxWaiters; ++i) {
        cache.parts(224, at("2026-12-07T04:45:00Z"), [&](Parts parts) {
            if (parts && ++pages == PageCache::kMaxWaiters) {
                allAnswered.set_value();
            }
        });
    }
    EXPECT_EQ(answered(ask(cache, 224, at("2026-12-07T04:45:00Z"))), nullptr);
    gate.open.set_value();
    EXPECT_EQ(allAnswered.get_future().wait_for(kAnswerBound), std::future_status::ready);
}

// A replaced table serves from the next page asked for, in the same minute: the pages made
// from the old one are dropped, and the old table is freed once nothing uses it.
TEST(PageCacheTest, ReplacedTableServesAtOnce) {
    const auto table = [](const char* name) {
        CityTableLoad load = parseCityTable(
            std::string("76\t") + name + "\t27.18\t78.01\tAsia/Kolkata\n# end: 1 places\n", "t");
        EXPECT_TRUE(load) << load.error;
        return std::make_shared<const CityTable>(std::move(load.table));
    };
    auto before = table("Oldtown");
    const std::weak_ptr<const CityTable> old = before;
    PageCache cache(std::move(before), 1, nullptr);
    const Instant now = at("2026-12-07T04:45:10Z");
    const Parts first = answered(ask(cache, 76, now));
    ASSERT_TRUE(first);
    EXPECT_NE(first->tail.find("Oldtown"), std::string_view::npos);
    cache.replace(table("Newtown"));
    const Parts second = answered(ask(cache, 76, now));
    ASSERT_TRUE(second);
    EXPECT_NE(second->tail.find("Newtown"), std::string_view::npos);
    EXPECT_EQ(cache.table()->places(76).front().name, "Newtown");
    cache.stop();
    EXPECT_TRUE(old.expired());
}

}  // namespace
}  // namespace zonarium
