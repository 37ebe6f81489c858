#include "model/CountrySchedule.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace zonarium {
namespace {

using test::at;
using Schedule = CountrySchedule<std::shared_ptr<int>>;
using Kind = Schedule::Step::Kind;

// Renders ahead fall inside the minute before theirs, 5 to 55 seconds in, spread over the
// countries: never on the turn, and never all at one instant.
TEST(CountryScheduleTest, AheadRendersAreSpreadAwayFromTheTurn) {
    const Instant minute = at("2026-12-07T04:46:00Z");
    std::set<Instant> times;
    Instant last = minute - std::chrono::minutes{1};
    for (int land = kFirstLand; land <= kLastLand; ++land) {
        const Instant due = aheadRenderTime(land, minute);
        EXPECT_GE(due, at("2026-12-07T04:45:05Z")) << land;
        EXPECT_LE(due, at("2026-12-07T04:45:55Z")) << land;
        EXPECT_GE(due, last) << land;
        last = due;
        times.insert(due);
    }
    EXPECT_GE(times.size(), 50u);
}

// A minute's life for India (land 76, its render ahead due 20 s into the minute before): the
// first caller waits for a render, which then sets the timer for the next minute's; the timer
// starts it; made ahead, those parts are kept aside until the turn, where they are served and
// the following render ahead is only set, not started.
TEST(CountryScheduleTest, TurnStartsNoRender) {
    Schedule schedule(76);
    Schedule::Step step;
    const Instant m45 = at("2026-12-07T04:45:00Z");
    const Instant m46 = at("2026-12-07T04:46:00Z");
    EXPECT_EQ(schedule.ask(m45, at("2026-12-07T04:45:10Z"), step), nullptr);
    EXPECT_EQ(step.kind, Kind::None);
    step = schedule.wait(m45);
    EXPECT_EQ(step.kind, Kind::Render);
    EXPECT_EQ(step.minute, m45);
    EXPECT_FALSE(step.ahead);
    // Others asking meanwhile start no second render.
    EXPECT_EQ(schedule.wait(m45).kind, Kind::None);

    const auto first = std::make_shared<int>(45);
    EXPECT_TRUE(schedule.rendered(m45, false, true, false, first));
    step = schedule.ended(std::nullopt, true, m45, at("2026-12-07T04:45:10Z"));
    EXPECT_EQ(step.kind, Kind::Arm);
    EXPECT_EQ(step.minute, m46);
    EXPECT_EQ(step.at, aheadRenderTime(76, m46));
    EXPECT_GT(step.at, at("2026-12-07T04:45:10Z"));

    Schedule::Step none;
    EXPECT_EQ(schedule.ask(m45, at("2026-12-07T04:45:30Z"), none), first);
    EXPECT_EQ(schedule.due(m45).kind, Kind::None);  // not the minute set
    step = schedule.due(m46);
    EXPECT_EQ(step.kind, Kind::Render);
    EXPECT_TRUE(step.ahead);
    EXPECT_EQ(schedule.due(m46).kind, Kind::None);  // rung once

    const auto ahead = std::make_shared<int>(46);
    EXPECT_FALSE(schedule.rendered(m46, true, false, false, ahead));
    EXPECT_EQ(schedule.ended(std::nullopt, false, m46, at("2026-12-07T04:45:21Z")).kind,
              Kind::None);
    // The last second before the turn is still served its own minute.
    EXPECT_EQ(schedule.ask(m45, at("2026-12-07T04:45:59Z"), none), first);

    step = {};
    EXPECT_EQ(schedule.ask(m46, at("2026-12-07T04:46:00Z"), step), ahead);
    EXPECT_EQ(step.kind, Kind::Arm);
    EXPECT_EQ(step.minute, at("2026-12-07T04:47:00Z"));
    EXPECT_FALSE(schedule.rendering());
    // A caller who read the clock just before the turn is served the new minute's parts.
    EXPECT_EQ(schedule.ask(m45, at("2026-12-07T04:45:59Z"), none), ahead);
}

// A caller past the render ahead's time has it started at once; a caller who needs the
// minute's parts before the timer rings has them made for it, and the timer then does
// nothing. A render behind the parts in place, failed or from a replaced table is not kept,
// and callers of another minute who came meanwhile get the next render.
TEST(CountryScheduleTest, LateCallersFailuresAndOtherMinutes) {
    Schedule schedule(76);
    Schedule::Step step;
    const Instant m45 = at("2026-12-07T04:45:00Z");
    const Instant m46 = at("2026-12-07T04:46:00Z");
    schedule.ask(m45, at("2026-12-07T04:45:50Z"), step);
    schedule.wait(m45);
    schedule.rendered(m45, false, true, false, std::make_shared<int>(45));
    step = schedule.ended(std::nullopt, true, m45, at("2026-12-07T04:45:50Z"));
    EXPECT_EQ(step.kind, Kind::Render);
    EXPECT_EQ(step.minute, m46);
    EXPECT_TRUE(step.ahead);
    schedule.notStarted();

    Schedule early(76);
    early.ask(m45, at("2026-12-07T04:45:01Z"), step);
    early.wait(m45);
    early.rendered(m45, false, true, false, std::make_shared<int>(45));
    EXPECT_EQ(early.ended(std::nullopt, true, m45, at("2026-12-07T04:45:01Z")).kind, Kind::Arm);
    EXPECT_EQ(early.ask(m46, at("2026-12-07T04:46:00Z"), step), nullptr);
    EXPECT_EQ(early.wait(m46).kind, Kind::Render);
    EXPECT_EQ(early.due(m46).kind, Kind::None);
    const auto turn = std::make_shared<int>(46);
    EXPECT_TRUE(early.rendered(m46, false, true, false, turn));
    // Behind the parts in place, failed, or from a replaced table: never kept.
    EXPECT_FALSE(early.rendered(m45, false, true, false, std::make_shared<int>(45)));
    EXPECT_FALSE(early.rendered(m46, false, true, false, nullptr));
    EXPECT_FALSE(early.rendered(m46, false, true, true, std::make_shared<int>(0)));
    Schedule::Step none;
    EXPECT_EQ(early.ask(m46, at("2026-12-07T04:46:10Z"), none), turn);
    // Callers of another minute waited meanwhile: theirs is the next render.
    step = early.ended(at("2026-12-07T04:43:00Z"), true, m46, at("2026-12-07T04:46:10Z"));
    EXPECT_EQ(step.kind, Kind::Render);
    EXPECT_EQ(step.minute, at("2026-12-07T04:43:00Z"));
    EXPECT_FALSE(step.ahead);

    std::shared_ptr<int> parts;
    std::shared_ptr<int> next;
    early.drop(parts, next);
    EXPECT_EQ(parts, turn);
    EXPECT_EQ(early.ask(m46, at("2026-12-07T04:46:10Z"), none), nullptr);
}

}  // namespace
}  // namespace zonarium
