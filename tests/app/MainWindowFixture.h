#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <memory>
#include <string>

#include "FakeDesktop.h"
#include "FakeInternet.h"
#include "FakeRegistry.h"
#include "app/FrmA1.h"

namespace horalux {

using test::FakeDesktop;
using test::FakeInternet;
using test::FakeRegistry;

// The main window on fake platform interfaces, with timers that tick only when a test
// calls their handlers.
inline const std::string kLibraryPath = "/usr/lib/x86_64-linux-gnu/libcurl.so.4";

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { desktop.files[kLibraryPath] = {FileLength::Status::Ok, 700000}; }

    // Creates the window; loads it when the start-up check lets it.
    FrmA1& create() {
        window = std::make_unique<FrmA1>(internet, desktop, registry, TimerMode::Manual);
        if (window->initialized()) {
            window->load();
        }
        return *window;
    }

    // Creates, loads and shows the window and gives it the keyboard.
    FrmA1& show() {
        create();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return *window;
    }

    template <typename T>
    T* child(const char* name) {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    FakeInternet internet;
    FakeDesktop desktop;
    FakeRegistry registry;
    std::unique_ptr<FrmA1> window;
};

}  // namespace horalux
