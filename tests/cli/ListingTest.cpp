#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FakeInternet.h"
#include "cli/CliArguments.h"
#include "cli/HoraluxCli.h"
#include "cli/ListingWriter.h"

namespace horalux {
namespace {

// Cells as the page gives them, ISO-8859-1: a name with a comma, a quote and an accent.
const ResultCells kCells{"K\xF6ln, \"Altstadt\"", "Thu 10 Dec 2026 13:42 CET", "UTC+01:00", "08:22",
                         "16:28"};

// CSV: a header, the fields that need it quoted with their quotes doubled, CR LF ends, UTF-8.
// TSV: a tab inside a field would split it and becomes a space.
TEST(ListingTest, CsvAndTsvRows) {
    ListingWriter csv(ListingFormat::Csv);
    EXPECT_EQ(csv.head({}), "name,local_time,utc_offset,sunrise,sunset\r\n");
    EXPECT_EQ(
        csv.row(kCells),
        "\"K\xC3\xB6ln, \"\"Altstadt\"\"\",Thu 10 Dec 2026 13:42 CET,UTC+01:00,08:22,16:28\r\n");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    ListingWriter tsv(ListingFormat::Tsv);
    EXPECT_EQ(tsv.head({}), "name\tlocal_time\tutc_offset\tsunrise\tsunset\n");
    EXPECT_EQ(tsv.row({"a\tb", "t", "o", "r", "s"}), "a b\tt\to\tr\ts\n");
}

// JSON: one object with the country, its codes, the release (null when the page names
// none) and the places; strings escaped, whatever the bytes.
TEST(ListingTest, JsonDocument) {
    ListingWriter json(ListingFormat::Json);
    std::string text = json.head({"Finland", 53, {"FI", "AX"}, "2025b"});
    text += json.row(kCells);
    text += json.row({"Back\\slash\x01", "", "", "", ""});
    text += json.tail();
    EXPECT_EQ(text,
              "{\"country\":\"Finland\",\"code\":53,\"iso\":[\"FI\",\"AX\"],\"tzdata\":\"2025b\","
              "\"places\":[\n"
              "{\"name\":\"K\xC3\xB6ln, \\\"Altstadt\\\"\",\"local_time\":\"Thu 10 Dec 2026 13:42 "
              "CET\",\"utc_offset\":\"UTC+01:00\",\"sunrise\":\"08:22\",\"sunset\":\"16:28\"},\n"
              "{\"name\":\"Back\\\\slash\\u0001\",\"local_time\":\"\",\"utc_offset\":\"\","
              "\"sunrise\":\"\",\"sunset\":\"\"}\n]}\n");
    ListingWriter empty(ListingFormat::Json);
    EXPECT_EQ(empty.head({"X", 1, {}, ""}) + empty.tail(),
              "{\"country\":\"X\",\"code\":1,\"iso\":[],\"tzdata\":null,\"places\":[\n]}\n");
}

// What a run writes: captured standard output and error.
struct CliOutput {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readBack(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

CliOutput runWith(const std::string& body, ListingFormat format) {
    test::FakeInternet internet;
    test::FakeInternet::Reply reply;
    reply.body = body;
    internet.replies.push_back(reply);
    CliRequest request;
    request.entry = 96;  // India
    request.format = format;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    CliOutput run;
    run.exitCode = runCli(request, internet, out, err);
    run.out = readBack(out);
    run.err = readBack(err);
    return run;
}

// A page whose table cannot be read: the text format lists the header line alone, as the
// window does; json writes nothing and fails. A page with a table names its release.
TEST(ListingTest, PagesWithAndWithoutTable) {
    const std::string noTable = "<HTML>busy, try later</HTML>";
    const CliOutput text = runWith(noTable, ListingFormat::Text);
    EXPECT_EQ(text.exitCode, CliExit::kListed);
    EXPECT_EQ(text.out.find('\n'), text.out.size() - 1);
    const CliOutput json = runWith(noTable, ListingFormat::Json);
    EXPECT_EQ(json.exitCode, CliExit::kFailed);
    EXPECT_EQ(json.out, "");
    EXPECT_NE(json.err.find("no table"), std::string::npos) << json.err;

    const CliOutput listed = runWith(
        "<H3>Time information for selected cities and towns</H3>\n<TABLE CELLPADDING=4>\n"
        "<TR><TH>City/Town</TH></TR>\n<TR><TD VALIGN=Top>Agra</TD><TD>t</TD><TD>o</TD>"
        "<TD>r</TD><TD>s</TD></TR>\n</TABLE>\n<P>Time zone data: tzdata 2025b</P>\n",
        ListingFormat::Json);
    EXPECT_EQ(listed.exitCode, CliExit::kListed) << listed.err;
    EXPECT_EQ(listed.out,
              "{\"country\":\"India\",\"code\":76,\"iso\":[\"IN\"],\"tzdata\":\"2025b\","
              "\"places\":[\n{\"name\":\"Agra\",\"local_time\":\"t\",\"utc_offset\":\"o\","
              "\"sunrise\":\"r\",\"sunset\":\"s\"}\n]}\n");
}

}  // namespace
}  // namespace horalux
