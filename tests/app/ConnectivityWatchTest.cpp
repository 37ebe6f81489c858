#include "MainWindowFixture.h"

namespace horalux {
namespace {

using ConnectivityWatchTest = MainWindowTest;

// The first tick brings the window up enabled and in its normal state, once.
TEST_F(ConnectivityWatchTest, FirstTickRestoresTheWindow) {
    show();
    window->setWindowEnabled(false);
    window->showMinimized();
    window->logic().TmrInternetChk_Timer();
    EXPECT_TRUE(window->isWindowEnabled());
    EXPECT_TRUE(window->isWindowStateNormal());
    EXPECT_EQ(window->logic().state().WatchStarted, kFlagSet);

    window->setWindowEnabled(false);
    window->logic().TmrInternetChk_Timer();
    EXPECT_FALSE(window->isWindowEnabled());
}

// Online: the button is enabled and everything is green; copy buttons and the combo's
// enabled state are left alone.
TEST_F(ConnectivityWatchTest, OnlineTick) {
    create();
    window->setEnabled(Control::CmdCopy, false);
    window->setComboSelectedIndex(96);
    internet.connected = true;
    window->logic().TmrInternetChk_Timer();
    EXPECT_TRUE(window->isEnabled(Control::CmdCountry));
    EXPECT_EQ(window->caption(Control::Label1), " Internet On");
    EXPECT_EQ(window->textColour(Control::Label1), (Rgb{128, 221, 64}));
    EXPECT_EQ(window->lineColour(), (Rgb{128, 221, 64}));
    EXPECT_EQ(window->shapeFillColour(), (Rgb{0, 222, 0}));
    EXPECT_FALSE(window->isEnabled(Control::CmdCopy));
    EXPECT_TRUE(window->isEnabled(Control::CmdCopyAll));
    EXPECT_FALSE(window->isEnabled(Control::CmbCountry));
    EXPECT_EQ(window->comboSelectedIndex(), 96);
    EXPECT_EQ(internet.connectedQueries, 1);
}

// Offline: disabled, red, and the default country selected again on every tick; going
// offline after a fetch leaves the list's rows.
TEST_F(ConnectivityWatchTest, OfflineTicksReselectTheDefaultCountry) {
    create();
    window->addListRow("Agra");
    window->logic().TmrInternetChk_Timer();
    internet.connected = false;
    window->setEnabled(Control::CmbCountry, true);
    window->setEnabled(Control::CmdCopy, false);
    window->setComboSelectedIndex(96);
    window->logic().TmrInternetChk_Timer();
    EXPECT_FALSE(window->isEnabled(Control::CmdCopy));
    EXPECT_TRUE(window->isEnabled(Control::CmdCopyAll));
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));
    EXPECT_EQ(window->caption(Control::Label1), " Internet Off");
    EXPECT_EQ(window->textColour(Control::Label1), (Rgb{255, 64, 64}));
    EXPECT_EQ(window->lineColour(), (Rgb{255, 64, 64}));
    EXPECT_EQ(window->shapeFillColour(), (Rgb{255, 0, 112}));
    EXPECT_EQ(window->comboSelectedIndex(), 225);
    EXPECT_EQ(window->comboText(), "USA");
    EXPECT_TRUE(window->isEnabled(Control::CmbCountry));
    EXPECT_EQ(window->listCount(), 2);

    window->setComboSelectedIndex(12);
    window->logic().TmrInternetChk_Timer();
    EXPECT_EQ(window->comboSelectedIndex(), 225);
}

// Switching the watch off while offline leaves its last word on screen and frees the
// three buttons; switching it on again writes nothing until its next tick.
TEST_F(ConnectivityWatchTest, TKeyWhileOffline) {
    show();
    internet.connected = false;
    window->logic().TmrInternetChk_Timer();
    window->setEnabled(Control::CmdCopy, false);
    window->setEnabled(Control::CmdCopyAll, false);

    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_T);
    EXPECT_FALSE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_EQ(window->caption(Control::Label1), " Internet Off");
    EXPECT_TRUE(window->isEnabled(Control::CmdCountry));
    EXPECT_TRUE(window->isEnabled(Control::CmdCopy));
    EXPECT_TRUE(window->isEnabled(Control::CmdCopyAll));

    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_T);
    EXPECT_TRUE(window->isTimerEnabled(Timer::TmrInternetChk));
    EXPECT_TRUE(window->isEnabled(Control::CmdCountry));
    EXPECT_EQ(internet.connectedQueries, 1);
}

}  // namespace
}  // namespace horalux
