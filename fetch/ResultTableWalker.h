#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fetch/ResultRow.h"

namespace horalux {

// Walks the result table of an XML document text (as made by ToResultXml) one child node
// at a time and makes a result line, through FormatResultRow, for each row, so that the
// caller can let pending window events run between nodes.
//
// The table is the document's second top-level node (the first being the XML declaration).
// Its first child node, the heading row, is passed over; of the others, only elements
// named exactly "TR" give a line, from the texts of the row's child nodes 0 (city, cut to
// its first 25 characters), 1 (local time), 3 (sunrise) and 4 (sunset), each of the last
// three cut to kMaxCellText characters, up to kMaxLines lines. A missing cell reads as empty text.
// Whitespace-only text between elements is not a node. A text that does not load as XML, has more
// than kMaxMarkup '<' characters, or has no second top-level node, gives no lines. Texts are byte
// strings, one byte per ISO-8859-1 character; a character reference beyond that range reads as '?'.
// Cost is linear in the length of the text.
class ResultTableWalker {
public:
    // What one step of the walk did.
    enum class Step {
        Line,    // a "TR" row gave a line
        Passed,  // a node that is not a "TR" row was passed over
        Done     // no node is left
    };

    // Most '<' characters a loaded text may hold. The loaded document takes tens of bytes a
    // node, so a table of empty elements would otherwise take twenty times its size. The
    // largest real table, the USA's 16,500 rows at 12 '<' a row, holds about 200,000: this
    // leaves five times that.
    static constexpr std::size_t kMaxMarkup = std::size_t{1} << 20;
    // Most lines a walk gives: the rows of a real table of kMaxMarkup '<', so that a table
    // of empty rows, a '<' each, cannot fill the list with twelve times as many.
    static constexpr std::size_t kMaxLines = kMaxMarkup / 12;
    // Most characters of a time, sunrise or sunset text that reach a line: four times the
    // longest a real cell holds (28), so that one cell of megabytes cannot make a line
    // that takes the list seconds to lay out.
    static constexpr std::size_t kMaxCellText = 112;

    // Loads the document text, which is not needed afterwards; never throws for any input.
    explicit ResultTableWalker(std::string_view xml);
    ~ResultTableWalker();
    ResultTableWalker(ResultTableWalker&&) noexcept;
    ResultTableWalker& operator=(ResultTableWalker&&) noexcept;
    ResultTableWalker(const ResultTableWalker&) = delete;
    ResultTableWalker& operator=(const ResultTableWalker&) = delete;

    // True when the text loaded as a well-formed XML document.
    bool loaded() const;
    // True when it loaded and holds a table to walk: a second top-level node.
    bool readable() const;

    // Takes the next child node of the table. On Step::Line, `line` holds the result line;
    // otherwise `line` is left as it was. Done once kMaxLines lines have been given.
    Step step(std::string& line);
    // The same, and on Step::Line `cells` holds the row's cells 0 to 4, each cut to
    // kMaxCellText characters.
    Step step(std::string& line, ResultCells& cells);

    // Takes nodes up to and including the next "TR" row; false when none is left.
    bool next(std::string& line);

private:
    Step walk(std::string& line, ResultCells* cells);

    struct Impl;
    // The loaded document and the walk's position in it.
    std::unique_ptr<Impl> m_impl;
};

// Every result line of the XML document text, in document order (header line not included).
std::vector<std::string> ResultLines(std::string_view xml);

}  // namespace horalux
