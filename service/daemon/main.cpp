// zonariumd: the time-information service. Serves GET /cgi-bin/wt.cgi?cnt=..&ID=..&land=N.

#include "daemon/PlacesFile.h"
#include "http/AccessLog.h"
#include "http/Metrics.h"
#include "http/MetricsListener.h"
#include "http/ZonariumServer.h"
#include "model/CityTable.h"
#include "model/TzdataRelease.h"

#include <signal.h>
#include <sys/resource.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace {

// Longest a stop waits for open connections to finish.
constexpr std::chrono::seconds kStopGrace{5};

constexpr const char* kUsage =
    "Usage: zonariumd [--listen ADDR:PORT] [--threads N] [--render-threads N]\n"
    "                 [--max-connections N] [--data FILE] [--metrics-listen ADDR:PORT]\n"
    "       zonariumd --help | --version\n"
    "Serves local time, sunrise and sunset of the cities of a country over HTTP:\n"
    "  GET /cgi-bin/wt.cgi?cnt=..&ID=..&land=N\n"
    "  GET /healthz  (200 \"ok tzdata R places N\" while pages can be made, else 503)\n"
    "\n"
    "  --listen ADDR:PORT  address to listen on (default 127.0.0.1:80; port 0 picks a\n"
    "                      free one; IPv6 as [ADDR]:PORT); a listening socket passed\n"
    "                      by systemd (socket activation) is used instead\n"
    "  --threads N         threads serving connections (default: one per processor);\n"
    "                      idle and slow connections hold no thread\n"
    "  --render-threads N  threads making pages, apart from those serving (default 2)\n"
    "  --max-connections N open connections at most (default 4096, and the descriptor\n"
    "                      limit); beyond it the one waiting longest is closed\n"
    "  --data FILE         places file (default: " ZONARIUM_RELATIVE_PLACES_FILE
    " beside the program,\n"
    "                      else " ZONARIUM_DEFAULT_PLACES_FILE
    ")\n"
    "  --metrics-listen ADDR:PORT\n"
    "                      serve metrics in the Prometheus text format at GET /metrics\n"
    "                      on this address only (default: none)\n"
    "  --version           show the version and the tzdata release in use\n"
    "  --help              show this text\n"
    "\n"
    "Writes one access-log line per request to standard output, in the Combined Log\n"
    "Format (UTC times); lines a stalled reader cannot take are dropped and counted.\n"
    "Zones come from the zone database under TZDIR, else /usr/share/zoneinfo. SIGHUP\n"
    "reads the places file and the zone database again; should either fail, the\n"
    "data in use stays. SIGINT or SIGTERM stops accepting, lets the open connections\n"
    "finish for up to 5 seconds, and ends the program.\n";

// Command-line settings.
struct Arguments {
    // Address to bind.
    std::string host = "127.0.0.1";
    // Port to bind; 0 picks a free one.
    int port = 80;
    // Worker threads.
    int threads = zonarium::ServerOptions{}.threads;
    // Threads making pages.
    int renderThreads = zonarium::ServerOptions{}.renderThreads;
    // Open connections at most.
    int maxConnections = static_cast<int>(zonarium::ServerOptions{}.maxConnections);
    // Address of the metrics listener; empty for none.
    std::string metricsHost;
    int metricsPort = 0;
    // Places file.
    std::string dataFile =
        zonarium::defaultPlacesFile(ZONARIUM_RELATIVE_PLACES_FILE, ZONARIUM_DEFAULT_PLACES_FILE);
};

bool parseNumber(std::string_view text, int low, int high, int& value) {
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size() && value >= low &&
           value <= high;
}

// Splits "ADDR:PORT" or "[ADDR]:PORT".
bool parseListen(std::string_view text, std::string& host, int& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    std::string_view address = text.substr(0, colon);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);
    }
    host = std::string(address);
    return !host.empty() && parseNumber(text.substr(colon + 1), 0, 65535, port);
}

// Parses argv; on failure prints the reason and returns false with `exitCode` set.
bool parseArguments(int argc, char** argv, Arguments& arguments, int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h" || option == "--version") {
            std::fputs(option == "--version" ? zonarium::versionText().c_str() : kUsage, stdout);
            exitCode = 0;
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "zonariumd: unknown option or missing value: %s\n%s", argv[i],
                         kUsage);
            exitCode = 2;
            return false;
        }
        const std::string_view value = argv[++i];
        bool good = true;
        if (option == "--listen") {
            good = parseListen(value, arguments.host, arguments.port);
        } else if (option == "--threads") {
            good = parseNumber(value, 1, 4096, arguments.threads);
        } else if (option == "--render-threads") {
            good = parseNumber(value, 1, 64, arguments.renderThreads);
        } else if (option == "--max-connections") {
            good = parseNumber(value, 1, 1'000'000, arguments.maxConnections);
        } else if (option == "--metrics-listen") {
            good = parseListen(value, arguments.metricsHost, arguments.metricsPort);
        } else if (option == "--data") {
            arguments.dataFile = std::string(value);
        } else {
            std::fprintf(stderr, "zonariumd: unknown option: %s\n%s", argv[i - 1], kUsage);
            exitCode = 2;
            return false;
        }
        if (!good) {
            std::fprintf(stderr, "zonariumd: bad value for %s: %s\n", argv[i - 1], argv[i]);
            exitCode = 2;
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    int exitCode = 0;
    if (!parseArguments(argc, argv, arguments, exitCode)) {
        return exitCode;
    }

    const auto loadStart = std::chrono::steady_clock::now();
    zonarium::CityTableLoad load = zonarium::loadCityTable(arguments.dataFile);
    const auto loadMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - loadStart)
                                      .count();
    if (!load) {
        std::fprintf(stderr, "zonariumd: %s\n", load.error.c_str());
        return 1;
    }

    // SIGINT and SIGTERM stop the server; taken from here on, and held until it can be stopped.
    boost::asio::io_context signalLoop(1);
    boost::asio::signal_set stopSignals(signalLoop, SIGINT, SIGTERM);
    // SIGHUP reloads the places and the zones.
    boost::asio::signal_set reloadSignals(signalLoop, SIGHUP);
    signal(SIGPIPE, SIG_IGN);
    // Connections and the page cache's memory files need descriptors: take as many as the
    // hard limit allows.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    zonarium::ServerOptions options;
    options.threads = arguments.threads;
    options.renderThreads = arguments.renderThreads;
    options.maxConnections = static_cast<std::size_t>(arguments.maxConnections);
    // Standard output may be a pipe nobody drains: after the first line, everything goes
    // through the log's own thread and never holds up serving or stopping.
    zonarium::AccessLog log(STDOUT_FILENO);
    // Counted only when someone can read them.
    zonarium::Metrics metrics;
    if (!arguments.metricsHost.empty()) {
        options.metrics = &metrics;
    }
    const std::size_t places = load.table.size();
    const std::string release = load.table.tzdataRelease();
    zonarium::ZonariumServer server(
        std::make_shared<const zonarium::CityTable>(std::move(load.table)), options,
        zonarium::systemNow, [&log](std::string_view line) { log.post(line); });
    // Started through a socket unit, systemd passes the listening socket; by hand, it is
    // bound here.
    const int passed = sd_listen_fds(1);
    std::string listening;
    if (passed > 0) {
        if (passed != 1 || sd_is_socket(SD_LISTEN_FDS_START, AF_UNSPEC, SOCK_STREAM, 1) <= 0 ||
            !server.adopt(SD_LISTEN_FDS_START)) {
            std::fprintf(stderr,
                         "zonariumd: systemd passed %d sockets; expected one listening "
                         "TCP socket\n",
                         passed);
            return 1;
        }
        const std::string address = server.address();
        listening = (address.find(':') == std::string::npos ? address : "[" + address + "]") + ":" +
                    std::to_string(server.port()) + " (socket from systemd)";
    } else if (server.bind(arguments.host, arguments.port)) {
        listening = arguments.host + ":" + std::to_string(server.port());
    } else {
        std::fprintf(stderr, "zonariumd: cannot listen on %s:%d\n", arguments.host.c_str(),
                     arguments.port);
        return 1;
    }
    // Apart from the public port, and stopped before the server goes.
    std::optional<zonarium::MetricsListener> metricsListener;
    std::string metricsAddress;
    if (options.metrics != nullptr) {
        metricsListener.emplace(metrics);
        if (!metricsListener->bind(arguments.metricsHost, arguments.metricsPort)) {
            std::fprintf(stderr, "zonariumd: cannot listen for metrics on %s:%d\n",
                         arguments.metricsHost.c_str(), arguments.metricsPort);
            return 1;
        }
        metricsAddress =
            ", metrics on " + arguments.metricsHost + ":" + std::to_string(metricsListener->port());
        metrics.setData(release, places);
        metrics.sampleAtScrape([&] {
            metrics.setConnections(server.openConnections(), server.evictedConnections());
            metrics.setDroppedLines(log.dropped());
        });
        metricsListener->start();
    }
    log.post("zonariumd: " + std::to_string(places) + " places, read in " +
             std::to_string(loadMilliseconds) + " ms, listening on " + listening + metricsAddress);

    // Written by the signal thread, read once it has ended.
    bool stopRequested = false;
    stopSignals.async_wait([&](const boost::system::error_code& ec, int) {
        if (!ec) {
            stopRequested = true;
            server.stopGracefully(kStopGrace);
        }
    });
    // Reads on the signal thread, while the table in use goes on serving.
    std::function<void()> awaitReload = [&] {
        reloadSignals.async_wait([&](const boost::system::error_code& ec, int) {
            if (ec) {
                return;
            }
            zonarium::CityTableLoad reload = zonarium::loadCityTable(arguments.dataFile);
            metrics.reloaded(static_cast<bool>(reload));
            if (!reload) {
                log.post("zonariumd: reload failed, keeping the data in use: " + reload.error);
            } else {
                const std::string facts = "zonariumd: reloaded: tzdata " +
                                          reload.table.tzdataRelease() + ", " +
                                          std::to_string(reload.table.size()) + " places";
                metrics.setData(reload.table.tzdataRelease(), reload.table.size());
                server.replaceTable(
                    std::make_shared<const zonarium::CityTable>(std::move(reload.table)));
                log.post(facts);
            }
            awaitReload();
        });
    };
    awaitReload();
    std::thread waiter([&signalLoop] { signalLoop.run(); });
    const bool served = server.run();
    signalLoop.stop();
    waiter.join();
    if (metricsListener) {
        metricsListener->stop();
    }
    log.post("zonariumd: stopped");
    return served || stopRequested ? 0 : 1;
}
