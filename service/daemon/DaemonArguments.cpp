#include "daemon/DaemonArguments.h"

#include <charconv>
#include <string_view>

namespace zonarium {

namespace {

constexpr const char* kHelp =
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
    "data in use stays. SIGINT or SIGTERM stops accepting, closes idle connections at\n"
    "once, lets the requests under way finish for up to 5 seconds, and ends the program.\n";

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

}  // namespace

DaemonArgumentsParse parseDaemonArguments(const std::vector<std::string>& args,
                                          DaemonArguments defaults) {
    DaemonArgumentsParse result{std::move(defaults), {}, false};
    DaemonArguments& arguments = result.arguments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h" || option == "--version") {
            arguments.action = option == "--version" ? DaemonArguments::Action::Version
                                                     : DaemonArguments::Action::Help;
            return result;
        }
        if (i + 1 >= args.size()) {
            result.error = "unknown option or missing value: " + option;
            result.showHelp = true;
            return result;
        }
        const std::string& value = args[++i];
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
            arguments.dataFile = value;
        } else {
            result.error = "unknown option: " + option;
            result.showHelp = true;
            return result;
        }
        if (!good) {
            result.error = "bad value for " + option + ": " + value;
            return result;
        }
    }
    return result;
}

const char* daemonHelpText() {
    return kHelp;
}

}  // namespace zonarium
