#include "daemon/DaemonArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zonarium {
namespace {

// Options over the defaults; the first of --help and --version decides; each fault is named,
// with the help text after an unknown option or a missing value only.
TEST(DaemonArgumentsTest, ReadsOptionsAndNamesFaults) {
    DaemonArguments defaults;
    defaults.dataFile = "default.tsv";
    const auto parse = [&](std::vector<std::string> args) {
        return parseDaemonArguments(args, defaults);
    };
    const auto good = parse({"--listen", "[::1]:8080", "--threads", "3", "--render-threads", "2",
                             "--max-connections", "10", "--metrics-listen", "127.0.0.1:0"});
    ASSERT_EQ(good.error, "");
    EXPECT_EQ(good.arguments.host, "::1");
    EXPECT_EQ(good.arguments.port, 8080);
    EXPECT_EQ(good.arguments.threads, 3);
    EXPECT_EQ(good.arguments.renderThreads, 2);
    EXPECT_EQ(good.arguments.maxConnections, 10);
    EXPECT_EQ(good.arguments.metricsHost, "127.0.0.1");
    EXPECT_EQ(good.arguments.dataFile, "default.tsv");
    EXPECT_EQ(good.arguments.action, DaemonArguments::Action::Serve);
    EXPECT_EQ(parse({"--data", "x.tsv", "--version", "--bogus"}).arguments.action,
              DaemonArguments::Action::Version);
    EXPECT_EQ(parse({"-h"}).arguments.action, DaemonArguments::Action::Help);

    const struct {
        std::vector<std::string> args;
        std::string error;
        bool showHelp;
    } faults[] = {
        {{"--bogus", "1"}, "unknown option: --bogus", true},
        {{"--threads"}, "unknown option or missing value: --threads", true},
        {{"--threads", "0"}, "bad value for --threads: 0", false},
        {{"--render-threads", "65"}, "bad value for --render-threads: 65", false},
        {{"--max-connections", "5x"}, "bad value for --max-connections: 5x", false},
        {{"--listen", "127.0.0.1"}, "bad value for --listen: 127.0.0.1", false},
        {{"--listen", ":80"}, "bad value for --listen: :80", false},
        {{"--listen", "[]:80"}, "bad value for --listen: []:80", false},
        {{"--metrics-listen", "h:65536"}, "bad value for --metrics-listen: h:65536", false},
    };
    for (const auto& fault : faults) {
        const auto refused = parse(fault.args);
        EXPECT_EQ(refused.error, fault.error);
        EXPECT_EQ(refused.showHelp, fault.showHelp) << fault.error;
    }
}

}  // namespace
}  // namespace zonarium
