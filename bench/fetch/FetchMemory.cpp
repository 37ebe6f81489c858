// The window's resident memory over many "Display time" fetches of one country, over the
// real HTTP client against a running time service: it prints the resident and the peak
// resident memory after the fetches named, which should stay flat once the list has been
// filled the first time.
//   fetch_memory HOST:PORT [RUNS] [ENTRY]

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "WindowBench.h"

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field + ":")) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

bool reported(int fetches, int runs) {
    return fetches == 1 || fetches == 10 || fetches == 50 || fetches == 100 || fetches == runs;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    horalux::bench::WindowBench bench(argc, argv, "fetch_memory", 100);
    if (!bench.ok()) {
        return 2;
    }
    std::printf("fetch-memory: %s, before the first fetch: RSS %ld KiB\n",
                bench.entryName().c_str(), statusKiB("VmRSS"));
    for (int run = 1; run <= bench.runs; ++run) {
        if (!bench.fetch()) {
            std::fprintf(stderr, "fetch_memory: fetch %d ended with \"%s\"\n", run,
                         bench.status().c_str());
            return 1;
        }
        if (reported(run, bench.runs)) {
            std::printf("  after %3d fetches, %d rows: RSS %ld KiB, peak %ld KiB\n", run,
                        bench.rows(), statusKiB("VmRSS"), statusKiB("VmHWM"));
            std::fflush(stdout);
        }
    }
    return 0;
}
