#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "EndToEndSupport.h"
#include "FakeDesktop.h"
#include "FakeRegistry.h"
#include "app/FrmA1.h"
#include "dialogs/qt/FrmConnect.h"
#include "platform/CurlInternet.h"

namespace horalux {
namespace {

using test::servedPlaces;
using test::service;

// The window over the real client and a real service, loaded and shown.
class WindowEndToEndTest : public ::testing::Test {
protected:
    WindowEndToEndTest() {
        window.load();
        window.show();
    }

    // A desktop on which the start-up check finds the HTTP client library.
    static test::FakeDesktop desktopWithLibrary() {
        test::FakeDesktop desktop;
        desktop.files[desktop.systemDir + "/" + desktop.libraryName] = {FileLength::Status::Ok, 1};
        return desktop;
    }

    const ServiceAddress address{"127.0.0.1", static_cast<std::uint16_t>(service().port())};
    CurlInternet internet{address.host, address.port};
    test::FakeDesktop desktop = desktopWithLibrary();
    test::FakeRegistry registry;
    FrmA1 window{internet, desktop, registry, TimerMode::Manual, address};
};

// A click lists the country in full; Copy and Copy All take the rows as shown.
TEST_F(WindowEndToEndTest, ClickListsTheCountry) {
    window.logic().TmrInternetChk_Timer();
    auto* button = window.findChild<QPushButton*>("CmdCountry");

    struct Country {
        int entry;
        int code;
        const char* name;
    };
    for (const Country& country : {Country{96, 76, "India"}, Country{225, 224, "USA"}}) {
        SCOPED_TRACE(country.name);
        window.setComboSelectedIndex(country.entry);
        window.setEnabled(Control::CmdCountry, true);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(window.caption(Control::LblAni), "Parsing done 100 %");
        EXPECT_EQ(window.caption(Control::LblCountryName),
                  std::string("Country Name :") + country.name);
        const auto& places = servedPlaces().places(country.code);
        ASSERT_EQ(window.listCount(), static_cast<int>(places.size()) + 1);
        for (std::size_t i = 0; i < places.size(); ++i) {
            const std::string name = places[i].name.substr(0, 25);
            EXPECT_EQ(window.listRow(static_cast<int>(i) + 1).substr(0, 25),
                      name + std::string(25 - name.size(), ' '));
        }
    }
    bool topeka = false;
    for (int row = 1; row < window.listCount(); ++row) {
        topeka = topeka || window.listRow(row).rfind("Topeka ", 0) == 0;
    }
    EXPECT_TRUE(topeka);

    // Copy and Copy All on the filled list: rows as shown, header first, CR LF between.
    window.findChild<QListWidget*>("LstInfo")->setCurrentRow(2);
    window.logic().CmdCopy_Click();
    EXPECT_EQ(desktop.clipboard.back(), window.listRow(2));
    window.logic().CmdCopyAll_Click();
    std::string all = window.listRow(0);
    for (int row = 1; row < window.listCount(); ++row) {
        all += "\r\n" + window.listRow(row);
    }
    EXPECT_EQ(desktop.clipboard.back(), all);
}

// "Connection" confirmed in the middle of a fetch closes the fetch's handles under it; the
// fetch ends, and the next click lists the country over the new session.
TEST_F(WindowEndToEndTest, ConnectionDuringAFetch) {
    window.setModalRunner([](QDialog& dialog) {
        dialog.findChild<QComboBox*>("CmbType")->setCurrentIndex(1);
        dialog.findChild<QPushButton*>("Command1")->click();
    });
    const InternetHandle firstSession = window.logic().state().SessionHandle;
    bool ranDuringFetch = false;
    QTimer::singleShot(0, &window, [&] {
        ranDuringFetch = window.logic().state().FetchBusy == kFlagSet;
        window.logic().CmdConnection_Click();
    });
    window.setComboSelectedIndex(225);
    window.logic().CmdCountry_Click();
    EXPECT_TRUE(ranDuringFetch);
    EXPECT_EQ(window.logic().state().FetchBusy, kFlagClear);
    EXPECT_NE(window.logic().state().SessionHandle, kNoHandle);
    EXPECT_NE(window.logic().state().SessionHandle, firstSession);

    desktop.messages.clear();
    window.logic().CmdCountry_Click();
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(window.listCount(), static_cast<int>(servedPlaces().places(224).size()) + 1);
}

}  // namespace
}  // namespace horalux
