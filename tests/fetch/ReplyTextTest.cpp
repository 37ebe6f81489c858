#include "fetch/ReplyText.h"

#include <gtest/gtest.h>

#include <string>

namespace horalux {
namespace {

const std::string kHeading = "<H3>Time information for selected cities and towns</H3>\n";
const std::string kLink = "<A HREF=\"/cgi-bin/wt.cgi?ID=";
const std::string kDecl = "<?xml version=\"1.0\"?>\r\n";

// The reply of the documented example: one table with its first row only.
const std::string kExampleReply = "xx" + kHeading + "<TABLE CELLPADDING=4>\n" +
                                  "<TR><TD VALIGN=Top>Alpha</TD><TD>Topaz</TD></TR>\n" +
                                  "</TABLE>\nyy";

// The documented example, character for character.
TEST(ReplyTextTest, WorkedExample) {
    const std::string table = CutResultTable(kExampleReply);
    EXPECT_EQ(table,
              "<TABLE CELLPADDING=4>\n<TR><TD VALIGN=Top>Alpha</TD><TD>Topaz</TD></TR>\n</TABLE>");
    EXPECT_EQ(ToResultXml(table), kDecl +
                                      "<TABLE CELLPADDING=\"4\">\n"
                                      "<TR><TD VALIGN=\"Top\">Alpha</TD><TD>Topaz</TD></TR>\n"
                                      "</TABLE>");
    EXPECT_EQ(ExtractServiceId("<HTML>" + kLink + "abc123&land=7\">x</A>"), "abc123");
    EXPECT_EQ(ExtractServiceId("<HTML>" + kLink + "&land=7\">x</A>"), "");
}

// Identifier: the link search ignores letter case, takes the first link, copies the
// identifier undecoded, and a page without the link gives no identifier.
TEST(ReplyTextTest, IdentifierSearch) {
    EXPECT_EQ(ExtractServiceId("<a href=\"/CGI-BIN/WT.CGI?id=q%20r&land=1"), "q%20r");
    EXPECT_EQ(ExtractServiceId(kLink + "first&land=1 " + kLink + "second&land=1"), "first");
    EXPECT_EQ(ExtractServiceId(kLink + "&x=1&land=1"), "");
    EXPECT_EQ(ExtractServiceId("<HTML><BODY>a page of more than 28 characters & more"), "");
    EXPECT_EQ(ExtractServiceId(""), "");
    EXPECT_EQ(ExtractServiceId(kLink), "");
}

// A link with no '&' after it carries no identifier, wherever it stands.
TEST(ReplyTextTest, IdentifierWithoutAmpersand) {
    const std::string tail(40, 'z');
    EXPECT_EQ(ExtractServiceId(kLink + tail), "");
    EXPECT_EQ(ExtractServiceId(std::string(27, '.') + kLink + tail), "");
    EXPECT_EQ(ExtractServiceId(std::string(28, '.') + kLink + tail), "");
    EXPECT_EQ(ExtractServiceId(kLink + "short"), "");
}

// An identifier longer than any the service hands out, by far, is not taken.
TEST(ReplyTextTest, OverlongIdentifier) {
    const std::string longest(kMaxServiceIdLength, 'i');
    EXPECT_EQ(ExtractServiceId(kLink + longest + "&land=1"), longest);
    EXPECT_EQ(ExtractServiceId(kLink + longest + "i&land=1"), "");
}

// Cut: first heading, first table end after it; a heading that differs in letter case or
// ends in CR LF, or a missing table end, gives no table.
TEST(ReplyTextTest, CutBoundaries) {
    EXPECT_EQ(
        CutResultTable("</TABLE>" + kHeading + "<TABLE>a</TABLE>b" + kHeading + "<TABLE>c</TABLE>"),
        "<TABLE>a</TABLE>");
    std::string crlf = kHeading;
    crlf.insert(crlf.size() - 1, "\r");
    EXPECT_EQ(CutResultTable(crlf + "<TABLE></TABLE>"), "");
    EXPECT_EQ(CutResultTable("<h3>Time information for selected cities and towns</h3>\n"
                             "<TABLE></TABLE>"),
              "");
    EXPECT_EQ(CutResultTable(kHeading + "<TABLE><TR></TR>"), "");
    EXPECT_EQ(CutResultTable(kHeading + "</table></TABLE>"), "</table></TABLE>");
    EXPECT_EQ(CutResultTable(kHeading + "</TABLE>"), "</TABLE>");
    EXPECT_EQ(CutResultTable(""), "");
}

// Conversion: an empty table still gives the declaration line.
TEST(ReplyTextTest, EmptyTableGivesDeclarationOnly) {
    EXPECT_EQ(ToResultXml(""), kDecl);
}

// Conversion: text between tags is never changed, whatever it holds.
TEST(ReplyTextTest, CellTextUnchanged) {
    const std::string table =
        "<TR><TD VALIGN=Top>Topeka</TD><TD>Top CELLPADDING=4 Top</TD><TD>a=Top</TD></TR>";
    EXPECT_EQ(ToResultXml(table),
              kDecl +
                  "<TR><TD VALIGN=\"Top\">Topeka</TD><TD>Top CELLPADDING=4 Top</TD>"
                  "<TD>a=Top</TD></TR>");
    EXPECT_EQ(ToResultXml("<!-- VALIGN=Top --><![CDATA[<TD VALIGN=Top>]]><?pi A=Top?>"),
              kDecl + "<!-- VALIGN=Top --><![CDATA[<TD VALIGN=Top>]]><?pi A=Top?>");
}

// Conversion: only unquoted values that are exactly Top, or the 4 of CELLPADDING, are
// quoted; space around '=' and an empty-element end are allowed.
TEST(ReplyTextTest, AttributeValuesQuoted) {
    EXPECT_EQ(ToResultXml("<TD ALIGN=Top VALIGN = Top NOWRAP>"),
              kDecl + "<TD ALIGN=\"Top\" VALIGN = \"Top\" NOWRAP>");
    EXPECT_EQ(ToResultXml("<TD VALIGN=Top/>"), kDecl + "<TD VALIGN=\"Top\"/>");
    EXPECT_EQ(ToResultXml("<TD VALIGN=\"Top\" B='Top'>"), kDecl + "<TD VALIGN=\"Top\" B='Top'>");
    EXPECT_EQ(ToResultXml("<TD VALIGN=Topaz A=xTop>"), kDecl + "<TD VALIGN=Topaz A=xTop>");
    EXPECT_EQ(ToResultXml("<TABLE CELLPADDING=40 WIDTH=4 XCELLPADDING=4>"),
              kDecl + "<TABLE CELLPADDING=40 WIDTH=4 XCELLPADDING=4>");
    EXPECT_EQ(ToResultXml("<Top></Top>"), kDecl + "<Top></Top>");
}

// Hostile text: unterminated markup is copied to the end, a stray '<' ends a tag.
TEST(ReplyTextTest, MalformedMarkupCopied) {
    EXPECT_EQ(ToResultXml("<TD VALIGN=Top"), kDecl + "<TD VALIGN=\"Top\"");
    EXPECT_EQ(ToResultXml("<TD A=\"x"), kDecl + "<TD A=\"x");
    EXPECT_EQ(ToResultXml("a < b <TD VALIGN=Top>"), kDecl + "a < b <TD VALIGN=\"Top\">");
    EXPECT_EQ(ToResultXml("<!-- x"), kDecl + "<!-- x");
    EXPECT_EQ(ToResultXml("<TD A=<TD B=Top>"), kDecl + "<TD A=<TD B=\"Top\">");
}

// The release after the table: references read, none without its end or past the bound.
TEST(ReplyTextTest, TzdataRelease) {
    EXPECT_EQ(TzdataRelease("</TABLE>\n<P>Time zone data: tzdata 2025b</P>\n"), "2025b");
    EXPECT_EQ(TzdataRelease("<P>Time zone data: tzdata 2099z&lt;&amp;&gt;</P>"), "2099z<&>");
    EXPECT_EQ(TzdataRelease("<P>Time zone data: tzdata 2025b"), "");
    EXPECT_EQ(TzdataRelease("<p>time zone data: tzdata 2025b</p>"), "");
    EXPECT_EQ(TzdataRelease("<P>Time zone data: tzdata " + std::string(65, 'x') + "</P>"), "");
}

}  // namespace
}  // namespace horalux
