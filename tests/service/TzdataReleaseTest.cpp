#include "model/TzdataRelease.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <unistd.h>

namespace zonarium {
namespace {

// A zoneinfo directory of its own per test, holding only a tzdata.zi with `text`.
class TzdataReleaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                (std::string("tzdata-release-") + info->name() + "-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string releaseOf(const std::string& text) {
        std::ofstream(m_dir / "tzdata.zi", std::ios::binary) << text;
        return readTzdataRelease(m_dir.string());
    }

    std::filesystem::path m_dir;
};

// The "# version" line among the leading comments names the release.
TEST_F(TzdataReleaseTest, ReadsVersionLine) {
    EXPECT_EQ(releaseOf("# version 2025b\n# ddeps backzone\nR d 1916 o - Jun 14 23s 1 S\n"),
              "2025b");
    EXPECT_EQ(releaseOf("# This zic input file is in the public domain.\n# version 2099zz\n"),
              "2099zz");
    EXPECT_EQ(releaseOf("# version 2025b-12-g1234abc"), "2025b-12-g1234abc");
}

// A missing file or line, one after the data, a malformed or overlong release, and a file
// without line ends all answer "unknown", never stray bytes.
TEST_F(TzdataReleaseTest, UnknownWhenAbsentOrMalformed) {
    EXPECT_EQ(readTzdataRelease((m_dir / "nowhere").string()), "unknown");
    EXPECT_EQ(releaseOf("# no version here\nZ Europe/Paris 0:9:21 - LMT 1891\n"), "unknown");
    EXPECT_EQ(releaseOf("Z Etc/UTC 0 - UTC\n# version 2025b\n"), "unknown");
    EXPECT_EQ(releaseOf("# version <script>\n"), "unknown");
    EXPECT_EQ(releaseOf("# version 2025b 2025c\n"), "unknown");
    EXPECT_EQ(releaseOf("# version \n"), "unknown");
    EXPECT_EQ(releaseOf("# version 2025b2025b2025b2025b2025b\n"), "unknown");
    EXPECT_EQ(releaseOf("# version 2025b\r\n"), "unknown");
    EXPECT_EQ(releaseOf(std::string(100000, '#')), "unknown");
}

// The service reports the system's release, as `zonariumd --version` shows it.
TEST(SystemTzdataReleaseTest, NamesTheSystemRelease) {
    EXPECT_TRUE(std::regex_match(systemTzdataRelease(), std::regex("[0-9]{4}[a-z]+")))
        << systemTzdataRelease();
    EXPECT_EQ(systemTzdataRelease(), readTzdataRelease(kSystemZoneinfo));
    EXPECT_TRUE(versionText().ends_with("\ntzdata " + systemTzdataRelease() + "\n"));
    EXPECT_TRUE(versionText().starts_with("zonariumd "));
}

}  // namespace
}  // namespace zonarium
