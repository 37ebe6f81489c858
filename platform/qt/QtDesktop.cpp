#include "platform/qt/QtDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

#include "platform/qt/QtConvert.h"

namespace horalux {
namespace {

// Icon bits of a message-box style.
constexpr int kIconMask = 0x70;

QMessageBox::Icon iconOf(int style) {
    switch (style & kIconMask) {
        case 16:
            return QMessageBox::Critical;
        case 32:
            return QMessageBox::Question;
        case 48:
            return QMessageBox::Warning;
        case 64:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

void QtDesktop::messageBox(const std::string& text, int style, const std::string& title) {
    QMessageBox box(iconOf(style), fromBytes(title), fromBytes(text), QMessageBox::Ok);
    box.setObjectName("MessageBox");
    box.exec();
}

void QtDesktop::setClipboardText(const std::string& text) {
    QApplication::clipboard()->setText(fromBytes(text));
}

}  // namespace horalux
