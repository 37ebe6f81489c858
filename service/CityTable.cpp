#include "CityTable.h"

#include "TzdataRelease.h"

#include <date/tz.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace zonarium {

const std::vector<Place>& CityTable::places(int land) const {
    static const std::vector<Place> none;
    if (land < kFirstLand || land > kLastLand) {
        return none;
    }
    return m_places[static_cast<std::size_t>(land)];
}

std::size_t CityTable::size() const {
    std::size_t total = 0;
    for (const auto& list : m_places) {
        total += list.size();
    }
    return total;
}

void CityTable::add(int land, Place place) {
    m_places.at(static_cast<std::size_t>(land)).push_back(std::move(place));
}

namespace {

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

bool parseInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool parseDouble(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(value);
}

// True when every byte may stand in a cell: no C0 control bytes and no DEL.
bool isPrintableLatin1(std::string_view text) {
    for (const unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

// Looks a zone up in the system tzdata; null when it is not there.
const date::time_zone* findZone(const std::string& name) {
    try {
        return date::locate_zone(name);
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace

CityTableLoad parseCityTable(std::string_view text, std::string_view sourceName) {
    CityTableLoad result;
    std::unordered_map<std::string, const date::time_zone*> zones;
    std::array<std::unordered_set<std::string>, kLastLand + 1> seen;
    int lineNumber = 0;
    const auto fail = [&](std::string_view message) {
        std::ostringstream out;
        out << sourceName << ':' << lineNumber << ": " << message;
        result.error = out.str();
        result.table = CityTable();
        return std::move(result);
    };

    while (!text.empty()) {
        ++lineNumber;
        const auto lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto fields = splitTabs(line);
        if (fields.size() != 5) {
            return fail("expected 5 tab-separated fields, found " + std::to_string(fields.size()));
        }
        int land = 0;
        if (!parseInt(fields[0], land) || land < kFirstLand || land > kLastLand) {
            return fail("country code \"" + std::string(fields[0]) + "\" is not 1..236");
        }
        Place place;
        place.name = std::string(fields[1]);
        if (place.name.empty() || !isPrintableLatin1(place.name)) {
            return fail("empty name or name with control characters");
        }
        if (!parseDouble(fields[2], place.latitude) || std::fabs(place.latitude) > 90) {
            return fail("latitude \"" + std::string(fields[2]) + "\" is not -90..90");
        }
        if (!parseDouble(fields[3], place.longitude) || std::fabs(place.longitude) > 180) {
            return fail("longitude \"" + std::string(fields[3]) + "\" is not -180..180");
        }
        place.zoneName = std::string(fields[4]);
        auto [zone, isNew] = zones.try_emplace(place.zoneName, nullptr);
        if (isNew) {
            zone->second = findZone(place.zoneName);
        }
        if (zone->second == nullptr) {
            return fail("unknown time zone \"" + place.zoneName + "\"");
        }
        place.zone = zone->second;
        if (!seen[static_cast<std::size_t>(land)].insert(place.name).second) {
            return fail("name \"" + place.name + "\" repeated in country " + std::to_string(land));
        }
        result.table.add(land, std::move(place));
    }
    result.table.setTzdataRelease(systemTzdataRelease());
    return result;
}

CityTableLoad loadCityTable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        CityTableLoad result;
        result.error = path + ": cannot open the places file";
        return result;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        CityTableLoad result;
        result.error = path + ": read error";
        return result;
    }
    return parseCityTable(content.str(), path);
}

}  // namespace zonarium
