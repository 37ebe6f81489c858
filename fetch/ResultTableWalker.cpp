#include "fetch/ResultTableWalker.h"

#include <pugixml.hpp>

#include <algorithm>

#include "fetch/ResultRow.h"

namespace horalux {
namespace {

// Count of characters of the city text that reach the result line.
constexpr std::size_t kCityCut = kCityWidth;

// Appends the UTF-8 text `utf8` to `out` as ISO-8859-1 bytes, until `out` holds `limit`
// bytes; a character beyond U+00FF, and any malformed sequence, becomes '?'.
void appendLatin1(std::string_view utf8, std::string& out, std::size_t limit) {
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n && out.size() < limit) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        std::size_t length = 1;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
        }
        bool wellFormed = length > 1 && i + length <= n;
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            wellFormed = (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
        }
        if (!wellFormed) {
            out.push_back('?');
            ++i;
            continue;
        }
        if (length == 2 && lead <= 0xC3) {
            const auto trail = static_cast<unsigned char>(utf8[i + 1]);
            out.push_back(static_cast<char>(((lead & 0x1F) << 6) | (trail & 0x3F)));
        } else {
            out.push_back('?');
        }
        i += length;
    }
}

bool isText(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

// The first `limit` bytes of the text of `node` and of every node inside it, concatenated,
// as ISO-8859-1 bytes. An empty handle has empty text. Iterative, so any depth of nesting
// is safe.
std::string nodeText(pugi::xml_node node, std::size_t limit) {
    std::string text;
    if (isText(node)) {
        appendLatin1(node.value(), text, limit);
        return text;
    }
    pugi::xml_node cur = node.first_child();
    while (cur && text.size() < limit) {
        if (isText(cur)) {
            appendLatin1(cur.value(), text, limit);
        }
        if (pugi::xml_node child = cur.first_child()) {
            cur = child;
            continue;
        }
        while (cur != node && !cur.next_sibling()) {
            cur = cur.parent();
        }
        if (cur == node) {
            break;
        }
        cur = cur.next_sibling();
    }
    return text;
}

}  // namespace

struct ResultTableWalker::Impl {
    // The loaded document; empty when the text did not load.
    pugi::xml_document doc;
    // True when the text loaded without error.
    bool loaded = false;
    // The table; empty when there is none.
    pugi::xml_node root;
    // The table's child node to take next; empty when the walk is done.
    pugi::xml_node cursor;
    // Lines given so far.
    std::size_t lines = 0;
};

ResultTableWalker::ResultTableWalker(std::string_view xml) : m_impl(std::make_unique<Impl>()) {
    if (static_cast<std::size_t>(std::count(xml.begin(), xml.end(), '<')) > kMaxMarkup) {
        return;
    }
    const pugi::xml_parse_result result = m_impl->doc.load_buffer(
        xml.data(), xml.size(), pugi::parse_default | pugi::parse_declaration,
        pugi::encoding_latin1);
    m_impl->loaded = static_cast<bool>(result);
    if (!m_impl->loaded) {
        return;
    }
    m_impl->root = m_impl->doc.first_child().next_sibling();
    m_impl->cursor = m_impl->root.first_child().next_sibling();
}

ResultTableWalker::~ResultTableWalker() = default;
ResultTableWalker::ResultTableWalker(ResultTableWalker&&) noexcept = default;
ResultTableWalker& ResultTableWalker::operator=(ResultTableWalker&&) noexcept = default;

bool ResultTableWalker::loaded() const {
    return m_impl && m_impl->loaded;
}

bool ResultTableWalker::readable() const {
    return loaded() && m_impl->root;
}

ResultTableWalker::Step ResultTableWalker::step(std::string& line) {
    return walk(line, nullptr);
}

ResultTableWalker::Step ResultTableWalker::step(std::string& line, ResultCells& cells) {
    return walk(line, &cells);
}

ResultTableWalker::Step ResultTableWalker::walk(std::string& line, ResultCells* whole) {
    if (!m_impl || !m_impl->cursor || m_impl->lines == kMaxLines) {
        return Step::Done;
    }
    const pugi::xml_node node = m_impl->cursor;
    m_impl->cursor = node.next_sibling();
    if (node.type() != pugi::node_element || std::string_view(node.name()) != "TR") {
        return Step::Passed;
    }
    pugi::xml_node cells[5];
    pugi::xml_node cell = node.first_child();
    for (pugi::xml_node& slot : cells) {
        slot = cell;
        cell = cell.next_sibling();
    }
    if (whole == nullptr) {
        line = FormatResultRow(nodeText(cells[0], kCityCut), nodeText(cells[1], kMaxCellText),
                               nodeText(cells[3], kMaxCellText), nodeText(cells[4], kMaxCellText));
    } else {
        *whole = {nodeText(cells[0], kMaxCellText), nodeText(cells[1], kMaxCellText),
                  nodeText(cells[2], kMaxCellText), nodeText(cells[3], kMaxCellText),
                  nodeText(cells[4], kMaxCellText)};
        line = FormatResultRow(std::string_view(whole->place).substr(0, kCityCut), whole->localTime,
                               whole->sunrise, whole->sunset);
    }
    ++m_impl->lines;
    return Step::Line;
}

bool ResultTableWalker::next(std::string& line) {
    for (;;) {
        switch (step(line)) {
            case Step::Line:
                return true;
            case Step::Done:
                return false;
            case Step::Passed:
                break;
        }
    }
}

std::vector<std::string> ResultLines(std::string_view xml) {
    std::vector<std::string> lines;
    ResultTableWalker walker(xml);
    std::string line;
    while (walker.next(line)) {
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace horalux
