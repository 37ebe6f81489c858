#include "fetch/ReplyText.h"

#include <algorithm>
#include <utility>

#include "platform/AsciiCase.h"

namespace horalux {
namespace {

// The start of the link back at the service, 28 characters.
constexpr std::string_view kLinkMarker = "<A HREF=\"/cgi-bin/wt.cgi?ID=";
// The heading line ahead of the result table, 56 characters.
constexpr std::string_view kHeadingMarker =
    "<H3>Time information for selected cities and towns</H3>\n";
// The end of the result table, 8 characters.
constexpr std::string_view kTableEnd = "</TABLE>";
// The first line of every XML text made here.
constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>\r\n";

// Offset of the first occurrence of `needle` in `text`, ignoring ASCII letter case; npos
// when there is none. Cost at most size(text) * size(needle) comparisons.
std::size_t findCaseless(std::string_view text, std::string_view needle) {
    const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Copies the start tag's markup from `pos` (just past its name) to just past its closing
// '>' (or to the end of the text) into `out`, quoting the unquoted values that need it.
// Returns the offset after what was copied.
std::size_t copyStartTagRest(std::string_view text, std::size_t pos, std::string& out) {
    const std::size_t n = text.size();
    while (pos < n) {
        const char c = text[pos];
        if (c == '<') {
            return pos;  // malformed: the tag ends where other markup starts
        }
        if (c == '>') {
            out.push_back(c);
            return pos + 1;
        }
        if (isSpace(c) || c == '/' || c == '=' || c == '"' || c == '\'') {
            // Separators, the '/' of "/>", and stray characters: copied as they are. A
            // stray quote opens a quoted run that is copied whole.
            if (c == '"' || c == '\'') {
                const std::size_t close = text.find(c, pos + 1);
                const std::size_t end = close == std::string_view::npos ? n : close + 1;
                out.append(text.substr(pos, end - pos));
                pos = end;
            } else {
                out.push_back(c);
                ++pos;
            }
            continue;
        }
        // An attribute name.
        std::size_t nameEnd = pos;
        while (nameEnd < n && !isSpace(text[nameEnd]) && text[nameEnd] != '=' &&
               text[nameEnd] != '>' && text[nameEnd] != '/' && text[nameEnd] != '<') {
            ++nameEnd;
        }
        const std::string_view name = text.substr(pos, nameEnd - pos);
        out.append(name);
        pos = nameEnd;
        std::size_t look = pos;
        while (look < n && isSpace(text[look])) {
            ++look;
        }
        if (look >= n || text[look] != '=') {
            continue;  // an attribute without a value
        }
        ++look;
        while (look < n && isSpace(text[look])) {
            ++look;
        }
        out.append(text.substr(pos, look - pos));  // the '=' with the space around it
        pos = look;
        if (pos >= n || text[pos] == '"' || text[pos] == '\'' || text[pos] == '>' ||
            text[pos] == '<') {
            continue;  // a quoted value, copied by the loop, or no value
        }
        // An unquoted value: up to white space, '>', '<' or "/>".
        std::size_t valueEnd = pos;
        while (valueEnd < n && !isSpace(text[valueEnd]) && text[valueEnd] != '>' &&
               text[valueEnd] != '<' &&
               !(text[valueEnd] == '/' && valueEnd + 1 < n && text[valueEnd + 1] == '>')) {
            ++valueEnd;
        }
        const std::string_view value = text.substr(pos, valueEnd - pos);
        if (value == "Top" || (name == "CELLPADDING" && value == "4")) {
            out.push_back('"');
            out.append(value);
            out.push_back('"');
        } else {
            out.append(value);
        }
        pos = valueEnd;
    }
    return pos;
}

// Offset just past the first `terminator` at or after `from`, or the end of the text.
std::size_t pastTerminator(std::string_view text, std::size_t from, std::string_view terminator) {
    const std::size_t at = text.find(terminator, from);
    return at == std::string_view::npos ? text.size() : at + terminator.size();
}

}  // namespace

std::string ExtractServiceId(std::string_view reply) {
    const std::size_t link = findCaseless(reply, kLinkMarker);
    if (link == std::string_view::npos) {
        return {};
    }
    const std::size_t idStart = link + kLinkMarker.size();
    // An identifier is ended by the '&' of the next query key; a link without one carries
    // no identifier, wherever it stands in the page.
    const std::size_t amp = reply.find('&', idStart);
    if (amp == std::string_view::npos || amp - idStart > kMaxServiceIdLength) {
        return {};
    }
    return std::string(reply.substr(idStart, amp - idStart));
}

std::string CutResultTable(std::string_view reply) {
    const std::size_t heading = reply.find(kHeadingMarker);
    if (heading == std::string_view::npos) {
        return {};
    }
    const std::size_t end = reply.find(kTableEnd, heading + kHeadingMarker.size());
    if (end == std::string_view::npos) {
        return {};
    }
    const std::size_t start = heading + kHeadingMarker.size();
    return std::string(reply.substr(start, end + kTableEnd.size() - start));
}

std::string ToResultXml(std::string_view table) {
    std::string out;
    // Each quoted value adds two characters; a typical table has one per row.
    out.reserve(kDeclaration.size() + table.size() + table.size() / 32 + 16);
    out.append(kDeclaration);
    const std::size_t n = table.size();
    std::size_t pos = 0;
    while (pos < n) {
        const std::size_t lt = table.find('<', pos);
        if (lt == std::string_view::npos) {
            out.append(table.substr(pos));
            break;
        }
        out.append(table.substr(pos, lt - pos));
        const std::string_view rest = table.substr(lt);
        std::size_t end = 0;
        if (rest.starts_with("<!--")) {
            end = pastTerminator(table, lt + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            end = pastTerminator(table, lt + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            end = pastTerminator(table, lt + 2, "?>");
        } else if (rest.starts_with("<!") || rest.starts_with("</")) {
            end = pastTerminator(table, lt + 2, ">");
        } else {
            // A start tag: its name, then its attributes.
            std::size_t nameEnd = lt + 1;
            while (nameEnd < n && !isSpace(table[nameEnd]) && table[nameEnd] != '>' &&
                   table[nameEnd] != '/' && table[nameEnd] != '<') {
                ++nameEnd;
            }
            out.append(table.substr(lt, nameEnd - lt));
            pos = copyStartTagRest(table, nameEnd, out);
            continue;
        }
        out.append(table.substr(lt, end - lt));
        pos = end;
    }
    return out;
}

std::string TzdataRelease(std::string_view reply) {
    constexpr std::string_view kStart = "<P>Time zone data: tzdata ";
    const std::size_t start = reply.find(kStart);
    if (start == std::string_view::npos) {
        return {};
    }
    std::string_view rest = reply.substr(start + kStart.size());
    const std::size_t end = rest.find("</P>");
    if (end == std::string_view::npos) {
        return {};
    }
    rest = rest.substr(0, end);
    std::string release;
    while (!rest.empty() && release.size() <= kMaxTzdataRelease) {
        bool replaced = false;
        static constexpr std::pair<std::string_view, char> kReferences[] = {
            {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}};
        for (const auto& [reference, character] : kReferences) {
            if (rest.starts_with(reference)) {
                release += character;
                rest.remove_prefix(reference.size());
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            release += rest.front();
            rest.remove_prefix(1);
        }
    }
    return release.size() > kMaxTzdataRelease ? std::string() : release;
}

}  // namespace horalux
