#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "MainWindowFixture.h"
#include "fetch/ResultRow.h"

namespace horalux {
namespace {

constexpr int kIndia = 96;

std::string indiaPage() {
    return "<A HREF=\"/cgi-bin/wt.cgi?ID=Abc&land=76\">Refresh</A>\n"
           "<H3>Time information for selected cities and towns</H3>\n"
           "<TABLE CELLPADDING=4>\n<TR><TH>City/Town</TH><TH>Local time</TH><TH>UTC offset</TH>"
           "<TH>Sunrise</TH><TH>Sunset</TH></TR>\n"
           "<TR><TD VALIGN=Top>Agra</TD><TD>Mon 07 Dec 2026 10:15 IST</TD><TD>UTC+05:30</TD>"
           "<TD>06:54</TD><TD>17:24</TD></TR>\n"
           "<TR><TD VALIGN=Top>M\xFCnster</TD><TD>Mon 07 Dec 2026 10:15 IST</TD><TD>UTC+05:30</TD>"
           "<TD>06:59</TD><TD>18:01</TD></TR>\n</TABLE>\n";
}

class DisplayTimeTest : public MainWindowTest {
protected:
    // Shows the window online, with `entry` selected.
    void showWith(int entry) {
        show();
        window->logic().TmrInternetChk_Timer();
        window->setComboSelectedIndex(entry);
    }

    void click() { QTest::mouseClick(child<QPushButton>("CmdCountry"), Qt::LeftButton); }

    void reply(std::string body) {
        FakeInternet::Reply r;
        r.body = std::move(body);
        internet.replies.push_back(r);
    }

    const MainState& state() { return window->logic().state(); }
};

// A click lists the country: captions, heading, rows, the country list enabled, and the
// progress display left to wind down.
TEST_F(DisplayTimeTest, ClickListsTheCountry) {
    showWith(kIndia);
    reply(indiaPage());
    click();
    ASSERT_EQ(internet.requests.size(), 1U);
    EXPECT_EQ(internet.requests[0].object, "/cgi-bin/wt.cgi?cnt=604218&ID=&land=76");
    EXPECT_EQ(window->caption(Control::LblAni), "Parsing done 100 %");
    EXPECT_EQ(window->caption(Control::LblCountryName), "Country Name :India");
    ASSERT_EQ(window->listCount(), 3);
    EXPECT_EQ(window->listRow(0), HeaderRow());
    EXPECT_EQ(window->listRow(2),
              FormatResultRow("M\xFCnster", "Mon 07 Dec 2026 10:15 IST", "06:59", "18:01"));
    EXPECT_EQ(child<QLabel>("LblCountryName")->text(), "Country Name :India");
    EXPECT_TRUE(window->isEnabled(Control::CmbCountry));
    EXPECT_EQ(state().FetchBusy, kFlagClear);
    EXPECT_EQ(state().ScanStep, 10);
    EXPECT_EQ(state().ServiceId, "Abc");
    EXPECT_TRUE(window->isTimerEnabled(Timer::Timer2));
    EXPECT_TRUE(window->isVisible(Control::FrmAni));
    EXPECT_TRUE(desktop.messages.empty());
}

// Alt+D is the button's access key; the empty entry makes no request but ends the same way.
TEST_F(DisplayTimeTest, AccessKeyAndEmptyEntry) {
    showWith(kIndia);
    // The access key presses the button visibly; the click follows on a timer.
    QTest::keyClick(window->windowHandle(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return internet.requests.size() == 1; }));

    window->setComboSelectedIndex(0);
    window->logic().TmrInternetChk_Timer();
    window->logic().state().ScanStep = 0;
    click();
    EXPECT_EQ(internet.requests.size(), 1U);
    EXPECT_EQ(state().FetchBusy, kFlagClear);
    EXPECT_EQ(state().ScanStep, 10);
}

// A failure is told in the status label and a message box under the program's title; the
// list stays as it was.
TEST_F(DisplayTimeTest, FailureShowsAMessage) {
    showWith(kIndia);
    FakeInternet::Reply unsent;
    unsent.sendSucceeds = false;
    internet.replies.push_back(unsent);
    click();
    ASSERT_EQ(desktop.messages.size(), 1U);
    EXPECT_EQ(desktop.messages[0].text, "Server not reachable");
    EXPECT_EQ(desktop.messages[0].style, 64);
    EXPECT_EQ(desktop.messages[0].title, "FreeHoralux2");
    EXPECT_EQ(window->caption(Control::LblAni), "Server not reachable");
    EXPECT_EQ(window->listCount(), 1);
    EXPECT_EQ(state().FetchBusy, kFlagClear);
    EXPECT_EQ(state().ScanStep, 10);
}

// While a fetch waits, the watch may enable the button again: a click then starts nothing.
TEST_F(DisplayTimeTest, ClickDuringAFetchStartsNothing) {
    showWith(kIndia);
    reply(indiaPage());
    internet.onWait = [&] {
        internet.onWait = nullptr;
        EXPECT_EQ(state().FetchBusy, kFlagSet);
        window->logic().TmrInternetChk_Timer();
        click();
    };
    click();
    EXPECT_EQ(internet.requests.size(), 1U);
    EXPECT_EQ(window->listCount(), 3);
}

// Closing the window while the fetch waits: the close comes in through the events the
// fetch lets run, the handles are closed once, no message comes after the window has gone,
// and the fetch ends at once.
TEST_F(DisplayTimeTest, WindowClosedMidFetch) {
    showWith(kIndia);
    reply(indiaPage());
    internet.onWait = [&] {
        internet.onWait = nullptr;
        QMetaObject::invokeMethod(window.get(), &QWidget::close, Qt::QueuedConnection);
    };
    click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(internet.liveCount(), 0U);
    EXPECT_EQ(internet.closes.size(), 3U);
    EXPECT_EQ(window->listCount(), 1);
    EXPECT_EQ(state().FetchBusy, kFlagClear);
}

}  // namespace
}  // namespace horalux
