#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "CurlInternet.h"
#include "PosixDesktop.h"

namespace horalux {
namespace {

namespace fs = std::filesystem;

// The POSIX desktop without a toolkit: message boxes and the clipboard are not its part.
class BareDesktop final : public PosixDesktop {
public:
    void messageBox(const std::string&, int, const std::string&) override {}
    void setClipboardText(const std::string&) override {}
};

class PosixDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("horalux-platform-" + std::to_string(getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    BareDesktop m_desktop;
};

// A missing file in an existing folder is "not found"; a missing folder is another kind
// of failure; an empty file has a length like any other.
TEST_F(PosixDesktopTest, FileLengthTellsNotFoundApart) {
    std::ofstream(m_dir / "empty").close();
    std::ofstream(m_dir / "five") << "12345";

    const FileLength empty = m_desktop.fileLength((m_dir / "empty").string());
    EXPECT_EQ(empty.status, FileLength::Status::Ok);
    EXPECT_EQ(empty.bytes, 0);
    EXPECT_EQ(m_desktop.fileLength((m_dir / "five").string()).bytes, 5);
    EXPECT_EQ(m_desktop.fileLength((m_dir / "absent").string()).status,
              FileLength::Status::NotFound);
    EXPECT_EQ(m_desktop.fileLength((m_dir / "no-folder" / "absent").string()).status,
              FileLength::Status::OtherError);
    EXPECT_EQ(m_desktop.fileLength(m_dir.string()).status, FileLength::Status::OtherError);
}

// The system folder is where the loaded HTTP client library really lies.
TEST_F(PosixDesktopTest, SystemDirectoryHoldsTheLoadedHttpLibrary) {
    const std::string dir = m_desktop.systemDirectory();
    const std::string name = m_desktop.httpLibraryFileName();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(name.find("libcurl"), std::string::npos) << name;
    EXPECT_EQ(m_desktop.fileLength(dir + "/" + name).status, FileLength::Status::Ok);
}

TEST_F(PosixDesktopTest, EnvironmentAndProgramStart) {
    ::setenv("HORALUX_TEST_VARIABLE", "value", 1);
    EXPECT_EQ(m_desktop.environmentVariable("HORALUX_TEST_VARIABLE"), "value");
    EXPECT_EQ(m_desktop.environmentVariable("HORALUX_TEST_UNSET_VARIABLE"), "");

    const fs::path marker = m_dir / "started";
    EXPECT_TRUE(m_desktop.startProgram({"touch", marker.string()}, WindowStyle::kMinimizedFocus));
    EXPECT_FALSE(m_desktop.startProgram({"horalux-no-such-program"}, WindowStyle::kNormalFocus));
    EXPECT_FALSE(m_desktop.startProgram({}, WindowStyle::kNormalFocus));
}

// Sessions get distinct handles; closing is good once, and unknown handles fail.
TEST(CurlInternetTest, SessionHandlesCloseOnce) {
    CurlInternet internet;
    const InternetHandle a = internet.open("agent", 0);
    const InternetHandle b = internet.open("agent", 1);
    EXPECT_NE(a, kNoHandle);
    EXPECT_NE(b, kNoHandle);
    EXPECT_NE(a, b);
    EXPECT_EQ(internet.open("agent", 3), kNoHandle);
    EXPECT_TRUE(internet.closeHandle(a));
    EXPECT_FALSE(internet.closeHandle(a));
    EXPECT_FALSE(internet.closeHandle(kNoHandle));
    EXPECT_FALSE(internet.closeHandle(9999));
    EXPECT_TRUE(internet.closeHandle(b));
}

}  // namespace
}  // namespace horalux
