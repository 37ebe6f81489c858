#pragma once

#include <string>
#include <vector>

namespace zonarium {

// What zonariumd's command line asks for.
struct DaemonArguments {
    enum class Action { Serve, Help, Version };
    Action action = Action::Serve;
    // Address to bind.
    std::string host = "127.0.0.1";
    // Port to bind; 0 picks a free one.
    int port = 80;
    // Threads serving connections.
    int threads = 0;
    // Threads making pages.
    int renderThreads = 0;
    // Open connections at most.
    int maxConnections = 0;
    // Address of the metrics listener; empty for none.
    std::string metricsHost;
    int metricsPort = 0;
    // Places file.
    std::string dataFile;
};

// Outcome of reading the command line: the arguments, or a usage error with its text.
struct DaemonArgumentsParse {
    DaemonArguments arguments;
    // Empty when the command line is usable, else one line naming the fault.
    std::string error;
    // The fault is an unknown option or a missing value: the help text follows it.
    bool showHelp = false;
};

// Reads the arguments (without the program name) over `defaults`. The first of --help, -h
// and --version decides the action and ends the reading.
DaemonArgumentsParse parseDaemonArguments(const std::vector<std::string>& args,
                                          DaemonArguments defaults);

// The --help text.
const char* daemonHelpText();

}  // namespace zonarium
