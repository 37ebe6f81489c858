// Runs the real zonariumd (ZONARIUM_TEST_DAEMON) as a child process.

#include "RawConnection.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace zonarium {
namespace {

using test::RawConnection;

// Output of running zonariumd with `argument` and nothing else, and its exit status.
std::pair<std::string, int> runOnce(const char* argument) {
    const std::string command = std::string(ZONARIUM_TEST_DAEMON) + " " + argument;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(DaemonTest, HelpAndVersionDoNotServe) {
    const auto [version, versionExit] = runOnce("--version");
    EXPECT_EQ(version.rfind("zonariumd 2.3.0.1", 0), 0u) << version;
    EXPECT_EQ(versionExit, 0);
    const auto [help, helpExit] = runOnce("--help");
    EXPECT_EQ(help.rfind("Usage: zonariumd [--listen ADDR:PORT]", 0), 0u) << help;
    EXPECT_EQ(helpExit, 0);
}

// With standard output a pipe nobody reads after the first line, the service keeps
// answering; SIGTERM then ends it within a second although a client is stalled mid-head and
// another does not read its replies.
TEST(DaemonTest, FullLogPipeNeitherStallsServingNorStopping) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> arguments = {ZONARIUM_TEST_DAEMON, "--listen", "127.0.0.1:0",
                                          "--threads",          "2",        "--data",
                                          ZONARIUM_TEST_FIXTURE};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    // The first line names the port; nothing after it is ever read.
    std::string first;
    char byte = 0;
    while (first.find('\n') == std::string::npos && ::read(out[0], &byte, 1) == 1) {
        first += byte;
    }
    const auto at = first.find("listening on 127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << first;
    const int port = std::stoi(first.substr(at + 23));

    RawConnection stalled(port);
    ASSERT_TRUE(stalled.send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHo"));
    // Log lines of about 650 bytes each: 400 of them are four times what the pipe holds.
    const std::string get = "GET /cgi-bin/wt.cgi?land=76&pad=" + std::string(1900, 'p') +
                            " HTTP/1.1\r\nHost: x\r\n\r\n";
    RawConnection client(port);
    for (int i = 0; i < 400; ++i) {
        ASSERT_TRUE(client.send(get));
        ASSERT_EQ(client.readResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << i;
    }
    RawConnection deaf(port);
    std::string pipelined;
    for (int i = 0; i < 50; ++i) {
        pipelined += get;
    }
    ASSERT_TRUE(deaf.send(pipelined));

    const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    ASSERT_GE(process, 0);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    pollfd ended{process, POLLIN, 0};
    EXPECT_EQ(::poll(&ended, 1, 1000), 1) << "still running a second after SIGTERM";
    if (ended.revents == 0) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(process);
    ::close(out[0]);
}

}  // namespace
}  // namespace zonarium
