// Times "Display time" in the real window: from the click to the last row listed and painted,
// over the real HTTP client against a running time service.
//   fetch_latency HOST:PORT [RUNS] [ENTRY]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "WindowBench.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    horalux::bench::WindowBench bench(argc, argv, "fetch_latency", 20);
    if (!bench.ok()) {
        return 2;
    }
    std::vector<double> times;
    int rows = 0;
    for (int run = 0; run < bench.runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const bool listed = bench.fetch();
        const auto end = std::chrono::steady_clock::now();
        if (!listed) {
            std::fprintf(stderr, "fetch_latency: run %d ended with \"%s\"\n", run + 1,
                         bench.status().c_str());
            return 1;
        }
        rows = bench.rows();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.size() % 2 == 1
                              ? sorted[sorted.size() / 2]
                              : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    std::printf(
        "fetch-latency: %s, %d rows, %d runs: median %.1f ms, worst %.1f ms, best %.1f ms\n",
        bench.entryName().c_str(), rows, bench.runs, median, sorted.back(), sorted.front());
    return 0;
}
