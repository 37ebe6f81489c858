#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "MainWindowFixture.h"
#include "app/SimpleComboBox.h"
#include "dialogs/qt/FrmAbout.h"
#include "dialogs/qt/FrmConnect.h"
#include "fetch/ResultRow.h"

namespace horalux {
namespace {

const std::string kNotice = "You will be having this feature in the my next version of Horalux";

class ListCommandsTest : public MainWindowTest {
protected:
    // Fills the list as a fetch does: the header row, then `rows` data rows.
    void fillList(int rows) {
        window->clearList();
        window->addListRow(HeaderRow());
        for (int i = 1; i <= rows; ++i) {
            window->addListRow(FormatResultRow("Town " + std::to_string(i),
                                               "Mon 07 Dec 2026 10:1" + std::to_string(i) + " IST",
                                               "06:58", "17:31"));
        }
    }
    QListWidget* list() { return child<QListWidget>("LstInfo"); }
    MainState& state() { return window->logic().state(); }
};

// Copy puts the selected row on the clipboard exactly as the list shows it, header row
// included; with no row selected it leaves the clipboard alone.
TEST_F(ListCommandsTest, CopyTakesTheSelectedRowAsShown) {
    create();
    fillList(3);
    list()->setCurrentRow(-1);
    window->logic().CmdCopy_Click();
    EXPECT_TRUE(desktop.clipboard.empty());

    list()->setCurrentRow(0);
    window->logic().CmdCopy_Click();
    list()->setCurrentRow(2);
    window->logic().CmdCopy_Click();
    ASSERT_EQ(desktop.clipboard.size(), 2U);
    EXPECT_EQ(desktop.clipboard[0], HeaderRow());
    EXPECT_EQ(desktop.clipboard[1],
              "Town 2                   Mon 07 Dec 2026 10:12 IST   06:58     17:31");
}

// Copy All joins every row, header first, with CR LF between rows and none after the last;
// an empty list gives an empty text.
TEST_F(ListCommandsTest, CopyAllJoinsEveryRow) {
    create();
    window->clearList();
    window->logic().CmdCopyAll_Click();
    fillList(0);
    window->logic().CmdCopyAll_Click();
    fillList(3);
    window->logic().CmdCopyAll_Click();
    ASSERT_EQ(desktop.clipboard.size(), 3U);
    EXPECT_EQ(desktop.clipboard[0], "");
    EXPECT_EQ(desktop.clipboard[1], HeaderRow());
    EXPECT_EQ(desktop.clipboard[2], HeaderRow() + "\r\n" + window->listRow(1) + "\r\n" +
                                        window->listRow(2) + "\r\n" + window->listRow(3));
}

// A data row enables both copy buttons, the header row leaves them as they are, and the
// list's loss of focus disables both. A press on a copy button keeps the focus in the list,
// so the press completes as a click.
TEST_F(ListCommandsTest, CopyButtonsFollowTheListsSelectionAndFocus) {
    show();
    fillList(2);
    auto* copy = child<QPushButton>("CmdCopy");
    auto* copyAll = child<QPushButton>("CmdCopyAll");
    list()->setFocus();
    window->setEnabled(Control::CmdCopy, false);
    window->setEnabled(Control::CmdCopyAll, false);

    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {},
                      list()->visualItemRect(list()->item(0)).center());
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_FALSE(copy->isEnabled());
    EXPECT_FALSE(copyAll->isEnabled());

    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(list()->currentRow(), 1);
    EXPECT_TRUE(copy->isEnabled());
    EXPECT_TRUE(copyAll->isEnabled());

    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), list());
    EXPECT_EQ(desktop.clipboard, std::vector<std::string>{window->listRow(1)});

    QTest::keyClick(list(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), list());
    EXPECT_FALSE(copy->isEnabled());
    EXPECT_FALSE(copyAll->isEnabled());
}

// Typing the first letters of a town in the list selects the first row that starts with
// them, letter case ignored; the letters typed one after another make one search, and the
// list's own keys still move the selection from where the search left it.
TEST_F(ListCommandsTest, TypingATownsFirstLettersSelectsIt) {
    show();
    // However slowly the test runs, the letters below count as one search.
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(60000);
    window->clearList();
    window->addListRow(HeaderRow());
    for (const char* town : {"Aberdeen", "Springdale", "Springfield (Illinois)",
                             "Springfield (Missouri)", "Tucson", "Tulsa"}) {
        window->addListRow(FormatResultRow(town, "Mon 07 Dec 2026 10:15 CST", "06:58", "17:31"));
    }
    list()->setFocus();
    list()->setCurrentRow(1);
    QTest::keyClicks(list(), "spr");
    EXPECT_EQ(list()->currentRow(), 2);
    QTest::keyClicks(list(), "INGF");
    EXPECT_EQ(list()->currentRow(), 3);
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(list()->currentRow(), 4);
    EXPECT_TRUE(child<QPushButton>("CmdCopy")->isEnabled());
    QTest::keyClick(list(), Qt::Key_End);
    EXPECT_EQ(list()->currentRow(), 6);
    list()->keyboardSearch({});  // a new search, as after a pause in the typing
    QTest::keyClicks(list(), "a");
    EXPECT_EQ(list()->currentRow(), 1);

    // The search goes by key presses, the T key's switch of the connectivity watch by key
    // releases: a T typed in the list does both.
    list()->keyboardSearch({});
    QTest::keyClicks(list(), "tuL");
    EXPECT_EQ(list()->currentRow(), 6);
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));
    QApplication::setKeyboardInputInterval(interval);
}

// Selecting a country, by pointer or by keyboard, starts nothing and changes nothing else.
TEST_F(ListCommandsTest, SelectingACountryStartsNothing) {
    show();
    window->setEnabled(Control::CmbCountry, true);
    auto* combo = child<SimpleComboBox>("CmbCountry");
    QListWidget* entries = combo->listView();
    QTest::mouseClick(entries->viewport(), Qt::LeftButton, {},
                      entries->visualItemRect(entries->item(3)).center());
    QTest::keyClick(combo->editField(), Qt::Key_Down);
    EXPECT_EQ(window->comboSelectedIndex(), 4);
    EXPECT_EQ(internet.opens.size(), 1U);
    EXPECT_TRUE(internet.closes.empty());
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(window->listCount(), 1);
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));
    EXPECT_EQ(window->caption(Control::LblCountryName), " Country Name: USA (Initial)");
}

// Both announced commands show the notice under the application title; the check box's
// mark follows each click and nothing else changes.
TEST_F(ListCommandsTest, AnnouncedCommandsShowTheNotice) {
    show();
    auto* check = child<QCheckBox>("ChkAutoget");
    QTest::mouseClick(child<QPushButton>("CmdSetLocal"), Qt::LeftButton);
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_TRUE(check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_FALSE(check->isChecked());
    ASSERT_EQ(desktop.messages.size(), 3U);
    for (const FakeDesktop::Message& message : desktop.messages) {
        EXPECT_EQ(message.text, kNotice);
        EXPECT_EQ(message.style, 0);
        EXPECT_EQ(message.title, "FreeHoralux2");
    }
    EXPECT_EQ(internet.opens.size(), 1U);
}

// "About us" minimises and hides the window, shows a fresh About box each time without an
// owner, and shows the window again in the normal state once it has closed (by Enter, by
// Escape).
TEST_F(ListCommandsTest, AboutShowsTheAboutBoxInPlaceOfTheWindow) {
    show();
    std::vector<QString> seen;
    window->setModalRunner([&](QDialog& dialog) {
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(window->isMinimized());
        EXPECT_EQ(dialog.parentWidget(), nullptr);
        seen.push_back(dialog.windowTitle() + "|" + dialog.findChild<QLabel*>("lblTitle")->text() +
                       "|" + dialog.findChild<QLabel*>("lblVersion")->text());
        dialog.show();
        QTest::keyClick(&dialog, seen.size() == 1 ? Qt::Key_Return : Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
    });
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(child<QPushButton>("CmdAbout"), Qt::LeftButton);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isWindowStateNormal());
    }
    EXPECT_EQ(seen, (std::vector<QString>(2, "About FreeHoralux2|FreeHoralux2|Version 2.3.1")));
}

// The program's own modal showing: the About box is the active modal window while the
// main window is hidden, and OK ends it.
TEST_F(ListCommandsTest, AboutRunsModally) {
    show();
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<FrmAbout*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        EXPECT_FALSE(window->isVisible());
        answered = true;
        about->findChild<QPushButton*>("cmdOK")->click();
    });
    window->logic().CmdAbout_Click();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class ConnectionCommandTest : public ListCommandsTest {
protected:
    // Answers the next "Connection" with `answer`, given the dialog on screen.
    void answerWith(std::function<void(FrmConnect&)> answer) {
        window->setModalRunner([this, answer](QDialog& dialog) {
            auto* connect = qobject_cast<FrmConnect*>(&dialog);
            ASSERT_NE(connect, nullptr);
            EXPECT_EQ(dialog.parentWidget(), nullptr);
            EXPECT_TRUE(window->isVisible());
            dialog.show();
            answer(*connect);
            EXPECT_FALSE(dialog.isVisible());
        });
    }
    static QComboBox* type(FrmConnect& dialog) { return dialog.findChild<QComboBox*>("CmbType"); }
    static void save(FrmConnect& dialog, int entry) {
        type(dialog)->setCurrentIndex(entry);
        QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    }
    static void cancel(FrmConnect& dialog) {
        QTest::mouseClick(dialog.findChild<QPushButton*>("Command2"), Qt::LeftButton);
    }
    void connection() { QTest::mouseClick(child<QPushButton>("CmdConnection"), Qt::LeftButton); }
};

// The first showing selects the first entry. "Save" closes connection, request and session
// in that order, each once, and opens a new session with the chosen access type; the
// dialog is only hidden, so the next showing finds the same dialog and selection.
TEST_F(ConnectionCommandTest, SaveReopensTheSessionWithTheChosenType) {
    show();
    const InternetHandle session = state().SessionHandle;
    // A fetch is running: its connection and request are open.
    state().ConnectHandle = internet.makeHandle();
    state().RequestHandle = internet.makeHandle();
    const std::vector<InternetHandle> closed{state().ConnectHandle, state().RequestHandle, session};
    answerWith([](FrmConnect& dialog) {
        EXPECT_EQ(type(dialog)->currentIndex(), 0);
        EXPECT_EQ(type(dialog)->currentText(), "Use settings from IE");
        save(dialog, 1);
    });
    connection();
    EXPECT_EQ(internet.closes, closed);
    EXPECT_EQ(state().ConnectHandle, kNoHandle);
    EXPECT_EQ(state().RequestHandle, kNoHandle);
    ASSERT_EQ(internet.opens.size(), 2U);
    EXPECT_EQ(internet.opens[1].accessType, 1);
    EXPECT_EQ(internet.opens[1].userAgent, "Vexor-Horalux 0.1 (Windows 5.1, x86, en)");
    EXPECT_EQ(state().SessionHandle, internet.lastHandle);
    EXPECT_TRUE(internet.sessions.count(state().SessionHandle));

    FrmConnect* first = window->connectionDialog();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isHidden());
    EXPECT_EQ(first->geometry().center(), window->geometry().center());
    answerWith([](FrmConnect& dialog) {
        EXPECT_EQ(type(dialog)->currentText(), "Direct");
        save(dialog, 0);
    });
    connection();
    EXPECT_EQ(window->connectionDialog(), first);
    ASSERT_EQ(internet.opens.size(), 3U);
    EXPECT_EQ(internet.opens[2].accessType, 0);
    EXPECT_EQ(internet.closes.size(), 4U);
    EXPECT_TRUE(desktop.messages.empty());
}

// "Cancel" leaves every handle as it was, whatever is selected.
TEST_F(ConnectionCommandTest, CancelLeavesTheSessionAlone) {
    show();
    const InternetHandle session = state().SessionHandle;
    answerWith([](FrmConnect& dialog) {
        type(dialog)->setCurrentIndex(1);
        cancel(dialog);
    });
    connection();
    EXPECT_EQ(state().SessionHandle, session);
    EXPECT_TRUE(internet.closes.empty());
    EXPECT_EQ(internet.opens.size(), 1U);
}

// Closed from its frame, the dialog runs no handler: AccessType keeps its value (0 before
// any choice, so the session is opened anew with the system's settings; -1 after a cancel)
// and the dialog is destroyed, so the next showing builds it afresh.
TEST_F(ConnectionCommandTest, ClosingFromTheFrameKeepsTheLastChoice) {
    show();
    answerWith([](FrmConnect& dialog) {
        type(dialog)->setCurrentIndex(1);
        dialog.close();
    });
    connection();
    EXPECT_EQ(window->connectionDialog(), nullptr);
    ASSERT_EQ(internet.opens.size(), 2U);
    EXPECT_EQ(internet.opens[1].accessType, 0);

    answerWith([](FrmConnect& dialog) {
        EXPECT_EQ(type(dialog)->currentIndex(), 0);
        cancel(dialog);
    });
    connection();
    answerWith([](FrmConnect& dialog) { dialog.close(); });
    connection();
    EXPECT_EQ(internet.opens.size(), 2U);
}

// A session that cannot be opened again is left at none, without a message.
TEST_F(ConnectionCommandTest, FailedReopenLeavesNoSessionQuietly) {
    show();
    internet.openSucceeds = false;
    answerWith([](FrmConnect& dialog) { save(dialog, 1); });
    connection();
    EXPECT_EQ(state().SessionHandle, kNoHandle);
    EXPECT_TRUE(desktop.messages.empty());
}

// A hidden connection dialog goes with the main window, so it cannot keep the program
// running; the program's own modal showing ends when the dialog hides.
TEST_F(ConnectionCommandTest, HiddenDialogGoesWithTheWindow) {
    show();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<FrmConnect*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QPushButton*>("Command2")->click();
    });
    window->logic().CmdConnection_Click();
    ASSERT_NE(window->connectionDialog(), nullptr);

    window->close();
    EXPECT_EQ(window->connectionDialog(), nullptr);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<FrmConnect*>(widget), nullptr);
    }
}

}  // namespace
}  // namespace horalux
