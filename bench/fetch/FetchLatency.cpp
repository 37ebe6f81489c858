// Times "Display time" in the real window: from the click to the last row listed and painted,
// over the real HTTP client against a running time service.
//   fetch_latency HOST:PORT [RUNS] [ENTRY]

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CountryTable.h"
#include "CurlInternet.h"
#include "FrmA1.h"
#include "PosixRegistry.h"
#include "QtDesktop.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const auto address = argc > 1 ? horalux::parseServiceAddress(argv[1]) : std::nullopt;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    const int entry = argc > 3 ? std::atoi(argv[3]) : horalux::CountryTable::kDefaultEntry;
    if (!address || runs < 1 || horalux::CountryTable::entryName(entry).empty()) {
        std::fprintf(stderr, "usage: fetch_latency HOST:PORT [RUNS] [ENTRY]\n");
        return 2;
    }
    horalux::QtDesktop desktop;
    horalux::CurlInternet internet(address->host, address->port);
    horalux::PosixRegistry registry;
    horalux::FrmA1 window(internet, desktop, registry, horalux::TimerMode::Live, *address);
    window.load();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "fetch_latency: the window did not show\n");
        return 1;
    }
    auto* button = window.findChild<QPushButton*>("CmdCountry");
    std::vector<double> times;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        // The progress display releases the button about a second after a fetch; the
        // measurement does not wait for that.
        window.setComboSelectedIndex(entry);
        window.setEnabled(horalux::Control::CmdCountry, true);
        const auto start = std::chrono::steady_clock::now();
        button->click();
        // The rows are on screen once the window has painted them.
        window.repaint();
        const auto end = std::chrono::steady_clock::now();
        if (window.caption(horalux::Control::LblAni) != "Parsing done 100 %") {
            std::fprintf(stderr, "fetch_latency: run %d ended with \"%s\"\n", run + 1,
                         window.caption(horalux::Control::LblAni).c_str());
            return 1;
        }
        rows = window.listCount() - 1;
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.size() % 2 == 1
                              ? sorted[sorted.size() / 2]
                              : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    std::printf(
        "fetch-latency: %s, %d rows, %d runs: median %.1f ms, worst %.1f ms, best %.1f ms\n",
        std::string(horalux::CountryTable::entryName(entry)).c_str(), rows, runs, median,
        sorted.back(), sorted.front());
    return 0;
}
