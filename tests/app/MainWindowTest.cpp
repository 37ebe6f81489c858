#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "MainWindowFixture.h"
#include "app/SimpleComboBox.h"

namespace horalux {
namespace {

Rgb rgb(const QColor& c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

// Before load the combo shows its design-time text and no selection.
TEST_F(MainWindowTest, ComboBeforeLoad) {
    window = std::make_unique<FrmA1>(internet, desktop, registry, TimerMode::Manual);
    EXPECT_EQ(window->comboText(), "Pre-loaded 236 country list");
    EXPECT_EQ(window->comboSelectedIndex(), -1);
    EXPECT_EQ(window->listCount(), 0);
}

// Every control at its place, in pixels at 15 twips per pixel, with its text and font.
TEST_F(MainWindowTest, ControlsAreLaidOutAsDesigned) {
    create();
    EXPECT_EQ(window->windowTitle(), "Horalux 2.3 Lite- Powered by Zonarium");
    EXPECT_EQ(window->size(), QSize(751, 463));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowIcon().isNull());

    struct Expected {
        const char* name;
        QRect geometry;
        const char* text;
        const char* family;
        double points;
        bool bold;
    };
    const Expected controls[] = {
        {"CmdCopyAll", {328, 424, 49, 33}, "Copy &All", "MS Sans Serif", 8.25, false},
        {"CmdConnection", {184, 424, 81, 33}, "&Connection", "MS Sans Serif", 8.25, false},
        {"CmdAbout", {384, 424, 81, 33}, "About &us", "MS Sans Serif", 8.25, false},
        {"CmdCopy", {272, 424, 49, 33}, "&Copy", "MS Sans Serif", 8.25, false},
        {"ChkAutoget", {472, 424, 81, 33}, "&Automatic Update", "MS Sans Serif", 8.25, false},
        {"CmdSetLocal", {96, 424, 81, 33}, "&Set Local time", "MS Sans Serif", 8.25, false},
        {"CmdCountry", {8, 424, 81, 33}, "&Display time", "MS Sans Serif", 8.25, false},
        {"LblCountryName",
         {184, 8, 561, 25},
         " Country Name: USA (Initial)",
         "Courier New",
         12,
         true},
        {"Label1", {560, 434, 185, 23}, " Internet off", "Courier New", 15.75, true},
        {"LblAni", {8, 8, 313, 97}, "Ani", "Courier New", 14.25, true},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        auto* widget = child<QWidget>(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), e.geometry);
        EXPECT_EQ(widget->font().family(), e.family);
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), e.points);
        EXPECT_EQ(widget->font().bold(), e.bold);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), e.text);
        } else {
            EXPECT_EQ(qobject_cast<QAbstractButton*>(widget)->text(), e.text);
        }
    }
    auto* list = child<QListWidget>("LstInfo");
    EXPECT_EQ(list->geometry(), QRect(184, 32, 561, 379));
    EXPECT_EQ(list->font().family(), "Courier New");
    EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 9);
    EXPECT_EQ(list->toolTip(), "Displays time-zone of City or Town");
    EXPECT_EQ(list->palette().color(QPalette::Base), QColor(255, 240, 255));

    auto* combo = child<SimpleComboBox>("CmbCountry");
    EXPECT_EQ(combo->geometry(), QRect(8, 8, 161, 407));
    EXPECT_EQ(combo->toolTip(), "Pre-loaded 236 country list");
    EXPECT_EQ(combo->count(), 237);
    EXPECT_EQ(combo->editField()->palette().color(QPalette::Base), QColor(255, 240, 240));
    EXPECT_EQ(combo->listView()->palette().color(QPalette::Base), QColor(255, 240, 240));

    auto* frame = child<QFrame>("FrmAni");
    EXPECT_EQ(frame->geometry(), QRect(184, 128, 329, 113));
    EXPECT_EQ(frame->palette().color(QPalette::Window), QColor(255, 0, 112));
    EXPECT_EQ(child<QLabel>("LblAni")->parentWidget(), frame);
    EXPECT_EQ(window->textColour(Control::LblAni), (Rgb{170, 0, 16}));
    EXPECT_EQ(window->textColour(Control::Label1), (Rgb{208, 208, 208}));
    EXPECT_EQ(child<QLabel>("Label1")->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(child<QCheckBox>("ChkAutoget")->palette().color(QPalette::Window),
              QColor(160, 10, 255));
    EXPECT_EQ(child<QCheckBox>("ChkAutoget")->palette().color(QPalette::WindowText),
              QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(window->textColour(Control::LblCountryName),
              rgb(QApplication::palette().color(QPalette::WindowText)));
    EXPECT_EQ(window->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(combo->font().family(), "MS Sans Serif");
    EXPECT_DOUBLE_EQ(combo->font().pointSizeF(), 8.25);
    EXPECT_EQ(frame->font().family(), "Wingdings");
    EXPECT_TRUE(frame->font().bold());
    EXPECT_FALSE(child<QCheckBox>("ChkAutoget")->isChecked());
    EXPECT_EQ(window->shapeFillColour(), (Rgb{224, 224, 224}));
    EXPECT_EQ(window->lineColour(), (Rgb{224, 224, 224}));
    EXPECT_EQ(window->lineY1(), 240);
    EXPECT_EQ(window->lineY2(), 255);
}

// What the user finds when the window first appears.
TEST_F(MainWindowTest, InitialStatesAfterLoad) {
    create();
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));
    EXPECT_FALSE(window->isEnabled(Control::CmbCountry));
    for (Control c :
         {Control::CmdSetLocal, Control::CmdConnection, Control::CmdCopy, Control::CmdCopyAll,
          Control::CmdAbout, Control::ChkAutoget, Control::LstInfo}) {
        EXPECT_TRUE(window->isEnabled(c));
    }
    EXPECT_FALSE(window->isVisible(Control::FrmAni));
    EXPECT_TRUE(window->isVisible(Control::LblAni));
    EXPECT_TRUE(window->isTimerEnabled(Timer::Timer1));
    EXPECT_EQ(window->timerInterval(Timer::Timer1), 1);
    EXPECT_TRUE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_EQ(window->timerInterval(Timer::TmrInternetChk), 1000);
    EXPECT_FALSE(window->isTimerEnabled(Timer::Timer2));
    EXPECT_EQ(window->timerInterval(Timer::Timer2), 10);
    EXPECT_FALSE(window->isTimerEnabled(Timer::Timer3));
    EXPECT_EQ(window->timerInterval(Timer::Timer3), 1);

    // The header row: 69 characters, columns starting at 26, 54 and 64 (counted from 1).
    ASSERT_EQ(window->listCount(), 1);
    const std::string header = window->listRow(0);
    EXPECT_EQ(header.size(), 69U);
    EXPECT_EQ(header.find("Local time"), 25U);
    EXPECT_EQ(header.find("Sunrise"), 53U);
    EXPECT_EQ(header.find("Sunset"), 63U);
    EXPECT_EQ(header.substr(0, 9), "City/Town");

    EXPECT_EQ(window->comboSelectedIndex(), 225);
    EXPECT_EQ(window->comboText(), "USA");
    EXPECT_EQ(window->comboItemData(224), 224);
    EXPECT_EQ(window->comboItemData(236), 0);
    EXPECT_FALSE(window->comboItemData(237));

    const MainState& state = window->logic().state();
    EXPECT_EQ(state.ScanStep, 10);
    EXPECT_EQ(state.FetchBusy, 0);
    EXPECT_EQ(state.ScanPos, 0);
    EXPECT_EQ(state.AniTop, 0);
    EXPECT_TRUE(state.ServiceId.empty());
    ASSERT_EQ(internet.opens.size(), 1U);
    EXPECT_EQ(internet.opens[0].userAgent, "Vexor-Horalux 0.1 (Windows 5.1, x86, en)");
    EXPECT_EQ(internet.opens[0].accessType, 0);
    EXPECT_EQ(state.SessionHandle, internet.lastHandle);
    EXPECT_TRUE(desktop.messages.empty());
}

// Controls higher in the stacking order are drawn over those below; the panel lies over
// the result list when shown.
TEST_F(MainWindowTest, StackingOrder) {
    show();
    const QPoint listMiddle = child<QListWidget>("LstInfo")->geometry().center();
    EXPECT_NE(window->childAt(listMiddle), child<QFrame>("FrmAni"));
    window->setVisible(Control::FrmAni, true);
    QWidget* top = window->childAt(listMiddle);
    EXPECT_TRUE(top == child<QFrame>("FrmAni") || top == child<QLabel>("LblAni"));

    // The scan line and the heading's rectangle lie under every control: the line shows
    // in the gap left of the country list, the rectangle at the heading's right end.
    const QImage image = window->grab().toImage();
    EXPECT_EQ(image.pixelColor(3, 16), QColor(224, 224, 224));
    EXPECT_EQ(image.pixelColor(740, 28), QColor(224, 224, 224));
    window->setShapeFillColour({0, 222, 0});
    EXPECT_EQ(window->grab().toImage().pixelColor(740, 28), QColor(0, 222, 0));

    // Down at the buttons the line shows between them, never over one.
    window->setLineY(440 * 15);
    window->setLineColour({255, 64, 64});
    const QImage low = window->grab().toImage();
    EXPECT_EQ(low.pixelColor(3, 440), QColor(255, 64, 64));
    EXPECT_EQ(low.pixelColor(92, 440), QColor(255, 64, 64));
    EXPECT_NE(low.pixelColor(200, 440), QColor(255, 64, 64));
}

// Tab from the result list passes over the disabled "Display time" to "Set Local time";
// with everything enabled, Tab visits every control in its order and comes round again.
TEST_F(MainWindowTest, TabOrder) {
    show();
    EXPECT_EQ(QApplication::focusWidget(), child<QListWidget>("LstInfo"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("CmdSetLocal"));

    window->setEnabled(Control::CmdCountry, true);
    window->setEnabled(Control::CmbCountry, true);
    child<QListWidget>("LstInfo")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("CmdCountry"));
    // Leaving the list disabled the copy buttons; enabled again, Tab reaches them too.
    window->setEnabled(Control::CmdCopy, true);
    window->setEnabled(Control::CmdCopyAll, true);
    const std::vector<QWidget*> order{child<QPushButton>("CmdSetLocal"),
                                      child<QPushButton>("CmdConnection"),
                                      child<QPushButton>("CmdCopy"),
                                      child<QPushButton>("CmdCopyAll"),
                                      child<QPushButton>("CmdAbout"),
                                      child<QCheckBox>("ChkAutoget"),
                                      child<SimpleComboBox>("CmbCountry")->editField(),
                                      child<QListWidget>("LstInfo")};
    for (QWidget* expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }
}

// A screen reader finds a name for every control: the lists, the country field and the panel
// by what they hold, the others by their text without the access-key marker.
TEST_F(MainWindowTest, ScreenReaderNamesEveryControl) {
    show();
    auto* combo = child<SimpleComboBox>("CmbCountry");
    const std::pair<QWidget*, const char*> expected[] = {
        {combo->editField(), "Country"},
        {combo->listView(), "Country"},
        {child<QListWidget>("LstInfo"), "Cities and towns"},
        {child<QFrame>("FrmAni"), "Progress"},
        {child<QPushButton>("CmdCountry"), "Display time"},
        {child<QCheckBox>("ChkAutoget"), "Automatic Update"},
        {child<QLabel>("Label1"), " Internet off"},
    };
    for (const auto& [widget, name] : expected) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr) << name;
        EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), name);
    }
    // No control the window shows goes unnamed.
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
            << control->objectName().toStdString();
    }
}

// T switches the watch off and on wherever the focus is; turning it off enables the three
// buttons; other keys do nothing.
TEST_F(MainWindowTest, TKeyTogglesTheWatch) {
    show();
    window->setEnabled(Control::CmdCopy, false);
    window->setEnabled(Control::CmdCopyAll, false);

    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_X);
    EXPECT_TRUE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));

    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_T, Qt::ShiftModifier);
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_TRUE(window->isEnabled(Control::CmdCountry));
    EXPECT_TRUE(window->isEnabled(Control::CmdCopy));
    EXPECT_TRUE(window->isEnabled(Control::CmdCopyAll));

    window->setEnabled(Control::CmdCopy, false);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_FALSE(window->isEnabled(Control::CmdCopy));

    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));

    // A held key repeats its releases; only the real release counts.
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_T, Qt::NoModifier, "t", true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));
}

// Typed into the combo's edit field, each t toggles the watch once and still reaches
// the field.
TEST_F(MainWindowTest, TKeyInsideTheComboEditField) {
    show();
    window->setEnabled(Control::CmbCountry, true);
    QLineEdit* edit = child<SimpleComboBox>("CmbCountry")->editField();
    edit->setFocus();
    edit->clear();
    ASSERT_EQ(QApplication::focusWidget(), edit);

    QTest::keyClick(edit, 't');
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));
    QTest::keyClick(edit, 't');
    EXPECT_TRUE(window->isTimerEnabled(Timer::TmrInternetChk));
    QTest::keyClick(edit, 'T', Qt::ShiftModifier);
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_EQ(edit->text(), "ttT");
}

// Typing in the combo's edit field moves the list to the first entry starting with the
// typed text, so what is shown and what is selected cannot drift apart.
TEST_F(MainWindowTest, ComboListFollowsTypedText) {
    show();
    window->setEnabled(Control::CmbCountry, true);
    QLineEdit* edit = child<SimpleComboBox>("CmbCountry")->editField();
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, "ind");
    EXPECT_EQ(window->comboSelectedIndex(), 96);  // "India"
    EXPECT_EQ(window->comboText(), "ind");
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(window->comboSelectedIndex(), -1);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(window->comboSelectedIndex(), 0);
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(window->comboSelectedIndex(), 1);
    EXPECT_EQ(window->comboText(), "Afghanistan");
}

// Unloading closes connection, request and session in that order, each once.
TEST_F(MainWindowTest, UnloadClosesHandlesInOrder) {
    create();
    MainState& state = window->logic().state();
    const InternetHandle session = state.SessionHandle;
    state.ConnectHandle = internet.makeHandle();
    state.RequestHandle = internet.makeHandle();
    const std::vector<InternetHandle> expected{state.ConnectHandle, state.RequestHandle, session};
    window->close();
    EXPECT_EQ(internet.closes, expected);
    EXPECT_EQ(state.SessionHandle, kNoHandle);
    EXPECT_EQ(state.ConnectHandle, kNoHandle);
    EXPECT_EQ(state.RequestHandle, kNoHandle);
    int cancel = 0;
    window->logic().Form_Unload(cancel);
    EXPECT_EQ(internet.closes, expected);
    EXPECT_EQ(internet.liveCount(), 0U);
}

TEST_F(MainWindowTest, UnloadBeforeAnyFetchClosesOnlyTheSession) {
    create();
    const InternetHandle session = window->logic().state().SessionHandle;
    window->close();
    EXPECT_EQ(internet.closes, std::vector<InternetHandle>{session});
}

// Without a session the user is told once; the window still loads in full.
TEST_F(MainWindowTest, SessionFailureIsReportedAndLoadGoesOn) {
    internet.openSucceeds = false;
    create();
    ASSERT_EQ(desktop.messages.size(), 1U);
    EXPECT_EQ(desktop.messages[0].text, "Internet session failed to create");
    EXPECT_EQ(desktop.messages[0].style, 0);
    EXPECT_EQ(desktop.messages[0].title, "FreeHoralux2");
    EXPECT_EQ(window->logic().state().SessionHandle, kNoHandle);
    EXPECT_EQ(window->listCount(), 1);
    EXPECT_EQ(window->comboText(), "USA");
    window->close();
    EXPECT_TRUE(internet.closes.empty());
}

// The library check looks for the loaded client library in the system folder; a file
// of any length passes, and only "not found" stops the program.
TEST_F(MainWindowTest, LibraryCheckPassesUnlessTheFileIsNotFound) {
    desktop.files[kLibraryPath] = {FileLength::Status::Ok, 0};
    EXPECT_TRUE(create().initialized());
    EXPECT_EQ(desktop.fileQueries.front(), kLibraryPath);

    desktop.files[kLibraryPath] = {FileLength::Status::OtherError, 0};
    EXPECT_TRUE(create().initialized());
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(MainWindowTest, MissingLibraryExplainsAndEndsWithoutLoading) {
    desktop.files.clear();
    desktop.environment["windir"] = "C:\\WINDOWS";
    create();
    EXPECT_FALSE(window->initialized());
    ASSERT_EQ(desktop.messages.size(), 1U);
    EXPECT_EQ(desktop.messages[0].title, "DLL Missing File");
    EXPECT_EQ(desktop.messages[0].style, 16);
    EXPECT_EQ(desktop.messages[0].text,
              "File 'WININET.DLL' is missing from windows directory\r\n\r\n"
              "Download link - https://curl.se/download.html\r\n"
              "This download link is copied for you and paste it into your web browser\r\n"
              "Save MSINET.OCX file to C:\\WINDOWS\\System32 system folder and make a backup "
              "copy also\r\n\r\n"
              "Vexor-Horalux or Dllarchive is not responsible for any damage to any your "
              "electronic medium\r\n"
              "This software and Dllarchive are separate entities and are not joint under any "
              "'aggreements' or 'policies' or 'etc'");
    EXPECT_EQ(desktop.clipboard, (std::vector<std::string>{"", "https://curl.se/download.html"}));
    ASSERT_EQ(desktop.started.size(), 1U);
    EXPECT_EQ(desktop.started[0].argv,
              (std::vector<std::string>{"xdg-open", "/usr/lib/x86_64-linux-gnu"}));
    EXPECT_EQ(desktop.started[0].windowStyle, 2);
    EXPECT_TRUE(internet.opens.empty());
}

// The system folder is read into 255 characters at most.
TEST_F(MainWindowTest, WindowsDirIsCutTo255Characters) {
    create();
    desktop.systemDir = std::string(300, 'd');
    EXPECT_EQ(window->logic().GetWindowsDir(), std::string(255, 'd'));
    desktop.systemDir.clear();
    EXPECT_EQ(window->logic().GetWindowsDir(), "");
}

}  // namespace
}  // namespace horalux
