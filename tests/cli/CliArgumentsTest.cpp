#include "cli/CliArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace horalux {
namespace {

CliParse parse(const std::vector<std::string>& args, const std::string& setting = "") {
    std::string warning;
    return parseCliArguments(args, setting, warning);
}

// A name may come in several words, after "--" too; --server in either form wins over the
// setting; --list wants no country.
TEST(CliArgumentsTest, RequestsTheCommandLineMakes) {
    const CliParse split = parse({"--direct", "new", "ZEALAND", "--server=h:81"}, "other:82");
    EXPECT_EQ(split.error, "");
    EXPECT_EQ(split.request.entry, 153);
    EXPECT_EQ(split.request.access, AccessType::Direct);
    EXPECT_EQ(split.request.service, (ServiceAddress{"h", 81}));
    EXPECT_EQ(parse({"--", "-x"}).error, "unknown country \"-x\"");
    EXPECT_EQ(parse({"--server", "h", "India"}, "other").request.service,
              (ServiceAddress{"h", 80}));
    EXPECT_EQ(parse({"--list"}, "other:82").request.service, (ServiceAddress{"other", 82}));
    EXPECT_EQ(parse({"--list"}).error, "");
    EXPECT_EQ(parse({}).error, "no country given");
    EXPECT_EQ(parse({"Indai"}).error, "unknown country \"Indai\"; did you mean India?");
    EXPECT_EQ(parse({"--format=csv", "DEU"}).request.format, ListingFormat::Csv);
    EXPECT_EQ(parse({"--format", "json", "us"}).request.entry, 225);
    EXPECT_EQ(parse({"--format", "xml", "India"}).error,
              "--format \"xml\" is not text, tsv, csv or json");
}

}  // namespace
}  // namespace horalux
