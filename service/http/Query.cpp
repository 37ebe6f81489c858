#include "http/Query.h"

#include "model/CityTable.h"

#include <charconv>

namespace zonarium {

namespace {

constexpr std::string_view kPagePath = "/cgi-bin/wt.cgi";
constexpr std::string_view kHealthPath = "/healthz";

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsSpace && c == '+' ? ' ' : c);
    }
    return out;
}

PageQuery parsePageQuery(std::string_view target) {
    PageQuery query;
    const auto mark = target.find('?');
    const std::string path = percentDecode(target.substr(0, mark), false);
    if (path == kHealthPath) {
        query.status = PageQuery::Status::Health;
        return query;
    }
    if (path != kPagePath) {
        return query;
    }
    std::string_view rest =
        mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
    int lands = 0;
    std::string land;
    bool identifierSeen = false;
    while (!rest.empty()) {
        const auto end = rest.find('&');
        const std::string_view parameter = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        const auto equals = parameter.find('=');
        const std::string name = percentDecode(parameter.substr(0, equals), true);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : parameter.substr(equals + 1);
        if (name == "land") {
            ++lands;
            land = percentDecode(value, true);
        } else if (name == "ID" && !identifierSeen) {
            identifierSeen = true;
            query.identifier = percentDecode(value, true);
        }
    }
    if (lands != 1) {
        query.status = PageQuery::Status::LandMissing;
        return query;
    }
    if (land.empty() || land.find_first_not_of("0123456789") != std::string::npos) {
        query.status = PageQuery::Status::LandNotANumber;
        return query;
    }
    int number = 0;
    const auto [ptr, ec] = std::from_chars(land.data(), land.data() + land.size(), number);
    if (ec != std::errc() || number < kFirstLand || number > kLastLand) {
        query.status = PageQuery::Status::LandOutOfRange;
        return query;
    }
    query.status = PageQuery::Status::Page;
    query.land = number;
    return query;
}

}  // namespace zonarium
