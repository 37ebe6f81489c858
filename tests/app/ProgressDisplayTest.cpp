#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "MainWindowFixture.h"
#include "app/SimpleComboBox.h"

namespace horalux {
namespace {

class ProgressDisplayTest : public MainWindowTest {
protected:
    // What a fetch does when it starts, and when its handler ends.
    void startFetch() {
        state().FetchBusy = kFlagSet;
        state().ScanStep = 100;
        window->logic().Timer2_Timer();
        window->setTimerEnabled(Timer::Timer2, true);
    }
    void endFetch() {
        state().ScanStep = 10;
        state().FetchBusy = kFlagClear;
    }
    MainState& state() { return window->logic().state(); }
    FrmA1Logic& logic() { return window->logic(); }
};

// With step 10 the line visits 10, 20, ... 6890; reaching 6900 wraps to 0 without moving
// the line; then 10 again.
TEST_F(ProgressDisplayTest, ScanLineWrapsAt6900) {
    create();
    for (int expected = 10; expected <= 6890; expected += 10) {
        logic().Timer1_Timer();
        ASSERT_EQ(state().ScanPos, expected);
        ASSERT_EQ(window->lineY1(), expected);
        ASSERT_EQ(window->lineY2(), expected);
    }
    logic().Timer1_Timer();
    EXPECT_EQ(state().ScanPos, 0);
    EXPECT_EQ(window->lineY1(), 6890);
    logic().Timer1_Timer();
    EXPECT_EQ(state().ScanPos, 10);

    // During a fetch the step is 100: 100, ..., 6800, then 0.
    state().ScanPos = 0;
    state().ScanStep = 100;
    for (int expected = 100; expected <= 6800; expected += 100) {
        logic().Timer1_Timer();
        ASSERT_EQ(state().ScanPos, expected);
    }
    logic().Timer1_Timer();
    EXPECT_EQ(state().ScanPos, 0);
    EXPECT_EQ(window->lineY1(), 6800);
}

// The label jitters +4, -1 from wherever it stands, and starts again at 120 past 4935.
TEST_F(ProgressDisplayTest, StatusLabelJitters) {
    create();
    state().FetchBusy = kFlagSet;
    state().AniTop = 120;
    state().AniPhase = kFlagClear;
    for (int expected : {124, 123, 127, 126}) {
        logic().Timer3_Timer();
        EXPECT_EQ(state().AniTop, expected);
        EXPECT_EQ(window->top(Control::LblAni), expected);
    }
    state().AniTop = 4936;
    state().AniPhase = kFlagClear;
    logic().Timer3_Timer();
    EXPECT_EQ(state().AniTop, 124);
    state().AniTop = 4935;
    state().AniPhase = kFlagClear;
    logic().Timer3_Timer();
    EXPECT_EQ(state().AniTop, 4939);

    // Before the very first fetch the label stands at 0 and jumps to 4.
    create();
    state().FetchBusy = kFlagSet;
    logic().Timer3_Timer();
    EXPECT_EQ(window->top(Control::LblAni), 4);
}

// A whole fetch: shown at once, kept shown, hidden by Timer3 after the end, held for a
// second, then released.
TEST_F(ProgressDisplayTest, ShowHoldAndReleaseAroundAFetch) {
    create();
    window->setEnabled(Control::CmdCountry, true);
    startFetch();
    EXPECT_TRUE(window->isVisible(Control::FrmAni));
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));
    EXPECT_EQ(window->caption(Control::LblAni), "Retrieving data from Zonarium server");
    EXPECT_TRUE(window->isTimerEnabled(Timer::Timer3));
    EXPECT_TRUE(window->isTimerEnabled(Timer::Timer2));
    EXPECT_EQ(window->timerInterval(Timer::Timer2), 10);
    EXPECT_EQ(logic().lblAniTag(), "TmrInternetChk");

    // Later show steps keep the fetch's own text and disable the button again.
    window->setCaption(Control::LblAni, "Server found");
    window->setEnabled(Control::CmdCountry, true);
    logic().Timer2_Timer();
    EXPECT_EQ(window->caption(Control::LblAni), "Server found");
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));

    endFetch();
    logic().Timer3_Timer();
    EXPECT_FALSE(window->isVisible(Control::FrmAni));
    EXPECT_EQ(state().AniTop, 124);
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));

    logic().Timer2_Timer();  // hold
    EXPECT_EQ(window->timerInterval(Timer::Timer2), 1000);
    EXPECT_EQ(logic().timer2Tag(), "h");
    EXPECT_FALSE(window->isEnabled(Control::CmdCountry));
    EXPECT_TRUE(window->isTimerEnabled(Timer::Timer3));

    logic().Timer2_Timer();  // release
    EXPECT_FALSE(window->isVisible(Control::FrmAni));
    EXPECT_EQ(logic().lblAniTag(), "");
    EXPECT_EQ(logic().timer2Tag(), "");
    EXPECT_EQ(window->timerInterval(Timer::Timer2), 10);
    EXPECT_FALSE(window->isTimerEnabled(Timer::Timer3));
    EXPECT_TRUE(window->isEnabled(Control::CmdCountry));
    EXPECT_TRUE(window->isTimerEnabled(Timer::Timer2));

    // Idle: the next tick only sets the interval back to a second.
    logic().Timer2_Timer();
    EXPECT_EQ(window->timerInterval(Timer::Timer2), 1000);
    EXPECT_EQ(logic().timer2Tag(), "");

    // A second fetch finds Timer2 at a second and leaves it there.
    startFetch();
    EXPECT_EQ(window->timerInterval(Timer::Timer2), 1000);
    EXPECT_TRUE(window->isVisible(Control::FrmAni));
    EXPECT_EQ(window->caption(Control::LblAni), "Retrieving data from Zonarium server");
}

// In the live window the timers tick at the scan line's pace at the fastest, Timer2 and
// Timer3 stay still until a fetch, and switching a timer off stops its ticks.
TEST_F(ProgressDisplayTest, LiveTimersFollowTheirSettings) {
    window = std::make_unique<FrmA1>(internet, desktop, registry, TimerMode::Live);
    window->load();
    auto* timer1 = window->findChild<QTimer*>("Timer1");
    auto* watch = window->findChild<QTimer*>("TmrInternetChk");
    ASSERT_TRUE(timer1 && watch);
    EXPECT_TRUE(timer1->isActive());
    EXPECT_EQ(timer1->interval(), 11);
    EXPECT_EQ(timer1->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(watch->interval(), 1000);
    EXPECT_FALSE(window->findChild<QTimer*>("Timer2")->isActive());
    EXPECT_FALSE(window->findChild<QTimer*>("Timer3")->isActive());
    window->setTimerEnabled(Timer::TmrInternetChk, false);
    EXPECT_FALSE(watch->isActive());
    window->setTimerInterval(Timer::Timer2, 1000);
    window->setTimerEnabled(Timer::Timer2, true);
    EXPECT_EQ(window->findChild<QTimer*>("Timer2")->interval(), 1000);
}

// Moving the scan line repaints thin bands of the window's own background only: no
// control is repainted for it.
TEST_F(ProgressDisplayTest, ScanLineRepaintsOnlyThinStrips) {
    show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    // Let the first tick and whatever showing the window left pending settle.
    window->logic().Timer1_Timer();
    window->repaint();
    QCoreApplication::processEvents();

    struct PaintCounter : QObject {
        int controls = 0;
        int window = 0;
        int tallest = 0;
        QWidget* frame = nullptr;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                if (watched == frame) {
                    ++window;
                    tallest = std::max(tallest, static_cast<QPaintEvent*>(event)->rect().height());
                } else {
                    ++controls;
                }
            }
            return false;
        }
    } counter;
    counter.frame = window.get();
    window->installEventFilter(&counter);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        child->installEventFilter(&counter);
    }
    for (int i = 0; i < 40; ++i) {
        window->logic().Timer1_Timer();
        QCoreApplication::processEvents();
    }
    EXPECT_GT(counter.window, 0);
    EXPECT_LE(counter.tallest, 16);
    EXPECT_EQ(counter.controls, 0);
}

}  // namespace
}  // namespace horalux
