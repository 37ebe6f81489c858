#include "Module1.h"

#include <QApplication>

#include "AppIcon.h"
#include "CurlInternet.h"
#include "FrmA1.h"
#include "FrmA1Logic.h"
#include "QtDesktop.h"

namespace horalux {

int Module1_Main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setApplicationVersion("2.3.0.1");
    QApplication::setWindowIcon(appIcon());

    CurlInternet internet;
    QtDesktop desktop;
    FrmA1 window(internet, desktop);
    if (!window.initialized()) {
        return 1;
    }
    window.load();
    window.show();
    return QApplication::exec();
}

}  // namespace horalux
