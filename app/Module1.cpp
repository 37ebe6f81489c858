#include "app/Module1.h"

#include <QApplication>

#include <cstdio>
#include <string_view>

#include "app/AppIcon.h"
#include "app/FrmA1.h"
#include "app/core/FrmA1Logic.h"
#include "platform/CurlInternet.h"
#include "platform/PosixRegistry.h"
#include "platform/qt/QtDesktop.h"

namespace horalux {
namespace {

constexpr const char* kUsage =
    "Usage: horalux [--help | --version]\n"
    "Opens the Horalux window: pick a country and press \"Display time\" to list the local\n"
    "time, sunrise and sunset of its cities and towns.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Environment: HORALUX_SERVER=HOST[:PORT] names the time service (default 127.0.0.1:80).\n"
    "horalux-cli lists the same in a terminal.\n";

}  // namespace

int Module1_Main(int argc, char** argv) {
    // Answered before any window system is touched, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("horalux %s\n", HORALUX_VERSION);
            return 0;
        }
    }
    // The window repaints thin strips of itself many times a second. For images that small
    // the X server's shared-memory path costs more in round trips than it saves in copying.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationVersion(HORALUX_VERSION);
    QApplication::setWindowIcon(appIcon());

    QtDesktop desktop;
    std::string warning;
    const ServiceAddress service =
        serviceAddressFromSetting(desktop.environmentVariable(kServerVariable), warning);
    if (!warning.empty()) {
        std::fprintf(stderr, "horalux: %s\n", warning.c_str());
    }
    CurlInternet internet(service.host, service.port);
    PosixRegistry registry;
    FrmA1 window(internet, desktop, registry, TimerMode::Live, service);
    if (!window.initialized()) {
        return 1;
    }
    window.load();
    window.show();
    return QApplication::exec();
}

}  // namespace horalux
