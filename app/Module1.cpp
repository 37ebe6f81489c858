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
    ServiceAddress service;
    const std::string configured = desktop.environmentVariable(kServerVariable);
    if (!configured.empty()) {
        if (auto parsed = parseServiceAddress(configured)) {
            service = *parsed;
        } else {
            std::fprintf(stderr, "horalux: %s=\"%s\" is not HOST[:PORT]; using %s:%u\n",
                         kServerVariable, configured.c_str(), service.host.c_str(),
                         unsigned{service.port});
        }
    }
    CurlInternet internet(service);
    PosixRegistry registry;
    FrmA1 window(internet, desktop, registry);
    if (!window.initialized()) {
        return 1;
    }
    window.load();
    window.show();
    return QApplication::exec();
}

}  // namespace horalux
