// Runs the real zonariumd (ZONARIUM_TEST_DAEMON) as a child process.

#include "RawConnection.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
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
// answering; SIGTERM then ends it, with status 0, once its five seconds' grace for open
// connections are over although a client is stalled mid-head and another does not read its
// replies.
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
    EXPECT_EQ(::poll(&ended, 1, 7000), 1) << "still running 7 seconds after SIGTERM";
    if (ended.revents == 0) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::close(process);
    ::close(out[0]);
}

// zonariumd run with `environment` added, on a free loopback port, its output collected.
class LoggedDaemon {
public:
    // `whileStarting` is called once the process runs, before it is known to listen.
    LoggedDaemon(std::vector<std::string> arguments, std::vector<std::string> environment,
                 const std::function<void(LoggedDaemon&)>& whileStarting = {}) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        arguments.insert(arguments.begin(), {ZONARIUM_TEST_DAEMON, "--listen", "127.0.0.1:0"});
        for (char** variable = environ; *variable != nullptr; ++variable) {
            environment.emplace_back(*variable);
        }
        std::vector<char*> argv;
        std::vector<char*> envp;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        for (std::string& variable : environment) {
            envp.push_back(variable.data());
        }
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_reader = std::thread([this, in = out[0]] {
            char buffer[4096];
            ssize_t got;
            while ((got = ::read(in, buffer, sizeof buffer)) > 0) {
                const std::lock_guard lock(m_mutex);
                m_output.append(buffer, static_cast<std::size_t>(got));
                m_grew.notify_all();
            }
            ::close(in);
        });
        if (whileStarting && m_pid > 0) {
            whileStarting(*this);
        }
        if (waitFor("listening on 127.0.0.1:")) {
            const std::lock_guard lock(m_mutex);
            m_port = std::atoi(m_output.c_str() + m_output.find("listening on 127.0.0.1:") + 23);
        }
    }
    ~LoggedDaemon() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_reader.join();
    }
    // Sends SIGTERM; true when the process then ended with status 0 within `bound`, else it
    // is killed.
    bool stopsWithin(std::chrono::milliseconds bound) {
        const int process = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
        if (process < 0 || ::kill(m_pid, SIGTERM) != 0) {
            return false;
        }
        pollfd ended{process, POLLIN, 0};
        const bool inTime = ::poll(&ended, 1, static_cast<int>(bound.count())) == 1;
        ::close(process);
        if (!inTime) {
            ::kill(m_pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return inTime && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // True once the output holds `text`, false after ten seconds without.
    bool waitFor(const std::string& text) {
        std::unique_lock lock(m_mutex);
        return m_grew.wait_for(lock, std::chrono::seconds{10},
                               [&] { return m_output.find(text) != std::string::npos; });
    }
    std::string output() {
        const std::lock_guard lock(m_mutex);
        return m_output;
    }
    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_grew;
    std::string m_output;
    std::thread m_reader;
};

// Polls `check` until it holds or ten seconds have passed.
bool eventually(const std::function<bool()>& check) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds{10};
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// A zone database of one zone, compiled from its source into `directory`, release `release`.
void compileZones(const std::filesystem::path& directory, const std::string& zoneLine,
                  const std::string& release) {
    std::filesystem::create_directories(directory);
    const auto source = directory.parent_path() / "zones.src";
    std::ofstream(source) << zoneLine << "\n";
    const std::string command =
        std::string(ZONARIUM_TEST_ZIC) + " -d " + directory.string() + " " + source.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ofstream(directory / "tzdata.zi") << "# version " << release << "\n";
}

// SIGHUP under load: the page turns to the recompiled zone and its release, and no request
// fails; a places file broken before the next SIGHUP leaves the last good data serving, and
// the log says why.
TEST(DaemonTest, ReloadSwapsDataUnderLoadAndKeepsItWhenTheNewFails) {
    const auto work =
        std::filesystem::temp_directory_path() / ("zonarium-reload-" + std::to_string(::getpid()));
    std::filesystem::remove_all(work);
    const auto zones = work / "zoneinfo";
    compileZones(zones, "Zone Test/Place 2:00 - TST", "2099a");
    const auto places = work / "places.tsv";
    std::ofstream(places) << "76\tTestville\t27.18\t78.01\tTest/Place\n# end: 1 places\n";

    LoggedDaemon daemon({"--data", places.string()}, {"TZDIR=" + zones.string()});
    ASSERT_GT(daemon.port(), 0) << daemon.output();
    const auto page = [&daemon] {
        httplib::Client client("127.0.0.1", daemon.port());
        const auto answer = client.Get("/cgi-bin/wt.cgi?land=76");
        return answer && answer->status == 200 ? answer->body : std::string();
    };
    EXPECT_NE(page().find("<TD VALIGN=Top>Testville</TD><TD>"), std::string::npos);
    EXPECT_NE(page().find(" TST</TD><TD>UTC+02:00</TD>"), std::string::npos) << page();
    EXPECT_NE(page().find("tzdata 2099a"), std::string::npos);

    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 3; ++i) {
        clients.emplace_back([&, i] {
            httplib::Client client("127.0.0.1", daemon.port());
            client.set_keep_alive(i != 0);
            while (!stop) {
                const auto answer = client.Get("/cgi-bin/wt.cgi?land=76");
                ++(answer && answer->status == 200 ? answered : failed);
            }
        });
    }
    compileZones(zones, "Zone Test/Place 3:00 - TSU", "2099b");
    ASSERT_TRUE(eventually([&] { return answered > 50; }));
    ::kill(daemon.pid(), SIGHUP);
    EXPECT_TRUE(eventually([&] {
        const std::string now = page();
        return now.find(" TSU</TD><TD>UTC+03:00</TD>") != std::string::npos &&
               now.find("tzdata 2099b") != std::string::npos;
    })) << page();
    const int before = answered;
    EXPECT_TRUE(eventually([&] { return answered > before + 50; }));
    stop = true;
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(daemon.waitFor("zonariumd: reloaded: tzdata 2099b, 1 places\n"));

    std::ofstream(places) << "76\tTestville\t27.18\t78.01\tTest/Place\n76\tBroken\n"
                          << "# end: 2 places\n";
    compileZones(zones, "Zone Test/Place 4:00 - TSV", "2099c");
    ::kill(daemon.pid(), SIGHUP);
    EXPECT_TRUE(daemon.waitFor("zonariumd: reload failed, keeping the data in use: " +
                               places.string() + ":2: expected 5 tab-separated fields, found 2\n"))
        << daemon.output();
    EXPECT_NE(page().find(" TSU</TD><TD>UTC+03:00</TD>"), std::string::npos) << page();
    EXPECT_NE(page().find("tzdata 2099b"), std::string::npos);
    std::filesystem::remove_all(work);
}

// A places file emptied, cut short at a line end, or given no place, and a places file, zone
// file or tzdata.zi turned into a FIFO whose writer stays open: each reload is refused or
// done at once and the data in use keeps serving; SIGTERM then ends the process within its
// drain time although the places file is a FIFO again.
TEST(DaemonTest, ReloadRefusesShortFilesAndFifosAndNeverHoldsUpStopping) {
    namespace fs = std::filesystem;
    const auto work = fs::temp_directory_path() / ("zonarium-fifo-" + std::to_string(::getpid()));
    fs::remove_all(work);
    const auto zones = work / "zoneinfo";
    compileZones(zones, "Zone Test/Place 2:00 - TST", "2099a");
    const auto places = work / "places.tsv";
    const std::string rows =
        "76\tTestville\t27.18\t78.01\tTest/Place\n"
        "224\tTesttown\t40.71\t-74.01\tTest/Place\n";
    std::ofstream(places) << rows << "# end: 2 places\n";
    LoggedDaemon daemon({"--data", places.string()}, {"TZDIR=" + zones.string()});
    ASSERT_GT(daemon.port(), 0) << daemon.output();
    const auto serves = [&daemon] {
        httplib::Client client("127.0.0.1", daemon.port());
        const auto india = client.Get("/cgi-bin/wt.cgi?land=76");
        const auto usa = client.Get("/cgi-bin/wt.cgi?land=224");
        const auto health = client.Get("/healthz");
        return india && usa && health && health->status == 200 &&
               india->body.find("Testville") != std::string::npos &&
               usa->body.find("Testtown") != std::string::npos;
    };
    const std::string failed = "zonariumd: reload failed, keeping the data in use: ";
    const struct {
        std::string text;
        std::string message;
    } shortFiles[] = {
        {"", places.string() + ": cut short"},
        {rows.substr(0, rows.find('\n') + 1), places.string() + ": cut short"},
        {"# end: 0 places\n", places.string() + ": no places"},
    };
    int reloads = 0;
    for (const auto& file : shortFiles) {
        std::ofstream(places, std::ios::trunc) << file.text;
        ::kill(daemon.pid(), SIGHUP);
        EXPECT_TRUE(daemon.waitFor(failed + file.message)) << daemon.output();
        EXPECT_TRUE(serves()) << file.message;
        ++reloads;
    }

    // Each FIFO has a writer that never writes: a reader that waited for its end would wait
    // for ever.
    const auto toFifo = [](const fs::path& path) {
        fs::remove(path);
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
        return ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    };
    std::ofstream(places, std::ios::trunc) << rows << "# end: 2 places\n";
    const int release = toFifo(zones / "tzdata.zi");
    ::kill(daemon.pid(), SIGHUP);
    EXPECT_TRUE(daemon.waitFor("zonariumd: reloaded: tzdata unknown, 2 places")) << daemon.output();
    const int zone = toFifo(zones / "Test" / "Place");
    ::kill(daemon.pid(), SIGHUP);
    EXPECT_TRUE(daemon.waitFor(failed + places.string() +
                               ":1: \"Test/Place\": time zone file not a regular file"))
        << daemon.output();
    EXPECT_TRUE(serves());
    const int data = toFifo(places);
    ::kill(daemon.pid(), SIGHUP);
    EXPECT_TRUE(daemon.waitFor(failed + places.string() + ": not a regular file"))
        << daemon.output();
    EXPECT_TRUE(serves());
    ::kill(daemon.pid(), SIGHUP);
    EXPECT_TRUE(daemon.stopsWithin(std::chrono::seconds{7})) << daemon.output();
    for (const int writer : {release, zone, data}) {
        ::close(writer);
    }
    fs::remove_all(work);
}

// SIGHUP while the process starts (its signals held, the places still loading) neither ends
// it nor is lost: once it listens it reloads and serves.
TEST(DaemonTest, SighupDuringStartUpIsActedOnOnceListening) {
    // True while SIGHUP is held (/proc/PID/status's SigBlk) and no handler for it is set yet
    // (SigCgt): the process has begun and cannot act on the signal yet.
    const auto holdsSighupUnhandled = [](pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        const auto bit = 1ULL << (SIGHUP - 1);
        bool held = false;
        bool caught = false;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("SigBlk:", 0) == 0) {
                held = (std::stoull(line.substr(7), nullptr, 16) & bit) != 0;
            } else if (line.rfind("SigCgt:", 0) == 0) {
                caught = (std::stoull(line.substr(7), nullptr, 16) & bit) != 0;
            }
        }
        return held && !caught;
    };
    bool sentBeforeListening = false;
    LoggedDaemon daemon({"--data", ZONARIUM_TEST_PLACES}, {}, [&](LoggedDaemon& starting) {
        ASSERT_TRUE(eventually([&] { return holdsSighupUnhandled(starting.pid()); }))
            << "SIGHUP is not held while starting";
        sentBeforeListening = starting.output().find("listening on") == std::string::npos;
        ::kill(starting.pid(), SIGHUP);
    });
    ASSERT_GT(daemon.port(), 0) << daemon.output();
    EXPECT_TRUE(sentBeforeListening);
    EXPECT_TRUE(daemon.waitFor("zonariumd: reloaded: tzdata ")) << daemon.output();
    httplib::Client client("127.0.0.1", daemon.port());
    const auto health = client.Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    EXPECT_TRUE(daemon.stopsWithin(std::chrono::seconds{7})) << daemon.output();
}

}  // namespace
}  // namespace zonarium
