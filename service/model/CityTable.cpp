#include "model/CityTable.h"

#include "model/RegularFile.h"
#include "model/SafeText.h"
#include "model/TimeZone.h"
#include "model/TzdataRelease.h"

#include <charconv>
#include <cmath>
#include <optional>
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

const TimeZone* CityTable::keep(std::shared_ptr<const TimeZone> zone) {
    m_zones.push_back(std::move(zone));
    return m_zones.back().get();
}

namespace {

// Splits `line` at its tabs into `fields`; returns how many fields it has, counting those
// beyond the array.
std::size_t splitTabs(std::string_view line, std::array<std::string_view, 5>& fields) {
    std::size_t count = 0;
    for (;;) {
        const auto tab = line.find('\t');
        if (count < fields.size()) {
            fields[count] = line.substr(0, tab);
        }
        ++count;
        if (tab == std::string_view::npos) {
            return count;
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

// Longest part of a field quoted in a message.
constexpr std::size_t kQuotedFieldBytes = 40;

// `field` quoted for a message: at most kQuotedFieldBytes of it, made safe for a terminal.
std::string quoted(std::string_view field) {
    const std::string_view shown = field.substr(0, kQuotedFieldBytes);
    return "\"" + safeText(shown, shown.size()) + (field.size() > shown.size() ? "\"..." : "\"");
}

constexpr std::string_view kEndLineStart = "# end: ";
constexpr std::string_view kEndLineEnd = " places";

// The count the text's last line states, "# end: N places" ended by LF; none when the text
// does not end with such a line.
std::optional<std::size_t> statedCount(std::string_view text) {
    if (text.empty() || text.back() != '\n') {
        return std::nullopt;
    }
    text.remove_suffix(1);
    std::string_view line = text.substr(text.rfind('\n') + 1);
    if (!line.starts_with(kEndLineStart) || !line.ends_with(kEndLineEnd)) {
        return std::nullopt;
    }
    line =
        line.substr(kEndLineStart.size(), line.size() - kEndLineStart.size() - kEndLineEnd.size());
    std::size_t count = 0;
    const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), count);
    if (line.empty() || ec != std::errc() || ptr != line.data() + line.size()) {
        return std::nullopt;
    }
    return count;
}

}  // namespace

CityTableLoad parseCityTable(std::string_view text, std::string_view sourceName,
                             const std::string& zoneDirectory) {
    const std::string directory = zoneDirectory.empty() ? zonarium::zoneDirectory() : zoneDirectory;
    CityTableLoad result;
    const std::optional<std::size_t> stated = statedCount(text);
    if (!stated) {
        result.error = std::string(sourceName) + ": cut short: its last line is not \"" +
                       std::string(kEndLineStart) + "N" + std::string(kEndLineEnd) + "\"";
        return result;
    }
    if (*stated == 0) {
        result.error = std::string(sourceName) + ": no places";
        return result;
    }
    // Keys point into `text`: each distinct zone is read once, each name copied once.
    std::unordered_map<std::string_view, const TimeZone*> zones;
    std::array<std::unordered_set<std::string_view>, kLastLand + 1> seen;
    int lineNumber = 0;
    const auto fail = [&](std::string_view message) {
        std::ostringstream out;
        out << sourceName << ':' << lineNumber << ": " << message;
        result.error = out.str();
        result.table = CityTable();
        return std::move(result);
    };

    std::array<std::string_view, 5> fields;
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
        const std::size_t count = splitTabs(line, fields);
        if (count != fields.size()) {
            return fail("expected 5 tab-separated fields, found " + std::to_string(count));
        }
        int land = 0;
        if (!parseInt(fields[0], land) || land < kFirstLand || land > kLastLand) {
            return fail("country code " + quoted(fields[0]) + " is not 1..236");
        }
        const std::string_view name = fields[1];
        if (name.empty() || !isPrintableLatin1(name)) {
            return fail("empty name or name with control characters");
        }
        if (name.size() > kMaxPlaceNameBytes) {
            return fail("name longer than " + std::to_string(kMaxPlaceNameBytes) + " bytes");
        }
        Place place;
        if (!parseDouble(fields[2], place.latitude) || std::fabs(place.latitude) > 90) {
            return fail("latitude " + quoted(fields[2]) + " is not -90..90");
        }
        if (!parseDouble(fields[3], place.longitude) || std::fabs(place.longitude) > 180) {
            return fail("longitude " + quoted(fields[3]) + " is not -180..180");
        }
        auto [zone, isNew] = zones.try_emplace(fields[4], nullptr);
        if (isNew) {
            ZoneError why = ZoneError::None;
            auto read = loadTimeZone(directory, fields[4], why);
            if (!read) {
                const std::string because(to_string(why));
                return fail(why == ZoneError::UnknownZone ? because + " " + quoted(fields[4])
                                                          : quoted(fields[4]) + ": " + because);
            }
            zone->second = result.table.keep(std::move(read));
        }
        place.zone = zone->second;
        if (!seen[static_cast<std::size_t>(land)].insert(name).second) {
            return fail("name " + quoted(name) + " repeated in country " + std::to_string(land));
        }
        place.name = std::string(name);
        result.table.add(land, std::move(place));
    }
    if (result.table.size() != *stated) {
        result.error = std::string(sourceName) + ": holds " + std::to_string(result.table.size()) +
                       " places, its last line says " + std::to_string(*stated);
        result.table = CityTable();
        return result;
    }
    result.table.setTzdataRelease(readTzdataRelease(directory));
    return result;
}

CityTableLoad loadCityTable(const std::string& path, std::size_t maxBytes,
                            const std::string& zoneDirectory) {
    FileRead file = readRegularFile(path, maxBytes);
    if (!file) {
        CityTableLoad result;
        switch (file.error) {
            case FileError::CannotOpen:
                result.error = path + ": cannot open the places file";
                break;
            case FileError::TooLarge:
                result.error =
                    path + ": places file larger than " + std::to_string(maxBytes >> 20) + " MiB";
                break;
            default:
                result.error = path + ": " + std::string(to_string(file.error));
                break;
        }
        return result;
    }
    return parseCityTable(file.bytes, path, zoneDirectory);
}

}  // namespace zonarium
