#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fetch/ServiceAddress.h"
#include "platform/AsciiCase.h"
#include "platform/CurlInternet.h"
#include "platform/PosixDesktop.h"
#include "platform/RouteProbe.h"

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

    // The started program writes into a pipe; reading it waits for the program itself.
    const fs::path pipe = m_dir / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_TRUE(
        m_desktop.startProgram({"sh", "-c", "echo \"$1\" > \"$2\"", "sh", "started", pipe.string()},
                               WindowStyle::kMinimizedFocus));
    std::string said;
    std::ifstream(pipe) >> said;
    EXPECT_EQ(said, "started");
    EXPECT_FALSE(m_desktop.startProgram({"horalux-no-such-program"}, WindowStyle::kNormalFocus));
    EXPECT_FALSE(m_desktop.startProgram({}, WindowStyle::kNormalFocus));
}

// Sessions get distinct handles; closing is good once, and unknown handles fail.
TEST(CurlSessionTest, SessionHandlesCloseOnce) {
    CurlInternet internet("127.0.0.1", 80);
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

namespace horalux {
namespace {

// The forms HORALUX_SERVER may take, and what is refused.
// Only the ASCII letters fold, whatever the locale: ISO-8859-1 letters, and the signs that
// differ from letters by the same bit, stand for themselves.
TEST(AsciiCaseTest, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(equalsIgnoringCase("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(equalsIgnoringCase("Content", "Content-Length"));
    EXPECT_FALSE(equalsIgnoringCase("\xC9", "\xE9"));
    EXPECT_FALSE(equalsIgnoringCase("[@", "{`"));
    EXPECT_EQ(lowerAscii("C\xD4TE D'IVOIRE"), "c\xD4te d'ivoire");
}

TEST(ServiceAddressTest, ParsesHostAndPort) {
    EXPECT_EQ(parseServiceAddress("example.org"), (ServiceAddress{"example.org", 80}));
    EXPECT_EQ(parseServiceAddress("127.0.0.1:8080"), (ServiceAddress{"127.0.0.1", 8080}));
    EXPECT_EQ(parseServiceAddress("[::1]:81"), (ServiceAddress{"::1", 81}));
    EXPECT_EQ(parseServiceAddress("[::1]"), (ServiceAddress{"::1", 80}));
    EXPECT_EQ(parseServiceAddress("host:65535"), (ServiceAddress{"host", 65535}));
    for (const char* bad : {"", ":80", "host:", "host:0", "host:65536", "host:8o", "::1", "[::1",
                            "[::1]x", "a b:80", "host/path", "user@host"}) {
        EXPECT_FALSE(parseServiceAddress(bad)) << bad;
    }
}

// Loopback is always routed; a broadcast address is refused without sending anything.
TEST(RouteProbeTest, AnswersFromTheKernelAtOnce) {
    RouteProbe loopback("127.0.0.1", 80);
    EXPECT_TRUE(loopback.reachable());
    RouteProbe broadcast("255.255.255.255", 80);
    EXPECT_FALSE(broadcast.reachable());
}

}  // namespace
}  // namespace horalux
