#pragma once

#include <string>
#include <string_view>

namespace zonarium {

// What a request target asks of the page path /cgi-bin/wt.cgi, or of the health path.
struct PageQuery {
    enum class Status {
        // The health path /healthz, whatever its query: is the service able to make pages?
        Health,
        // The page of `land`, with `identifier` as sent (not yet checked).
        Page,
        // The path is not the page's: 404.
        NoSuchPath,
        // No `land` parameter, or more than one: 400.
        LandMissing,
        // The `land` value is not a decimal number: 400.
        LandNotANumber,
        // A decimal `land` outside 1..kLastLand: 404.
        LandOutOfRange,
    };
    Status status = Status::NoSuchPath;
    // Country code, kFirstLand..kLastLand when status is Page; 0 otherwise.
    int land = 0;
    // The decoded value of the first `ID` parameter; empty when there is none.
    std::string identifier;
};

// Parses an origin-form target "PATH[?QUERY]". The path is compared after percent-decoding,
// case-sensitively. Query parameters are split on '&', names and values percent-decoded
// with '+' read as a space; a parameter without '=' has an empty value.
PageQuery parsePageQuery(std::string_view target);

// `text` with every %XX (two hex digits) replaced by its byte and, when `plusIsSpace`, every
// '+' by a space. A '%' not followed by two hex digits stays as it is.
std::string percentDecode(std::string_view text, bool plusIsSpace);

}  // namespace zonarium
