#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fetch/ResultRow.h"

namespace horalux {

// How horalux-cli writes a listing.
enum class ListingFormat {
    Text,  // the window's fixed-width lines, in the terminal's character set
    Tsv,   // a header line, then one line per place, fields split by tabs
    Csv,   // the same as comma-separated values with CR LF line ends and quoting
    Json   // one object holding every place
};

// The format named `name` (text, tsv, csv, json); nothing for another name.
std::optional<ListingFormat> listingFormatNamed(std::string_view name);

// What a machine-readable listing says of the country as a whole.
struct ListingHead {
    // Name as the country list shows it.
    std::string country;
    // The land= code sent for it.
    std::int32_t code = 0;
    // ISO 3166-1 alpha-2 codes whose places it lists.
    std::vector<std::string> iso;
    // The tzdata release the page names, ISO-8859-1; empty when it names none.
    std::string tzdataRelease;
};

// The texts of a tsv, csv or json listing, UTF-8 whatever the cells' ISO-8859-1 bytes, each
// cell whole. head() comes first, then row() for each place, then tail(); together they make
// one document. Column and key names: name, local_time, utc_offset, sunrise, sunset.
class ListingWriter {
public:
    // `format` is not Text.
    explicit ListingWriter(ListingFormat format) : m_format(format) {}

    std::string head(const ListingHead& head) const;
    std::string row(const ResultCells& cells);
    std::string tail() const;

private:
    ListingFormat m_format;
    // Rows written so far.
    std::size_t m_rows = 0;
};

// A field of a CSV record (RFC 4180): as it is, or between double quotes with its own
// doubled where it holds a comma, a double quote, CR or LF.
std::string CsvField(std::string_view utf8);

// A JSON string literal of UTF-8 text, quotes included.
std::string JsonString(std::string_view utf8);

}  // namespace horalux
