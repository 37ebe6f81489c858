// The real window over the real HTTP client against a running time service, as the window
// benches drive it: arguments HOST:PORT [RUNS] [ENTRY], the window shown, and one fetch of
// the entry a click on "Display time" followed by the painting of the list.

#pragma once

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/FrmA1.h"
#include "fetch/CountryTable.h"
#include "platform/CurlInternet.h"
#include "platform/PosixRegistry.h"
#include "platform/qt/QtDesktop.h"

namespace horalux::bench {

class WindowBench {
public:
    // Prints the usage of `program` or why the window did not show, and leaves ok() false.
    WindowBench(int argc, char** argv, const char* program, int defaultRuns) {
        const auto address = argc > 1 ? parseServiceAddress(argv[1]) : std::nullopt;
        runs = argc > 2 ? std::atoi(argv[2]) : defaultRuns;
        entry = argc > 3 ? std::atoi(argv[3]) : CountryTable::kDefaultEntry;
        if (!address || runs < 1 || CountryTable::entryName(entry).empty()) {
            std::fprintf(stderr, "usage: %s HOST:PORT [RUNS] [ENTRY]\n", program);
            return;
        }
        internet_ = std::make_unique<CurlInternet>(address->host, address->port);
        window_ =
            std::make_unique<FrmA1>(*internet_, desktop_, registry_, TimerMode::Live, *address);
        window_->load();
        window_->show();
        if (!QTest::qWaitForWindowExposed(window_.get())) {
            std::fprintf(stderr, "%s: the window did not show\n", program);
            window_.reset();
            return;
        }
        button_ = window_->findChild<QPushButton*>("CmdCountry");
    }

    bool ok() const { return button_ != nullptr; }
    std::string entryName() const { return std::string(CountryTable::entryName(entry)); }

    // One fetch of the entry, its rows painted; true when it ended with the list filled.
    // The progress display releases the button about a second after a fetch; a run does
    // not wait for that.
    bool fetch() {
        window_->setComboSelectedIndex(entry);
        window_->setEnabled(Control::CmdCountry, true);
        button_->click();
        window_->repaint();
        return status() == "Parsing done 100 %";
    }

    std::string status() const { return window_->caption(Control::LblAni); }
    // The listed places, without the header row.
    int rows() const { return window_->listCount() - 1; }

    int runs = 0;
    int entry = 0;

private:
    QtDesktop desktop_;
    PosixRegistry registry_;
    std::unique_ptr<CurlInternet> internet_;
    std::unique_ptr<FrmA1> window_;
    QPushButton* button_ = nullptr;
};

}  // namespace horalux::bench
