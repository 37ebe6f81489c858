#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTimer>

#include "platform/qt/QtDesktop.h"

namespace horalux {
namespace {

// Texts are ISO-8859-1 bytes on our side and reach the clipboard as the same characters.
TEST(QtDesktopTest, ClipboardTakesLatin1Bytes) {
    QtDesktop desktop;
    desktop.setClipboardText("Z\xFCrich  07:58");
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("Zürich  07:58"));
    desktop.setClipboardText("");
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
}

// A message box shows its text under its title with the icon its style asks for, and
// returns once dismissed.
TEST(QtDesktopTest, MessageBoxStyles) {
    struct Case {
        int style;
        QMessageBox::Icon icon;
    };
    for (const Case c : {Case{0, QMessageBox::NoIcon}, Case{16, QMessageBox::Critical},
                         Case{64, QMessageBox::Information}}) {
        QString seenText;
        QString seenTitle;
        QMessageBox::Icon seenIcon = QMessageBox::Question;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seenText = box->text();
            seenTitle = box->windowTitle();
            seenIcon = box->icon();
            box->accept();
        });
        QtDesktop().messageBox("Server not reachable \xB0", c.style, "FreeHoralux2");
        EXPECT_EQ(seenText, QString::fromUtf8("Server not reachable °"));
        EXPECT_EQ(seenTitle, "FreeHoralux2");
        EXPECT_EQ(seenIcon, c.icon) << c.style;
    }
}

}  // namespace
}  // namespace horalux
