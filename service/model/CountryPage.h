#pragma once

#include "model/CityTable.h"
#include "model/LocalTime.h"
#include "model/Page.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zonarium {

class TimeZone;

// One country's page, kept in parts so that a minute's render only writes local times:
// each row's fixed prefix (its name cell) is made once, and each place's sunrise and sunset
// cells once per local date of its zone. Not thread-safe; the table must outlive it.
class CountryPage {
public:
    CountryPage(int land, const CityTable& table);

    // The page of the minute holding `instant`, byte for byte what a new CountryPage would
    // render, whatever minutes were rendered before. Sun cells of a local date not made yet
    // are made now.
    PageParts render(Instant instant);

    // Makes the sun cells of the next local date of every zone whose local midnight comes
    // within `ahead` of `instant`, so that the render at that midnight finds them made.
    void prepareAhead(Instant instant, std::chrono::minutes ahead);

    // Place-days whose sun cells were computed so far.
    std::size_t sunDaysComputed() const { return m_sunDaysComputed; }

private:
    // Sun cells of one zone's places for one local date: per place "SUNRISE</TD><TD>SUNSET
    // </TD></TR>\n", end to end, place after place in the zone's order.
    struct SunCells {
        date::local_days date;
        bool made = false;
        std::string text;
        // End of each place's cells in `text`.
        std::vector<std::uint32_t> ends;
    };
    // The places of one zone.
    struct ZoneRows {
        const TimeZone* zone = nullptr;
        // Indexes of the zone's places in the country's list, in that order.
        std::vector<std::uint32_t> places;
        // The local date being served and the one after it (or the one before it).
        std::array<SunCells, 2> days;
    };
    // A row: its place's zone and position within that zone's places.
    struct Row {
        std::uint32_t zone = 0;
        std::uint32_t indexInZone = 0;
    };

    // The sun cells of `rows` for `date`, made when missing.
    const SunCells& sunCells(ZoneRows& rows, date::local_days date);

    const CityTable& m_table;
    int m_land;
    // Fixed bytes before the rows, after the identifier.
    std::string m_start;
    // Fixed bytes after the rows.
    std::string m_end;
    // Every row's name cell, "<TR><TD VALIGN=Top>NAME</TD><TD>", end to end.
    std::string m_prefixes;
    // End of each row's prefix in m_prefixes.
    std::vector<std::uint32_t> m_prefixEnds;
    std::vector<Row> m_rows;
    std::vector<ZoneRows> m_zones;
    std::size_t m_sunDaysComputed = 0;
};

// The page of country `land` at `instant` without its identifier. Every text depends on
// the instant only to the minute, so parts rendered at any second of a minute are equal.
// A country without places gets the heading and an empty table (header row only). After
// the table, a footer names the table's tzdata release.
PageParts renderPageParts(int land, Instant instant, const CityTable& table);

// The whole page: renderPageParts joined around `identifier`, which goes in unchanged.
std::string renderPage(int land, Instant instant, const CityTable& table,
                       std::string_view identifier);

}  // namespace zonarium
