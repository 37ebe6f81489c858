// The window's resident memory over many "Display time" fetches of one country, over the
// real HTTP client against a running time service: it prints the resident and the peak
// resident memory after the fetches named, which should stay flat once the list has been
// filled the first time.
//   fetch_memory HOST:PORT [RUNS] [ENTRY]

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "CountryTable.h"
#include "CurlInternet.h"
#include "FrmA1.h"
#include "PosixRegistry.h"
#include "QtDesktop.h"

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
    const auto address = argc > 1 ? horalux::parseServiceAddress(argv[1]) : std::nullopt;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 100;
    const int entry = argc > 3 ? std::atoi(argv[3]) : horalux::CountryTable::kDefaultEntry;
    if (!address || runs < 1 || horalux::CountryTable::entryName(entry).empty()) {
        std::fprintf(stderr, "usage: fetch_memory HOST:PORT [RUNS] [ENTRY]\n");
        return 2;
    }
    horalux::QtDesktop desktop;
    horalux::CurlInternet internet(address->host, address->port);
    horalux::PosixRegistry registry;
    horalux::FrmA1 window(internet, desktop, registry, horalux::TimerMode::Live, *address);
    window.load();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "fetch_memory: the window did not show\n");
        return 1;
    }
    auto* button = window.findChild<QPushButton*>("CmdCountry");
    std::printf("fetch-memory: %s, before the first fetch: RSS %ld KiB\n",
                std::string(horalux::CountryTable::entryName(entry)).c_str(), statusKiB("VmRSS"));
    for (int run = 1; run <= runs; ++run) {
        window.setComboSelectedIndex(entry);
        window.setEnabled(horalux::Control::CmdCountry, true);
        button->click();
        window.repaint();
        const std::string status = window.caption(horalux::Control::LblAni);
        if (status != "Parsing done 100 %") {
            std::fprintf(stderr, "fetch_memory: fetch %d ended with \"%s\"\n", run, status.c_str());
            return 1;
        }
        if (reported(run, runs)) {
            std::printf("  after %3d fetches, %d rows: RSS %ld KiB, peak %ld KiB\n", run,
                        window.listCount() - 1, statusKiB("VmRSS"), statusKiB("VmHWM"));
            std::fflush(stdout);
        }
    }
    return 0;
}
