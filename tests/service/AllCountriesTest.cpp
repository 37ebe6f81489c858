#include "ZonariumServer.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

namespace zonarium {
namespace {

// Every country code of the client answers 200 with at least one row, over HTTP, from the
// real places file; every page survives the client's XML load with listable cell widths.
TEST(AllCountriesTest, EveryCountryAnswersWithRows) {
    const CityTableLoad load = loadCityTable(ZONARIUM_TEST_PLACES);
    ASSERT_TRUE(load) << load.error;

    // 2026-06-21 12:00:00Z: midnight sun in the north, polar night in the south.
    const Instant now = test::at("2026-06-21T12:00:00Z");
    ZonariumServer server(
        load.table, ServerOptions{}, [now] { return now; }, nullptr);
    ASSERT_TRUE(server.bind("127.0.0.1", 0));
    std::thread thread([&server] { server.run(); });

    httplib::Client client("127.0.0.1", server.port());
    client.set_keep_alive(true);
    client.set_read_timeout(20);
    for (int land = kFirstLand; land <= kLastLand; ++land) {
        const auto reply =
            client.Get("/cgi-bin/wt.cgi?cnt=604218&ID=&land=" + std::to_string(land));
        ASSERT_TRUE(reply) << land;
        EXPECT_EQ(reply->status, 200) << land;
        const auto parsed = test::parseClientXml(test::clientXml(reply->body));
        EXPECT_TRUE(parsed.error.empty()) << land << ": " << parsed.error;
        EXPECT_GE(parsed.rows.size(), 1u) << land;
        EXPECT_EQ(parsed.rows.size(), load.table.places(land).size()) << land;
        for (const auto& cells : parsed.rows) {
            ASSERT_EQ(cells.size(), 5u) << land;
            EXPECT_LE(cells[1].size(), 28u) << cells[1];
            EXPECT_LE(cells[3].size(), 10u) << cells[3];
            EXPECT_LE(cells[4].size(), 10u) << cells[4];
        }
    }
    server.stop();
    thread.join();
}

}  // namespace
}  // namespace zonarium
