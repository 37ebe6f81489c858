#include "fetch/ResultTableWalker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch/ReplyText.h"
#include "fetch/ResultRow.h"

namespace horalux {
namespace {

const std::string kHeadRow =
    "<TR><TH>City/Town</TH><TH>Local time</TH><TH>UTC offset</TH><TH>Sunrise</TH>"
    "<TH>Sunset</TH></TR>\n";

std::string row(const std::string& city, const std::string& time, const std::string& rise,
                const std::string& set) {
    return "<TR><TD VALIGN=Top>" + city + "</TD><TD>" + time + "</TD><TD>UTC+05:30</TD><TD>" +
           rise + "</TD><TD>" + set + "</TD></TR>\n";
}

// A service page holding the given rows after the heading row.
std::string page(const std::string& rows) {
    return "<HTML><A HREF=\"/cgi-bin/wt.cgi?ID=S1&land=76\">x</A>\n"
           "<H3>Time information for selected cities and towns</H3>\n"
           "<TABLE CELLPADDING=4>\n" +
           kHeadRow + rows + "</TABLE>\n</HTML>\n";
}

// The lines that a service page gives through cut, conversion and walk.
std::vector<std::string> linesOfPage(const std::string& reply) {
    return ResultLines(ToResultXml(CutResultTable(reply)));
}

// A page through all steps: every row but the heading row, in order, to the character;
// a city that starts with "Top" comes through unchanged.
TEST(ResultTableWalkerTest, PageToLines) {
    const std::string reply = page(row("Agra", "Mon 07 Dec 2026 10:15 IST", "06:58", "17:31") +
                                   row("Topeka", "Sun 06 Dec 2026 22:45 CST", "07:29", "17:04"));
    EXPECT_EQ(ExtractServiceId(reply), "S1");
    const std::vector<std::string> expected = {
        "Agra" + std::string(21, ' ') + "Mon 07 Dec 2026 10:15 IST   06:58     17:31",
        "Topeka" + std::string(19, ' ') + "Sun 06 Dec 2026 22:45 CST   07:29     17:04",
    };
    EXPECT_EQ(linesOfPage(reply), expected);
}

// The table's first child node is passed over, whatever it is; a table with only that row,
// an empty table text and a text that is not XML all give no lines.
TEST(ResultTableWalkerTest, NoLines) {
    EXPECT_TRUE(linesOfPage(page("")).empty());
    EXPECT_TRUE(ResultLines(ToResultXml("<TABLE>" + row("A", "B", "C", "D") + "</TABLE>")).empty());

    ResultTableWalker empty(ToResultXml(""));
    std::string line = "unchanged";
    EXPECT_FALSE(empty.next(line));
    EXPECT_EQ(line, "unchanged");

    ResultTableWalker broken(ToResultXml("<TABLE>\n" + kHeadRow + row("A", "B", "C", "D") +
                                         "<TR><TD WIDTH=9>x</TD></TR></TABLE>"));
    EXPECT_FALSE(broken.loaded());
    EXPECT_FALSE(broken.next(line));
    EXPECT_TRUE(ResultLines("").empty());
    EXPECT_TRUE(ResultLines("<TABLE><TR>").empty());

    // A flood of empty elements is not loaded at all, rather than taking many times its size.
    std::string flood;
    for (std::size_t i = 0; i < ResultTableWalker::kMaxMarkup; ++i) {
        flood += "<B/>";
    }
    ResultTableWalker tooMuch(
        ToResultXml("<TABLE>\n" + kHeadRow + "<TR><TD>" + flood + "</TD></TR></TABLE>"));
    EXPECT_FALSE(tooMuch.loaded());
}

// A table half again as long as the largest country's is listed whole, while a table of
// empty rows, which holds twelve times as many rows for its markup, is listed only up to
// the lines a real table of that markup holds.
TEST(ResultTableWalkerTest, LargeTablesAndTheLineBound) {
    std::string rows;
    for (int i = 0; i < 25000; ++i) {
        rows += row("Town " + std::to_string(i), "Mon 07 Dec 2026 10:15 CST", "06:58", "17:31");
    }
    const std::vector<std::string> lines = linesOfPage(page(rows));
    ASSERT_EQ(lines.size(), 25000U);
    EXPECT_EQ(lines.back().substr(0, 10), "Town 24999");

    std::string empty;
    for (std::size_t i = 0; i < ResultTableWalker::kMaxLines + 10; ++i) {
        empty += "<TR/>";
    }
    EXPECT_EQ(linesOfPage(page(empty)).size(), ResultTableWalker::kMaxLines);
}

// Only elements named exactly "TR" give a line; each node is one step, so the caller can
// let events run between them.
TEST(ResultTableWalkerTest, StepsOverOtherNodes) {
    ResultTableWalker walker(ToResultXml("<TABLE>" + kHeadRow + "<tr><TD>lower</TD></tr>" +
                                         "text<TBODY/>" + row("Agra", "T", "R", "S") + "</TABLE>"));
    ASSERT_TRUE(walker.loaded());
    std::string line;
    EXPECT_EQ(walker.step(line), ResultTableWalker::Step::Passed);  // tr
    EXPECT_EQ(walker.step(line), ResultTableWalker::Step::Passed);  // text
    EXPECT_EQ(walker.step(line), ResultTableWalker::Step::Passed);  // TBODY
    EXPECT_EQ(walker.step(line), ResultTableWalker::Step::Line);
    EXPECT_EQ(line, FormatResultRow("Agra", "T", "R", "S"));
    EXPECT_EQ(walker.step(line), ResultTableWalker::Step::Done);
    EXPECT_EQ(walker.step(line), ResultTableWalker::Step::Done);
}

// Column widths: a city cut to 25, a 25-character city, a 28- and a 29-character local
// time; every row is listed.
TEST(ResultTableWalkerTest, Widths) {
    const std::string city30 = "Abcdefghijklmnopqrstuvwxyz1234";
    const std::string city25(25, 'c');
    const std::string time28(28, 't');
    const std::string time29(29, 'u');
    const std::vector<std::string> lines =
        linesOfPage(page(row(city30, "T", "R", "S") + row(city25, time28, "0123456789", "S") +
                         row("A", time29, "R", "S")));
    const std::vector<std::string> expected = {
        city30.substr(0, 25) + "T" + std::string(27, ' ') + "R" + std::string(9, ' ') + "S",
        city25 + time28 + "0123456789S",
        "A" + std::string(24, ' ') + time29 + "R" + std::string(9, ' ') + "S",
    };
    EXPECT_EQ(lines, expected);
}

// A cell of any length gives at most kMaxCellText characters of the line, also when its
// text is split over nested elements.
TEST(ResultTableWalkerTest, OverlongCellsAreCut) {
    const std::size_t cut = ResultTableWalker::kMaxCellText;
    const std::string longText(100000, 't');
    const std::string half(cut / 2 + 1, 'r');
    const std::vector<std::string> lines =
        linesOfPage(page(row("A", longText, "<B>" + half + "</B><I>" + half + "</I>", "S")));
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0],
              FormatResultRow("A", longText.substr(0, cut), (half + half).substr(0, cut), "S"));
}

// Short rows read their missing cells as empty text; cell 2 is never read; cells beyond
// the fifth are ignored.
TEST(ResultTableWalkerTest, ShortAndLongRows) {
    const std::vector<std::string> lines = ResultLines(ToResultXml(
        "<TABLE>" + kHeadRow +
        "<TR><TD>One</TD></TR><TR></TR><TR><TD>C</TD><TD>T</TD><TD>X</TD><TD>R</TD></TR>"
        "<TR><TD>C</TD><TD>T</TD><TD>X</TD><TD>R</TD><TD>S</TD><TD>Z</TD></TR></TABLE>"));
    const std::vector<std::string> expected = {
        FormatResultRow("One", "", "", ""),
        FormatResultRow("", "", "", ""),
        FormatResultRow("C", "T", "R", ""),
        FormatResultRow("C", "T", "R", "S"),
    };
    EXPECT_EQ(lines, expected);
}

// Cell text: everything inside the cell, entities and character references resolved,
// ISO-8859-1 bytes kept as they are; whitespace-only text between cells is not a cell.
TEST(ResultTableWalkerTest, CellText) {
    const std::vector<std::string> lines = ResultLines(
        ToResultXml("<TABLE>\n" + kHeadRow +
                    "<TR>\n  <TD><B>Ag</B>r<I>a<![CDATA[<&>]]></I></TD>\n <TD>A &amp; B &lt;</TD>"
                    "<TD/><TD>Z\xFCrich &#252;</TD><TD>&#8364;1</TD></TR></TABLE>"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], FormatResultRow("Agra<&>", "A & B <", "Z\xFCrich \xFC", "?1"));
}

// Deep nesting inside a cell is read without recursion.
TEST(ResultTableWalkerTest, DeepNesting) {
    constexpr int kDepth = 100000;
    std::string cell;
    for (int i = 0; i < kDepth; ++i) {
        cell += "<B>";
    }
    cell += "deep";
    for (int i = 0; i < kDepth; ++i) {
        cell += "</B>";
    }
    const std::vector<std::string> lines =
        ResultLines(ToResultXml("<TABLE>" + kHeadRow + "<TR><TD>" + cell + "</TD></TR></TABLE>"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], FormatResultRow("deep", "", "", ""));
}

}  // namespace
}  // namespace horalux
