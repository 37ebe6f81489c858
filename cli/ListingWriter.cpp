#include "cli/ListingWriter.h"

#include <array>
#include <cstdio>

#include "cli/TerminalText.h"

namespace horalux {
namespace {

constexpr std::array<const char*, 5> kColumns{"name", "local_time", "utc_offset", "sunrise",
                                              "sunset"};

std::array<std::string, 5> utf8Cells(const ResultCells& cells) {
    return {Latin1ToUtf8(cells.place), Latin1ToUtf8(cells.localTime), Latin1ToUtf8(cells.utcOffset),
            Latin1ToUtf8(cells.sunrise), Latin1ToUtf8(cells.sunset)};
}

// A TSV field cannot hold the tab that splits fields nor a line end: each becomes a space.
std::string TsvField(std::string field) {
    for (char& c : field) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return field;
}

}  // namespace

std::optional<ListingFormat> listingFormatNamed(std::string_view name) {
    if (name == "text") {
        return ListingFormat::Text;
    }
    if (name == "tsv") {
        return ListingFormat::Tsv;
    }
    if (name == "csv") {
        return ListingFormat::Csv;
    }
    if (name == "json") {
        return ListingFormat::Json;
    }
    return std::nullopt;
}

std::string CsvField(std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(utf8);
    }
    std::string quoted = "\"";
    for (const char c : utf8) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string ListingWriter::head(const ListingHead& head) const {
    std::string text;
    switch (m_format) {
        case ListingFormat::Tsv:
        case ListingFormat::Csv: {
            const char* separator = m_format == ListingFormat::Tsv ? "\t" : ",";
            for (std::size_t i = 0; i < kColumns.size(); ++i) {
                text += (i == 0 ? "" : separator) + std::string(kColumns[i]);
            }
            return text + (m_format == ListingFormat::Tsv ? "\n" : "\r\n");
        }
        case ListingFormat::Json: {
            text = "{\"country\":" + JsonString(head.country) +
                   ",\"code\":" + std::to_string(head.code) + ",\"iso\":[";
            for (std::size_t i = 0; i < head.iso.size(); ++i) {
                text += (i == 0 ? "" : ",") + JsonString(head.iso[i]);
            }
            text += "],\"tzdata\":";
            text +=
                head.tzdataRelease.empty() ? "null" : JsonString(Latin1ToUtf8(head.tzdataRelease));
            return text + ",\"places\":[\n";
        }
        case ListingFormat::Text:
            break;
    }
    return text;
}

std::string ListingWriter::row(const ResultCells& cells) {
    const std::array<std::string, 5> fields = utf8Cells(cells);
    std::string text;
    switch (m_format) {
        case ListingFormat::Tsv:
            for (std::size_t i = 0; i < fields.size(); ++i) {
                text += (i == 0 ? "" : "\t") + TsvField(fields[i]);
            }
            text += '\n';
            break;
        case ListingFormat::Csv:
            for (std::size_t i = 0; i < fields.size(); ++i) {
                text += (i == 0 ? "" : ",") + CsvField(fields[i]);
            }
            text += "\r\n";
            break;
        case ListingFormat::Json:
            text = m_rows == 0 ? "{" : ",\n{";
            for (std::size_t i = 0; i < fields.size(); ++i) {
                text += (i == 0 ? "\"" : ",\"") + std::string(kColumns[i]) +
                        "\":" + JsonString(fields[i]);
            }
            text += '}';
            break;
        case ListingFormat::Text:
            break;
    }
    ++m_rows;
    return text;
}

std::string ListingWriter::tail() const {
    if (m_format != ListingFormat::Json) {
        return {};
    }
    return m_rows == 0 ? "]}\n" : "\n]}\n";
}

}  // namespace horalux
