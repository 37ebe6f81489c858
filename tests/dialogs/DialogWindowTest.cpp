#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "FakeDesktop.h"
#include "FakeRegistry.h"
#include "dialogs/qt/FrmAbout.h"
#include "dialogs/qt/FrmConnect.h"

namespace horalux {
namespace {

using test::FakeDesktop;
using test::FakeRegistry;

// The child widget called `name`, which must exist.
template <typename T>
T* namedChild(QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QIcon someIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

class AboutBoxTest : public ::testing::Test {
protected:
    template <typename T>
    T* child(const char* name) {
        return namedChild<T>(about, name);
    }

    FakeRegistry registry;
    FakeDesktop desktop;
    FrmAbout about{registry, desktop, {"FreeHoralux2", 2, 3, 1}, someIcon()};
};

// A fixed dialog at its place on the screen, every control at its place in pixels at 15
// twips per pixel, with its text and font.
TEST_F(AboutBoxTest, LayoutAsDesigned) {
    EXPECT_EQ(about.geometry(), QRect(156, 129, 382, 237));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_FALSE(about.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(about.parentWidget(), nullptr);
    EXPECT_EQ(about.font().family(), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(about.font().pointSizeF(), 8.25);

    struct Expected {
        const char* name;
        QRect geometry;
        double points;
    };
    for (const Expected& e :
         {Expected{"Picture1", {16, 16, 30, 29}, 8.25}, Expected{"lblTitle", {70, 16, 259, 24}, 12},
          Expected{"lblDescription", {70, 56, 259, 78}, 8.25},
          Expected{"lblDisclaimer", {9, 175, 266, 55}, 8.25},
          Expected{"cmdOK", {283, 175, 84, 23}, 8.25},
          Expected{"cmdSysInfo", {284, 205, 83, 23}, 8.25},
          Expected{"Label1", {72, 144, 259, 15}, 9.75}}) {
        SCOPED_TRACE(e.name);
        auto* widget = child<QWidget>(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), e.geometry);
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), e.points);
    }
    EXPECT_TRUE(child<QLabel>("lblTitle")->font().bold());
    const QFont contact = child<QLabel>("Label1")->font();
    EXPECT_TRUE(contact.italic() && contact.underline());
    EXPECT_EQ(child<QLabel>("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_TRUE(child<QLabel>("Label1")->text().startsWith("Contact: "));
    EXPECT_EQ(child<QLabel>("lblVersion")->pos(), QPoint(120, 40));
    EXPECT_EQ(child<QPushButton>("cmdSysInfo")->text(), "&System Info...");
    EXPECT_TRUE(child<QPushButton>("cmdOK")->isDefault());

    EXPECT_EQ(child<QLabel>("Picture1")->pixmap().size(), QSize(28, 27));
    EXPECT_EQ(FrmAbout::picture().format(), QImage::Format_RGB888);

    // The description: one paragraph indented by five spaces; the warning quotes a phrase.
    const QString description = child<QLabel>("lblDescription")->text();
    EXPECT_TRUE(description.startsWith("     This program is a simple time-zone clock"));
    EXPECT_TRUE(description.endsWith(
        "Time zone means each country is located at different axis on globe. So each country "
        "has its own local time from sunrise to sunset. This program retrieves selected "
        "country's local time, etc. from Zonarium"));
    EXPECT_TRUE(child<QLabel>("lblDisclaimer")->text().contains(QRegularExpression("\"[^\"]+\"")));
    for (const char* name : {"lblDescription", "lblDisclaimer"}) {
        EXPECT_EQ(child<QLabel>(name)->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    // The etched separator: a grey line over a white one two pixels high.
    const QImage image = about.grab().toImage();
    EXPECT_EQ(image.pixelColor(200, 163), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(200, 164), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(200, 165), QColor(Qt::white));
    EXPECT_NE(image.pixelColor(200, 166), QColor(Qt::white));
}

// Load fills the caption, title and version and gives the dialog the main window's icon.
TEST_F(AboutBoxTest, LoadFillsTheTexts) {
    EXPECT_EQ(about.windowTitle(), "About MyApp");
    EXPECT_EQ(child<QLabel>("lblTitle")->text(), "Application Title");
    about.load();
    EXPECT_EQ(about.windowTitle(), "About FreeHoralux2");
    EXPECT_EQ(child<QLabel>("lblTitle")->text(), "FreeHoralux2");
    auto* version = child<QLabel>("lblVersion");
    EXPECT_EQ(version->text(), "Version 2.3.1");
    EXPECT_GE(version->width(), version->sizeHint().width());
    EXPECT_EQ(about.windowIcon().pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));
}

// OK, Enter and Escape close the dialog; Tab goes from OK to "System Info..." and back.
TEST_F(AboutBoxTest, KeysAndButtons) {
    about.load();
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Escape}) {
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
        auto* ok = child<QPushButton>("cmdOK");
        ok->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key);
        if (key == Qt::Key_Tab) {
            EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("cmdSysInfo"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), ok);
            QTest::mouseClick(ok, Qt::LeftButton);
        }
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

// "System Info..." looks the tool up and reports when there is none; the dialog stays.
TEST_F(AboutBoxTest, SystemInfoButton) {
    about.load();
    about.show();
    QTest::mouseClick(child<QPushButton>("cmdSysInfo"), Qt::LeftButton);
    ASSERT_EQ(desktop.messages.size(), 1U);
    EXPECT_EQ(desktop.messages[0].text, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(about.isVisible());
}

class ConnectDialogTest : public ::testing::Test {
protected:
    template <typename T>
    T* child(const char* name) {
        return namedChild<T>(dialog, name);
    }

    FrmConnectState state;
    FrmConnect dialog{state};
};

TEST_F(ConnectDialogTest, LayoutAsDesigned) {
    EXPECT_EQ(dialog.windowTitle(), "Connection");
    EXPECT_EQ(dialog.size(), QSize(361, 109));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    struct Expected {
        const char* name;
        QRect geometry;
        const char* text;
    };
    for (const Expected& e : {Expected{"Label1", {8, 10, 81, 17}, "Connection type"},
                              Expected{"Command1", {92, 40, 81, 33}, "&Save"},
                              Expected{"Command2", {188, 40, 81, 33}, "&Cancel"}}) {
        SCOPED_TRACE(e.name);
        auto* widget = child<QWidget>(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), e.geometry);
        const QString text = qobject_cast<QLabel*>(widget)
                                 ? qobject_cast<QLabel*>(widget)->text()
                                 : qobject_cast<QPushButton*>(widget)->text();
        EXPECT_EQ(text, e.text);
    }
    // Label3 keeps its place and grows only as far as its text needs, inside the dialog.
    auto* label3 = child<QLabel>("Label3");
    EXPECT_EQ(label3->text(), "Proxy Settings are used from IE (Internet Explorer) web browser.");
    EXPECT_EQ(label3->pos(), QPoint(31, 88));
    EXPECT_EQ(label3->height(), 13);
    EXPECT_GE(label3->width(), std::max(299, label3->sizeHint().width()));
    EXPECT_LE(label3->geometry().right(), dialog.width());

    auto* label2 = child<QLabel>("Label2");
    EXPECT_EQ(label2->text(), "This feature is for temporary use only");
    EXPECT_EQ(label2->pos(), QPoint(94, 72));
    EXPECT_EQ(label2->size(), label2->sizeHint());

    auto* type = child<QComboBox>("CmbType");
    EXPECT_EQ(type->geometry(), QRect(112, 8, 217, 21));
    EXPECT_FALSE(type->isEditable());
    ASSERT_EQ(type->count(), 2);
    EXPECT_EQ(type->itemText(0), "Use settings from IE");
    EXPECT_EQ(type->itemText(1), "Direct");
    EXPECT_EQ(type->currentIndex(), -1);
    dialog.load();
    EXPECT_EQ(type->currentIndex(), 0);
}

// Neither button is the default or the cancel button: Enter in the list and Escape do
// nothing. Tab runs list, "Save", "Cancel".
TEST_F(ConnectDialogTest, NoDefaultOrCancelButton) {
    dialog.load();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    for (const char* name : {"Command1", "Command2"}) {
        EXPECT_FALSE(child<QPushButton>(name)->isDefault()) << name;
    }
    auto* type = child<QComboBox>("CmbType");
    EXPECT_EQ(QApplication::focusWidget(), type);
    QTest::keyClick(type, Qt::Key_Return);
    QTest::keyClick(type, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(state.AccessType, 0);
    QTest::keyClick(type, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("Command2"));
}

// The buttons record the choice and hide the dialog; closing from the frame records
// nothing and says so.
TEST_F(ConnectDialogTest, ButtonsRecordTheChoice) {
    dialog.load();
    dialog.show();
    child<QComboBox>("CmbType")->setCurrentIndex(1);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(state.AccessType, 1);
    EXPECT_TRUE(dialog.isHidden());
    dialog.show();
    QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
    EXPECT_EQ(state.AccessType, -1);
    EXPECT_FALSE(dialog.closedFromFrame());
    dialog.show();
    dialog.close();
    EXPECT_TRUE(dialog.closedFromFrame());
    EXPECT_EQ(state.AccessType, -1);
}

}  // namespace
}  // namespace horalux
