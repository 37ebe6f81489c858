#include "http/ZonariumServer.h"

#include "RawConnection.h"
#include "TestSupport.h"
#include "model/CountryPage.h"
#include "model/Page.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <thread>

namespace zonarium {
namespace {

// Every country code of the client answers 200 with at least one row, over HTTP, from the
// real places file; the desktop client's own reply functions take every page apart into
// one listed line per place, with the cells the time and sun functions give.
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
        EXPECT_GE(load.table.places(land).size(), 1u) << land;
        test::expectClientListsPlaces(reply->body, load.table, land, now);
    }
    server.stop();
    thread.join();
}

// Large pages whose replies the client does not read at once arrive whole and in order: the
// server sends them on when the connection has room again. (USA, 2026-06-21 12:00:00Z.)
TEST(AllCountriesTest, LargePagesSurviveAFullConnection) {
    const CityTableLoad load = loadCityTable(ZONARIUM_TEST_PLACES);
    ASSERT_TRUE(load) << load.error;
    const Instant now = test::at("2026-06-21T12:00:00Z");
    ServerOptions options;
    options.sendBufferBytes = 8192;
    ZonariumServer server(
        load.table, options, [now] { return now; }, nullptr);
    ASSERT_TRUE(server.bind("127.0.0.1", 0));
    std::thread thread([&server] { server.run(); });

    const std::string page = renderPage(224, now, load.table, "Abc123xyZ");
    ASSERT_GT(page.size(), 65536u);
    test::RawConnection connection(server.port(), 4096);
    std::string requests;
    for (int i = 0; i < 20; ++i) {
        requests += "GET /cgi-bin/wt.cgi?land=224&ID=Abc123xyZ HTTP/1.1\r\nHost: x\r\n\r\n";
    }
    ASSERT_TRUE(connection.send(requests));
    for (int i = 0; i < 20; ++i) {
        const std::string reply = connection.readResponse();
        ASSERT_TRUE(reply.ends_with("\r\n\r\n" + page)) << i << ": " << reply.size();
    }
    server.stop();
    thread.join();
}

}  // namespace
}  // namespace zonarium
