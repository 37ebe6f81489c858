#include "Module1.h"

#include <QApplication>

#include <cstdio>

#include "AppIcon.h"
#include "CurlInternet.h"
#include "FrmA1.h"
#include "FrmA1Logic.h"
#include "PosixRegistry.h"
#include "QtDesktop.h"

namespace horalux {

int Module1_Main(int argc, char** argv) {
    // The window repaints thin strips of itself many times a second. For images that small
    // the X server's shared-memory path costs more in round trips than it saves in copying.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationVersion("2.3.0.1");
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
