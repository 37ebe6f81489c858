#include <gtest/gtest.h>

#include "FakeDesktop.h"
#include "FakeRegistry.h"
#include "dialogs/FrmAboutLogic.h"

namespace horalux {
namespace {

using test::FakeDesktop;
using test::FakeRegistry;

class NoAboutView final : public AboutView {
public:
    void setCaption(const std::string&) override {}
    void setTitle(const std::string&) override {}
    void setVersion(const std::string&) override {}
    void useMainWindowIcon() override {}
    void unload() override {}
};

const std::string kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

class SysInfoTest : public ::testing::Test {
protected:
    void setValue(std::uint32_t type, std::vector<std::uint8_t> data) {
        registry.values[{kPathKey, "PATH"}] = {type, std::move(data)};
    }
    bool read(std::string& value) {
        return about.GetKeyValue(kLocalMachine, kPathKey, "PATH", value);
    }
    void expectUnavailable() {
        ASSERT_EQ(desktop.messages.size(), 1U);
        EXPECT_EQ(desktop.messages[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(desktop.messages[0].style, 0);
        EXPECT_EQ(desktop.messages[0].title, "FreeHoralux2");
    }

    NoAboutView view;
    FakeRegistry registry;
    FakeDesktop desktop;
    FrmAboutLogic about{view, registry, desktop, {"FreeHoralux2", 2, 3, 1}};
};

std::vector<std::uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Strings lose one terminating NUL, 32-bit numbers read least significant byte first
// become decimal, other types leave the text as it was; the key is opened with the full
// access mask and always closed again.
TEST_F(SysInfoTest, ValueTypes) {
    struct Case {
        const char* what;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::string expected;
    };
    const Case cases[] = {
        {"string with NUL", RegistryType::kString, bytes(std::string("/usr/bin/x\0", 11)),
         "/usr/bin/x"},
        {"string without NUL", RegistryType::kString, bytes("/usr/bin/x"), "/usr/bin/x"},
        {"empty string", RegistryType::kString, {0}, ""},
        {"no data at all", RegistryType::kString, {}, ""},
        {"1024 bytes fill the buffer", RegistryType::kString, bytes(std::string(1024, 'a')),
         std::string(1024, 'a')},
        {"261", RegistryType::kNumber32, {5, 1, 0, 0}, "261"},
        {"high byte set", RegistryType::kNumber32, {0, 0, 0, 1}, "16777216"},
        {"all bits set", RegistryType::kNumber32, {255, 255, 255, 255}, "4294967295"},
        {"zero", RegistryType::kNumber32, {0, 0, 0, 0}, "0"},
        {"binary", RegistryType::kBinary, {1, 2, 3}, "before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setValue(c.type, c.data);
        std::string value = "before";
        EXPECT_TRUE(read(value));
        EXPECT_EQ(value, c.expected);
        EXPECT_TRUE(registry.open.empty());
    }
    EXPECT_EQ(registry.opens.back().accessMask, 0x2003FU);
}

// A value over 1024 bytes, a missing value and a missing key all fail with the empty text.
TEST_F(SysInfoTest, UnreadableValuesFailWithTheEmptyText) {
    std::string value = "before";
    setValue(RegistryType::kString, bytes(std::string(1025, 'a')));
    EXPECT_FALSE(read(value));
    EXPECT_EQ(value, "");

    value = "before";
    EXPECT_FALSE(about.GetKeyValue(kLocalMachine, kPathKey, "OTHER", value));
    EXPECT_EQ(value, "");

    value = "before";
    EXPECT_FALSE(about.GetKeyValue(kLocalMachine, "SOFTWARE\\Nothing", "PATH", value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(registry.open.empty());
}

// The recorded path is started as it stands, in a normal window with the focus, without
// any test that it exists.
TEST_F(SysInfoTest, StartsThePathFromTheFirstLocation) {
    registry.setString(kPathKey, "PATH", "/opt/tools/sys info");
    registry.setString(kFolderKey, "MSINFO", "/opt/other");
    about.StartSysInfo();
    ASSERT_EQ(desktop.started.size(), 1U);
    EXPECT_EQ(desktop.started[0].argv, std::vector<std::string>{"/opt/tools/sys info"});
    EXPECT_EQ(desktop.started[0].windowStyle, 1);
    EXPECT_TRUE(desktop.fileQueries.empty());
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(SysInfoTest, FailedStartIsReported) {
    registry.setString(kPathKey, "PATH", "/opt/tools/gone");
    desktop.startSucceeds = false;
    about.StartSysInfo();
    expectUnavailable();
}

// A first location of another type reads as true with an empty path, which cannot start.
TEST_F(SysInfoTest, FirstLocationOfAnotherTypeIsReported) {
    setValue(RegistryType::kBinary, {1, 2});
    about.StartSysInfo();
    EXPECT_TRUE(desktop.started.empty());
    expectUnavailable();
}

// The second location names a folder; the tool starts only when its file is there.
TEST_F(SysInfoTest, SecondLocationNeedsTheToolsFile) {
    registry.setString(kFolderKey, "MSINFO", "/opt/msinfo");
    about.StartSysInfo();
    EXPECT_EQ(desktop.fileQueries, std::vector<std::string>{"/opt/msinfo/MSINFO32.EXE"});
    EXPECT_TRUE(desktop.started.empty());
    expectUnavailable();

    desktop.messages.clear();
    desktop.files["/opt/msinfo/MSINFO32.EXE"] = {FileLength::Status::Ok, 4096};
    about.StartSysInfo();
    ASSERT_EQ(desktop.started.size(), 1U);
    EXPECT_EQ(desktop.started[0].argv, std::vector<std::string>{"/opt/msinfo/MSINFO32.EXE"});
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(SysInfoTest, NeitherLocationIsReported) {
    about.StartSysInfo();
    EXPECT_EQ(registry.opens.size(), 2U);
    EXPECT_TRUE(desktop.started.empty());
    expectUnavailable();
}

}  // namespace
}  // namespace horalux
