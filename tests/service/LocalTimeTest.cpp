#include "model/LocalTime.h"

#include "TestSupport.h"

#include <date/date.h>
#include <gtest/gtest.h>

namespace zonarium {
namespace {

using test::at;

struct Expected {
    const char* zone;
    const char* instant;
    const char* localTime;
    const char* offset;
};

void check(const Expected& e) {
    const LocalTimeCells cells = localTimeCells(test::zone(e.zone), at(e.instant));
    EXPECT_EQ(cells.localTime, e.localTime) << e.zone << " at " << e.instant;
    EXPECT_EQ(cells.offset, e.offset) << e.zone << " at " << e.instant;
    EXPECT_LE(cells.localTime.size(), kMaxLocalTimeLength);
}

// New York springs forward at 2026-03-08 07:00:00Z (02:00 EST becomes 03:00 EDT).
TEST(LocalTimeTest, SpringForwardTransition) {
    check({"America/New_York", "2026-03-08T06:59:59Z", "Sun 08 Mar 2026 01:59 EST", "UTC-05:00"});
    check({"America/New_York", "2026-03-08T07:00:00Z", "Sun 08 Mar 2026 03:00 EDT", "UTC-04:00"});
    check({"America/New_York", "2026-03-08T07:00:01Z", "Sun 08 Mar 2026 03:00 EDT", "UTC-04:00"});
}

// New York falls back at 2026-11-01 06:00:00Z (02:00 EDT becomes 01:00 EST).
TEST(LocalTimeTest, FallBackTransition) {
    check({"America/New_York", "2026-11-01T05:59:59Z", "Sun 01 Nov 2026 01:59 EDT", "UTC-04:00"});
    check({"America/New_York", "2026-11-01T06:00:00Z", "Sun 01 Nov 2026 01:00 EST", "UTC-05:00"});
    check({"America/New_York", "2026-11-01T06:00:01Z", "Sun 01 Nov 2026 01:00 EST", "UTC-05:00"});
}

// Lord Howe Island moves by half an hour: 2026-04-04 15:00:00Z is 02:00 +11 becoming
// 01:30 +1030; 2026-10-03 15:30:00Z is 02:00 +1030 becoming 02:30 +11.
TEST(LocalTimeTest, HalfHourDaylightSaving) {
    check(
        {"Australia/Lord_Howe", "2026-04-04T14:59:59Z", "Sun 05 Apr 2026 01:59 +11", "UTC+11:00"});
    check({"Australia/Lord_Howe", "2026-04-04T15:00:00Z", "Sun 05 Apr 2026 01:30 +1030",
           "UTC+10:30"});
    check({"Australia/Lord_Howe", "2026-04-04T15:00:01Z", "Sun 05 Apr 2026 01:30 +1030",
           "UTC+10:30"});
    check({"Australia/Lord_Howe", "2026-10-03T15:29:59Z", "Sun 04 Oct 2026 01:59 +1030",
           "UTC+10:30"});
    check(
        {"Australia/Lord_Howe", "2026-10-03T15:30:00Z", "Sun 04 Oct 2026 02:30 +11", "UTC+11:00"});
}

// Odd offsets; numeric abbreviations stay as tzdata writes them.
TEST(LocalTimeTest, OddOffsets) {
    // 2026-12-07 04:45:00Z
    check({"Asia/Kolkata", "2026-12-07T04:45:00Z", "Mon 07 Dec 2026 10:15 IST", "UTC+05:30"});
    check({"Asia/Kathmandu", "2026-12-07T04:45:00Z", "Mon 07 Dec 2026 10:30 +0545", "UTC+05:45"});
    // Chatham: +13:45 in the southern summer, +12:45 in winter (2026-07-01 00:00:00Z).
    check({"Pacific/Chatham", "2026-12-07T04:45:00Z", "Mon 07 Dec 2026 18:30 +1345", "UTC+13:45"});
    check({"Pacific/Chatham", "2026-07-01T00:00:00Z", "Wed 01 Jul 2026 12:45 +1245", "UTC+12:45"});
    // Kiritimati is a day ahead of Honolulu at the same hour: 2026-12-31 10:00:00Z.
    check({"Pacific/Kiritimati", "2026-12-31T10:00:00Z", "Fri 01 Jan 2027 00:00 +14", "UTC+14:00"});
    check({"Pacific/Honolulu", "2026-12-31T10:00:00Z", "Thu 31 Dec 2026 00:00 HST", "UTC-10:00"});
    check({"America/St_Johns", "2026-12-07T04:45:00Z", "Mon 07 Dec 2026 01:15 NST", "UTC-03:30"});
    check({"America/Sao_Paulo", "2026-12-07T04:45:00Z", "Mon 07 Dec 2026 01:45 -03", "UTC-03:00"});
    check({"Etc/UTC", "2026-12-07T04:45:59Z", "Mon 07 Dec 2026 04:45 UTC", "UTC+00:00"});
}

// Rules hold up to the last transition the system tzdata lists (2037-07-01 12:00:00Z).
TEST(LocalTimeTest, RulesHoldInLaterYears) {
    check({"America/New_York", "2037-07-01T12:00:00Z", "Wed 01 Jul 2037 08:00 EDT", "UTC-04:00"});
    check({"Europe/Berlin", "2037-12-01T12:00:00Z", "Tue 01 Dec 2037 13:00 CET", "UTC+01:00"});
}

TEST(LocalTimeTest, OffsetTextDropsSecondsTowardZero) {
    EXPECT_EQ(formatUtcOffset(std::chrono::seconds{-(5 * 3600 + 17 * 60 + 32)}), "UTC-05:17");
    EXPECT_EQ(formatUtcOffset(std::chrono::seconds{59}), "UTC+00:00");
    EXPECT_EQ(formatUtcOffset(std::chrono::seconds{14 * 3600}), "UTC+14:00");
}

}  // namespace
}  // namespace zonarium
