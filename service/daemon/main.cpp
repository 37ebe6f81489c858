// zonariumd: the time-information service. Serves GET /cgi-bin/wt.cgi?cnt=..&ID=..&land=N.

#include "daemon/DaemonArguments.h"
#include "daemon/PlacesFile.h"
#include "daemon/Reloader.h"
#include "http/AccessLog.h"
#include "http/Metrics.h"
#include "http/MetricsListener.h"
#include "http/ZonariumServer.h"
#include "model/CityTable.h"
#include "model/TzdataRelease.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace {

// Longest a stop waits for open connections to finish.
constexpr std::chrono::seconds kStopGrace{5};

// SIGHUP (reload), SIGINT and SIGTERM (stop).
sigset_t handledSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

// The settings of a command line without options.
zonarium::DaemonArguments defaults() {
    zonarium::DaemonArguments arguments;
    arguments.threads = zonarium::ServerOptions{}.threads;
    arguments.renderThreads = zonarium::ServerOptions{}.renderThreads;
    arguments.maxConnections = static_cast<int>(zonarium::ServerOptions{}.maxConnections);
    arguments.dataFile =
        zonarium::defaultPlacesFile(ZONARIUM_RELATIVE_PLACES_FILE, ZONARIUM_DEFAULT_PLACES_FILE);
    return arguments;
}

// Connections and the page cache's memory files need descriptors: takes as many as the hard
// limit allows.
void raiseFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

zonarium::ServerOptions serverOptions(const zonarium::DaemonArguments& arguments,
                                      zonarium::Metrics& metrics) {
    zonarium::ServerOptions options;
    options.threads = arguments.threads;
    options.renderThreads = arguments.renderThreads;
    options.maxConnections = static_cast<std::size_t>(arguments.maxConnections);
    // Counted only when someone can read them.
    if (!arguments.metricsHost.empty()) {
        options.metrics = &metrics;
    }
    return options;
}

// Listens on the socket systemd passed (started through a socket unit), else binds the
// address asked for. Where it listens, e.g. "127.0.0.1:80"; empty after a message on standard
// error.
std::string listen(zonarium::ZonariumServer& server, const zonarium::DaemonArguments& arguments) {
    const int passed = sd_listen_fds(1);
    if (passed > 0) {
        if (passed != 1 || sd_is_socket(SD_LISTEN_FDS_START, AF_UNSPEC, SOCK_STREAM, 1) <= 0 ||
            !server.adopt(SD_LISTEN_FDS_START)) {
            std::fprintf(stderr,
                         "zonariumd: systemd passed %d sockets; expected one listening "
                         "TCP socket\n",
                         passed);
            return {};
        }
        const std::string address = server.address();
        return (address.find(':') == std::string::npos ? address : "[" + address + "]") + ":" +
               std::to_string(server.port()) + " (socket from systemd)";
    }
    if (!server.bind(arguments.host, arguments.port)) {
        std::fprintf(stderr, "zonariumd: cannot listen on %s:%d\n", arguments.host.c_str(),
                     arguments.port);
        return {};
    }
    return arguments.host + ":" + std::to_string(server.port());
}

// Starts the metrics listener when one is asked for. What the start-up line says of it, e.g.
// ", metrics on 127.0.0.1:9100"; nullopt after a message on standard error.
std::optional<std::string> serveMetrics(std::optional<zonarium::MetricsListener>& listener,
                                        zonarium::Metrics& metrics,
                                        const zonarium::DaemonArguments& arguments,
                                        zonarium::ZonariumServer& server,
                                        zonarium::AccessLog& log) {
    if (arguments.metricsHost.empty()) {
        return std::string();
    }
    listener.emplace(metrics);
    if (!listener->bind(arguments.metricsHost, arguments.metricsPort)) {
        std::fprintf(stderr, "zonariumd: cannot listen for metrics on %s:%d\n",
                     arguments.metricsHost.c_str(), arguments.metricsPort);
        return std::nullopt;
    }
    metrics.sampleAtScrape([&] {
        metrics.setConnections(server.openConnections(), server.evictedConnections());
        metrics.setDroppedLines(log.dropped());
    });
    listener->start();
    return ", metrics on " + arguments.metricsHost + ":" + std::to_string(listener->port());
}

// A reload's outcome, logged and counted; a table that loaded is served from now.
void applyReload(zonarium::CityTableLoad reload, zonarium::ZonariumServer& server,
                 zonarium::Metrics& metrics, zonarium::AccessLog& log) {
    metrics.reloaded(static_cast<bool>(reload));
    if (!reload) {
        log.post("zonariumd: reload failed, keeping the data in use: " + reload.error);
        return;
    }
    const std::string facts = "zonariumd: reloaded: tzdata " + reload.table.tzdataRelease() + ", " +
                              std::to_string(reload.table.size()) + " places";
    metrics.setData(reload.table.tzdataRelease(), reload.table.size());
    server.replaceTable(std::make_shared<const zonarium::CityTable>(std::move(reload.table)));
    log.post(facts);
}

// Runs the server until it ends. The signals are taken on a thread of their own, the only one
// that unblocks them: SIGINT and SIGTERM stop the server gracefully, SIGHUP asks `reloader`
// for a reload. True when the server ran and ended, or a signal stopped it.
bool serve(zonarium::ZonariumServer& server, zonarium::Reloader& reloader,
           const sigset_t& signals) {
    boost::asio::io_context signalLoop(1);
    boost::asio::signal_set stopSignals(signalLoop, SIGINT, SIGTERM);
    boost::asio::signal_set reloadSignals(signalLoop, SIGHUP);
    // Written by the signal thread, read once it has ended.
    bool stopRequested = false;
    stopSignals.async_wait([&](const boost::system::error_code& ec, int) {
        if (!ec) {
            stopRequested = true;
            server.stopGracefully(kStopGrace);
        }
    });
    std::function<void()> awaitReload = [&] {
        reloadSignals.async_wait([&](const boost::system::error_code& ec, int) {
            if (!ec) {
                reloader.request();
                awaitReload();
            }
        });
    };
    awaitReload();
    std::thread signalThread([&signalLoop, &signals] {
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
        signalLoop.run();
    });
    const bool served = server.run();
    signalLoop.stop();
    signalThread.join();
    return served || stopRequested;
}

}  // namespace

int main(int argc, char** argv) {
    // Held pending from the first instant until the signal thread takes them once the service
    // listens: a signal sent during start-up is acted on then, never fatal. Every thread
    // started from here on inherits the mask.
    const sigset_t signals = handledSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const auto parse = zonarium::parseDaemonArguments({argv + 1, argv + argc}, defaults());
    const zonarium::DaemonArguments& arguments = parse.arguments;
    if (!parse.error.empty()) {
        std::fprintf(stderr, "zonariumd: %s\n%s", parse.error.c_str(),
                     parse.showHelp ? zonarium::daemonHelpText() : "");
        return 2;
    }
    if (arguments.action != zonarium::DaemonArguments::Action::Serve) {
        std::fputs(arguments.action == zonarium::DaemonArguments::Action::Version
                       ? zonarium::versionText().c_str()
                       : zonarium::daemonHelpText(),
                   stdout);
        return 0;
    }

    const auto loadStart = std::chrono::steady_clock::now();
    zonarium::CityTableLoad load = zonarium::loadCityTable(arguments.dataFile);
    const auto loadTime = std::chrono::steady_clock::now() - loadStart;
    if (!load) {
        std::fprintf(stderr, "zonariumd: %s\n", load.error.c_str());
        return 1;
    }
    raiseFileLimit();

    // Standard output may be a pipe nobody drains: after the first line, everything goes
    // through the log's own thread and never holds up serving or stopping.
    zonarium::AccessLog log(STDOUT_FILENO);
    zonarium::Metrics metrics;
    metrics.setData(load.table.tzdataRelease(), load.table.size());
    const std::string started =
        "zonariumd: " + std::to_string(load.table.size()) + " places, read in " +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(loadTime).count()) +
        " ms, listening on ";
    zonarium::ZonariumServer server(
        std::make_shared<const zonarium::CityTable>(std::move(load.table)),
        serverOptions(arguments, metrics), zonarium::systemNow,
        [&log](std::string_view line) { log.post(line); });
    const std::string listening = listen(server, arguments);
    if (listening.empty()) {
        return 1;
    }
    // Apart from the public port, and stopped before the server goes.
    std::optional<zonarium::MetricsListener> metricsListener;
    const auto metricsText = serveMetrics(metricsListener, metrics, arguments, server, log);
    if (!metricsText) {
        return 1;
    }
    log.post(started + listening + *metricsText);

    // Loads on a thread of its own, which a stop never waits for, while the table in use
    // goes on serving.
    zonarium::Reloader reloader(
        [file = arguments.dataFile] { return zonarium::loadCityTable(file); },
        [&](zonarium::CityTableLoad reload) {
            applyReload(std::move(reload), server, metrics, log);
        });
    const bool ended = serve(server, reloader, signals);
    reloader.stop();
    if (metricsListener) {
        metricsListener->stop();
    }
    log.post("zonariumd: stopped");
    return ended ? 0 : 1;
}
