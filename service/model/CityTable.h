#pragma once

#include "Countries.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zonarium {

class TimeZone;

// Lowest and highest country code the client sends as `land` (data/countries.tsv).
inline constexpr int kFirstLand = horalux::countries::kFirstCode;
inline constexpr int kLastLand = horalux::countries::kLastCode;

// Longest place name the loader accepts, bytes.
inline constexpr std::size_t kMaxPlaceNameBytes = 100;

// One listed city or town.
struct Place {
    // Name as ISO-8859-1 bytes, unescaped; unique within its country.
    std::string name;
    // Latitude in degrees, north positive, -90 to 90.
    double latitude = 0;
    // Longitude in degrees, east positive, -180 to 180.
    double longitude = 0;
    // The place's zone, e.g. that of "Asia/Kolkata"; never null in a loaded table, and owned
    // by the table.
    const TimeZone* zone = nullptr;
};

// Every place of every country, in file order (by name, case ignored, within a country).
class CityTable {
public:
    // Places of country `land`; empty for an unknown code or a country without places.
    const std::vector<Place>& places(int land) const;
    // Total number of places.
    std::size_t size() const;

    // Adds a place to country `land` (kFirstLand..kLastLand); the loader checks the rest.
    void add(int land, Place place);
    // Keeps `zone` for as long as the table (and its copies) live; returns it.
    const TimeZone* keep(std::shared_ptr<const TimeZone> zone);

    // Release of the tzdata the zones were resolved in, e.g. "2025b"; "unknown" when not
    // known. The loader sets it from the system tzdata.
    const std::string& tzdataRelease() const { return m_tzdataRelease; }
    void setTzdataRelease(std::string release) { m_tzdataRelease = std::move(release); }

private:
    // Places per country code, index 0 unused.
    std::array<std::vector<Place>, kLastLand + 1> m_places;
    // See tzdataRelease().
    std::string m_tzdataRelease = "unknown";
    // The zones of the places.
    std::vector<std::shared_ptr<const TimeZone>> m_zones;
};

// Outcome of loading a table: the table, or a message naming file, line and fault.
struct CityTableLoad {
    // The table; empty when `error` is set.
    CityTable table;
    // Empty on success, else e.g. "places.tsv:12: unknown time zone \"Mars/Base\"".
    std::string error;

    explicit operator bool() const { return error.empty(); }
};

// Parses the text of a places file: ISO-8859-1 bytes, LF lines, '#' comment lines and
// blank lines ignored, then LAND<TAB>NAME<TAB>LATITUDE<TAB>LONGITUDE<TAB>ZONE, and last the
// line "# end: N places" with N the number of places, so that a file cut short (at a line
// end, say, while being written) is told from a whole one.
// Rejects a text without that last line or whose count differs, one of no place, a malformed
// line, a code outside 1..236, a coordinate out of range, an empty name, one holding control
// bytes or one longer than kMaxPlaceNameBytes, a zone the zone database lacks or cannot give,
// a name repeated within a country. `sourceName` only labels the messages. Zones are read
// from `zoneDirectory` (default: zoneDirectory()), and the table's tzdata release is that
// directory's.
CityTableLoad parseCityTable(std::string_view text, std::string_view sourceName,
                             const std::string& zoneDirectory = {});

// Largest places file read.
inline constexpr std::size_t kMaxPlacesFileBytes = std::size_t{256} << 20;

// Reads and parses the file at `path`. Only a regular file is read, opened without blocking
// (a FIFO or device in its place is refused at once), and one larger than `maxBytes` is
// refused before reading. Zones as parseCityTable's.
CityTableLoad loadCityTable(const std::string& path, std::size_t maxBytes = kMaxPlacesFileBytes,
                            const std::string& zoneDirectory = {});

}  // namespace zonarium
