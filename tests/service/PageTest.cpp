#include "model/CountryPage.h"
#include "model/Page.h"

#include "TestSupport.h"
#include "model/TzdataRelease.h"

#include <gtest/gtest.h>

#include <set>

namespace zonarium {
namespace {

using test::at;

// India at 2026-12-07 04:45:00Z (10:15 IST), the whole page byte for byte.
TEST(PageTest, IndiaPageBytes) {
    const std::string page =
        renderPage(76, at("2026-12-07T04:45:00Z"), test::fixtureTable(), "Abc123xyZ");
    const std::string expected =
        std::string(
            "<HTML><HEAD><TITLE>Zonarium time information</TITLE></HEAD><BODY>\n"
            "<A HREF=\"/cgi-bin/wt.cgi?ID=Abc123xyZ&land=76\">Refresh</A>\n"
            "<H3>Time information for selected cities and towns</H3>\n"
            "<TABLE CELLPADDING=4>\n"
            "<TR><TH>City/Town</TH><TH>Local time</TH><TH>UTC offset</TH><TH>Sunrise</TH>"
            "<TH>Sunset</TH></TR>\n"
            "<TR><TD VALIGN=Top>Agra</TD><TD>Mon 07 Dec 2026 10:15 IST</TD><TD>UTC+05:30</TD>"
            "<TD>06:54</TD><TD>17:24</TD></TR>\n"
            "<TR><TD VALIGN=Top>Delhi</TD><TD>Mon 07 Dec 2026 10:15 IST</TD><TD>UTC+05:30</TD>"
            "<TD>07:01</TD><TD>17:24</TD></TR>\n"
            "<TR><TD VALIGN=Top>M\xFCnster &amp; &lt;Sons&gt;</TD><TD>Mon 07 Dec 2026 10:15 "
            "IST</TD>"
            "<TD>UTC+05:30</TD><TD>06:59</TD><TD>18:01</TD></TR>\n"
            "</TABLE>\n"
            "<P>Time zone data: tzdata ") +
        test::fixtureTable().tzdataRelease() +
        "</P>\n"
        "</BODY></HTML>\n";
    EXPECT_EQ(page, expected);
    test::expectClientListsPlaces(page, test::fixtureTable(), 76, at("2026-12-07T04:45:00Z"));
    EXPECT_EQ(test::clientView(page).serviceId, "Abc123xyZ");
}

// The page depends on the instant only to the minute (2026-12-07 04:45:00Z..04:45:59Z).
TEST(PageTest, SameBytesWithinAMinute) {
    const CityTable& table = test::fixtureTable();
    const PageParts first = renderPageParts(224, at("2026-12-07T04:45:00Z"), table);
    const PageParts last = renderPageParts(224, at("2026-12-07T04:45:59Z"), table);
    const PageParts next = renderPageParts(224, at("2026-12-07T04:46:00Z"), table);
    EXPECT_EQ(first.head, last.head);
    EXPECT_EQ(first.tail, last.tail);
    EXPECT_NE(first.tail, next.tail);
}

// The client's own reply functions list every fixture country, also where a name holds
// & < > or the letters "Top"; the cells keep the widths the client lists.
TEST(PageTest, ClientListsEveryFixturePage) {
    const CityTable& table = test::fixtureTable();
    for (const char* instant : {"2026-12-07T04:45:00Z", "2026-06-21T12:00:00Z"}) {
        for (int land = kFirstLand; land <= kLastLand; ++land) {
            if (table.places(land).empty()) {
                continue;
            }
            const std::string page = renderPage(land, at(instant), table, "Abc123xyZ");
            test::expectClientListsPlaces(page, table, land, at(instant));
        }
    }
    const auto usa =
        test::clientView(renderPage(224, at("2026-12-07T04:45:00Z"), table, "Abc123xyZ"));
    ASSERT_EQ(usa.lines.size(), 3u);
    EXPECT_TRUE(usa.lines[2].starts_with("Topeka ")) << usa.lines[2];
    const auto india =
        test::clientView(renderPage(76, at("2026-12-07T04:45:00Z"), table, "Abc123xyZ"));
    ASSERT_EQ(india.lines.size(), 3u);
    EXPECT_TRUE(india.lines[2].starts_with("M\xFCnster & <Sons>")) << india.lines[2];
}

// The strict scan finds what the client's XML loader lets pass.
TEST(PageTest, TableTextScan) {
    EXPECT_EQ(test::tableTextFault("<TD>A &amp; B &lt;&gt;&quot;&apos;</TD>\n"), "");
    EXPECT_NE(test::tableTextFault("<TD>A & B</TD>"), "");
    EXPECT_NE(test::tableTextFault("<TD>A &amp B</TD>"), "");
    EXPECT_NE(test::tableTextFault("<TD>A\tB</TD>"), "");
    EXPECT_NE(test::tableTextFault("<TD>A</TD>\r\n"), "");
}

TEST(PageTest, EscapesOnlyTheThreeMarkupCharacters) {
    EXPECT_EQ(escapeMarkup("A&B <C> \"D\" 'E' \xE9"), "A&amp;B &lt;C&gt; \"D\" 'E' \xE9");
    EXPECT_EQ(escapeMarkup("&amp;"), "&amp;amp;");
}

// A country without places still gets the heading and a table with its header row.
TEST(PageTest, CountryWithoutPlacesHasHeaderRowOnly) {
    const std::string page = renderPage(1, at("2026-12-07T04:45:00Z"), test::fixtureTable(), "x");
    EXPECT_NE(page.find("<A HREF=\"/cgi-bin/wt.cgi?ID=x&land=1\">"), std::string::npos);
    EXPECT_NE(page.find("<TH>Sunset</TH></TR>\n</TABLE>\n"), std::string::npos);
}

// The footer after the table names the table's tzdata release, escaped; nothing from the
// heading to </TABLE> depends on it. The loaded fixture carries the system's release.
TEST(PageTest, FooterNamesTzdataRelease) {
    CityTable table = test::fixtureTable();
    EXPECT_EQ(table.tzdataRelease(), systemTzdataRelease());
    const Instant now = at("2026-12-07T04:45:00Z");
    const std::string before = renderPage(76, now, table, "Abc123xyZ");
    table.setTzdataRelease("2099z<&>");
    const std::string page = renderPage(76, now, table, "Abc123xyZ");
    EXPECT_TRUE(page.ends_with(
        "</TR>\n</TABLE>\n<P>Time zone data: tzdata 2099z&lt;&amp;&gt;</P>\n</BODY></HTML>\n"));
    const auto tableEnd = [](const std::string& text) { return text.find("</TABLE>\n") + 9; };
    EXPECT_EQ(page.substr(0, tableEnd(page)), before.substr(0, tableEnd(before)));
    test::expectClientListsPlaces(page, table, 76, now);
}

TEST(PageTest, IdentifierForm) {
    EXPECT_FALSE(isWellFormedIdentifier(""));
    EXPECT_FALSE(isWellFormedIdentifier("abcdefg"));
    EXPECT_TRUE(isWellFormedIdentifier("abcdefgh"));
    EXPECT_TRUE(isWellFormedIdentifier(std::string(32, 'Z')));
    EXPECT_FALSE(isWellFormedIdentifier(std::string(33, 'Z')));
    EXPECT_FALSE(isWellFormedIdentifier("abcd-efgh"));
    EXPECT_FALSE(isWellFormedIdentifier("abcd efgh"));
    EXPECT_FALSE(isWellFormedIdentifier("abcd&land=7"));
    EXPECT_FALSE(isWellFormedIdentifier("abcdefg\xE9"));

    std::set<std::string> made;
    for (int i = 0; i < 100; ++i) {
        const std::string identifier = newIdentifier();
        EXPECT_TRUE(isWellFormedIdentifier(identifier)) << identifier;
        made.insert(identifier);
    }
    EXPECT_EQ(made.size(), 100u);
}

}  // namespace
}  // namespace zonarium
