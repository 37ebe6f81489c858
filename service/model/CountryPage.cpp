#include "model/CountryPage.h"

#include "model/Sun.h"

#include "model/TimeZone.h"

#include <climits>
#include <string_view>
#include <unordered_map>

namespace zonarium {

namespace {

constexpr std::string_view kDocumentStart =
    "<HTML><HEAD><TITLE>Zonarium time information</TITLE></HEAD><BODY>\n"
    "<A HREF=\"/cgi-bin/wt.cgi?ID=";
constexpr std::string_view kHeading = "<H3>Time information for selected cities and towns</H3>\n";
constexpr std::string_view kTableStart =
    "<TABLE CELLPADDING=4>\n"
    "<TR><TH>City/Town</TH><TH>Local time</TH><TH>UTC offset</TH><TH>Sunrise</TH>"
    "<TH>Sunset</TH></TR>\n";
constexpr std::string_view kTableEnd = "</TABLE>\n";
constexpr std::string_view kFooterStart = "<P>Time zone data: tzdata ";
constexpr std::string_view kDocumentEnd = "</P>\n</BODY></HTML>\n";
constexpr std::string_view kRowStart = "<TR><TD VALIGN=Top>";
constexpr std::string_view kCellBreak = "</TD><TD>";
constexpr std::string_view kRowEnd = "</TD></TR>\n";

// Bytes [begin of entry i, end of entry i) of texts stored end to end.
std::string_view entry(const std::string& text, const std::vector<std::uint32_t>& ends,
                       std::size_t i) {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(text).substr(begin, ends[i] - begin);
}

}  // namespace

CountryPage::CountryPage(int land, const CityTable& table) : m_table(table), m_land(land) {
    m_start = "&land=";
    m_start += std::to_string(land);
    m_start += "\">Refresh</A>\n";
    m_start += kHeading;
    m_start += kTableStart;
    m_end = kTableEnd;
    m_end += kFooterStart;
    m_end += escapeMarkup(table.tzdataRelease());
    m_end += kDocumentEnd;

    const auto& places = table.places(land);
    m_rows.reserve(places.size());
    m_prefixEnds.reserve(places.size());
    std::unordered_map<const TimeZone*, std::uint32_t> zoneIndex;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& place = places[i];
        m_prefixes += kRowStart;
        m_prefixes += escapeMarkup(place.name);
        m_prefixes += kCellBreak;
        m_prefixEnds.push_back(static_cast<std::uint32_t>(m_prefixes.size()));
        const auto [found, isNew] =
            zoneIndex.try_emplace(place.zone, static_cast<std::uint32_t>(m_zones.size()));
        if (isNew) {
            m_zones.emplace_back().zone = place.zone;
        }
        ZoneRows& zone = m_zones[found->second];
        m_rows.push_back(Row{found->second, static_cast<std::uint32_t>(zone.places.size())});
        zone.places.push_back(static_cast<std::uint32_t>(i));
    }
    m_prefixes.shrink_to_fit();
}

const CountryPage::SunCells& CountryPage::sunCells(ZoneRows& rows, date::local_days date) {
    for (const SunCells& day : rows.days) {
        if (day.made && day.date == date) {
            return day;
        }
    }
    // An unused place, else the day furthest from the one asked for: the day before it, once
    // that is over.
    const auto distance = [date](const SunCells& day) {
        return day.made ? std::chrono::abs(day.date - date).count() : INT_MAX;
    };
    SunCells& day = distance(rows.days[0]) >= distance(rows.days[1]) ? rows.days[0] : rows.days[1];
    day.made = false;
    day.text.clear();
    day.ends.clear();
    day.ends.reserve(rows.places.size());
    const auto& places = m_table.places(m_land);
    for (const std::uint32_t index : rows.places) {
        const Place& place = places[index];
        const SunDay sun = sunDay(place.latitude, place.longitude, *rows.zone, date);
        day.text += formatSunEvent(sun.sunrise, *rows.zone, date);
        day.text += kCellBreak;
        day.text += formatSunEvent(sun.sunset, *rows.zone, date);
        day.text += kRowEnd;
        day.ends.push_back(static_cast<std::uint32_t>(day.text.size()));
    }
    day.text.shrink_to_fit();
    day.date = date;
    day.made = true;
    m_sunDaysComputed += rows.places.size();
    return day;
}

PageParts CountryPage::render(Instant instant) {
    const Instant minute = date::floor<std::chrono::minutes>(instant);
    // Per zone: its clock cells for the minute and its sun cells for the local date.
    struct ZoneMinute {
        std::string clock;
        const SunCells* sun = nullptr;
    };
    std::vector<ZoneMinute> zones(m_zones.size());
    std::size_t size = m_start.size() + m_prefixes.size() + m_end.size();
    for (std::size_t z = 0; z < m_zones.size(); ++z) {
        ZoneRows& rows = m_zones[z];
        const LocalTimeCells cells = localTimeCells(*rows.zone, minute);
        zones[z].clock = cells.localTime;
        zones[z].clock += kCellBreak;
        zones[z].clock += cells.offset;
        zones[z].clock += kCellBreak;
        zones[z].sun = &sunCells(rows, cells.localDate);
        size += zones[z].clock.size() * rows.places.size() + zones[z].sun->text.size();
    }

    PageParts parts;
    parts.head = kDocumentStart;
    std::string& out = parts.tail;
    out.reserve(size);
    out += m_start;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Row row = m_rows[i];
        const ZoneMinute& zone = zones[row.zone];
        out += entry(m_prefixes, m_prefixEnds, i);
        out += zone.clock;
        out += entry(zone.sun->text, zone.sun->ends, row.indexInZone);
    }
    out += m_end;
    return parts;
}

void CountryPage::prepareAhead(Instant instant, std::chrono::minutes ahead) {
    for (ZoneRows& rows : m_zones) {
        const auto today = date::floor<date::days>(rows.zone->toLocal(instant));
        const auto later = date::floor<date::days>(rows.zone->toLocal(instant + ahead));
        if (later != today) {
            sunCells(rows, later);
        }
    }
}

PageParts renderPageParts(int land, Instant instant, const CityTable& table) {
    return CountryPage(land, table).render(instant);
}

std::string renderPage(int land, Instant instant, const CityTable& table,
                       std::string_view identifier) {
    PageParts parts = renderPageParts(land, instant, table);
    std::string page = std::move(parts.head);
    page += identifier;
    page += parts.tail;
    return page;
}

}  // namespace zonarium
