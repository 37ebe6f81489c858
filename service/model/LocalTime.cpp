#include "model/LocalTime.h"

#include "model/TimeZone.h"

#include <array>
#include <cstdio>

namespace zonarium {

namespace {

constexpr std::array<const char*, 7> kDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string formatUtcOffset(std::chrono::seconds offset) {
    const auto total = offset.count();
    const long long minutes = (total < 0 ? -total : total) / 60;
    char text[24];
    std::snprintf(text, sizeof text, "UTC%c%02lld:%02lld", total < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    return text;
}

LocalTimeCells localTimeCells(const TimeZone& zone, Instant instant) {
    const date::sys_info info = zone.info(instant);
    const auto local = date::local_seconds{instant.time_since_epoch() + info.offset};
    const auto day = date::floor<date::days>(local);
    const date::year_month_day ymd{day};
    const date::hh_mm_ss<std::chrono::seconds> clock{local - day};
    const date::weekday weekday{day};

    char text[64];
    std::snprintf(text, sizeof text, "%s %02u %s %04d %02d:%02d ", kDayNames[weekday.c_encoding()],
                  static_cast<unsigned>(ymd.day()),
                  kMonthNames[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()));
    LocalTimeCells cells;
    cells.localTime = text;
    cells.localTime += info.abbrev;
    if (cells.localTime.size() > kMaxLocalTimeLength) {
        cells.localTime.resize(kMaxLocalTimeLength);
    }
    cells.offset = formatUtcOffset(info.offset);
    cells.localDate = day;
    return cells;
}

}  // namespace zonarium
