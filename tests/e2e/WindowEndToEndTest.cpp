#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "CurlInternet.h"
#include "EndToEndSupport.h"
#include "FakeDesktop.h"
#include "FrmA1.h"

namespace horalux {
namespace {

using test::servedPlaces;
using test::service;

// The window over the real client and service: a click lists the country in full.
TEST(WindowEndToEndTest, ClickListsTheCountry) {
    const ServiceAddress address{"127.0.0.1", static_cast<std::uint16_t>(service().port())};
    CurlInternet internet(address.host, address.port);
    test::FakeDesktop desktop;
    desktop.files[desktop.systemDir + "/" + desktop.libraryName] = {FileLength::Status::Ok, 1};
    FrmA1 window(internet, desktop, TimerMode::Manual, address);
    window.load();
    window.show();
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
}

}  // namespace
}  // namespace horalux
