#include "Page.h"

#include "Sun.h"

#include <date/tz.h>

#include <random>
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

bool isAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string escapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

PageParts renderPageParts(int land, Instant instant, const CityTable& table) {
    const Instant minute = date::floor<std::chrono::minutes>(instant);
    const auto& places = table.places(land);

    PageParts parts;
    parts.head = kDocumentStart;
    std::string& out = parts.tail;
    out.reserve(200 + places.size() * 120);
    out += "&land=";
    out += std::to_string(land);
    out += "\">Refresh</A>\n";
    out += kHeading;
    out += kTableStart;

    // Places of a country share few zones; their clock cells are computed once each.
    std::unordered_map<const date::time_zone*, LocalTimeCells> clocks;
    for (const Place& place : places) {
        auto [clock, isNew] = clocks.try_emplace(place.zone);
        if (isNew) {
            clock->second = localTimeCells(*place.zone, minute);
        }
        const LocalTimeCells& cells = clock->second;
        const SunDay sun = sunDay(place.latitude, place.longitude, *place.zone, cells.localDate);
        out += "<TR><TD VALIGN=Top>";
        out += escapeMarkup(place.name);
        out += "</TD><TD>";
        out += cells.localTime;
        out += "</TD><TD>";
        out += cells.offset;
        out += "</TD><TD>";
        out += formatSunEvent(sun.sunrise, *place.zone, cells.localDate);
        out += "</TD><TD>";
        out += formatSunEvent(sun.sunset, *place.zone, cells.localDate);
        out += "</TD></TR>\n";
    }
    out += kTableEnd;
    out += kFooterStart;
    out += escapeMarkup(table.tzdataRelease());
    out += kDocumentEnd;
    return parts;
}

std::string renderPage(int land, Instant instant, const CityTable& table,
                       std::string_view identifier) {
    PageParts parts = renderPageParts(land, instant, table);
    std::string page = std::move(parts.head);
    page += identifier;
    page += parts.tail;
    return page;
}

bool isWellFormedIdentifier(std::string_view identifier) {
    if (identifier.size() < kMinIdentifierLength || identifier.size() > kMaxIdentifierLength) {
        return false;
    }
    for (const char c : identifier) {
        if (!isAsciiAlnum(c)) {
            return false;
        }
    }
    return true;
}

std::string newIdentifier() {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64{seed};
    }();
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string identifier(kNewIdentifierLength, ' ');
    for (char& c : identifier) {
        c = kAlphabet[pick(generator)];
    }
    return identifier;
}

}  // namespace zonarium
