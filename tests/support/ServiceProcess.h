#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace horalux::test {

// A real zonariumd on a free loopback port, for as long as the object lives. Its standard
// output is read on a thread of its own, so its log never fills a pipe; the first line
// names the port.
class ServiceProcess {
public:
    ServiceProcess(const std::string& program, const std::string& placesFile) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<std::string> args{program, "--listen", "127.0.0.1:0", "--data", placesFile};
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = ::fdopen(out[0], "r");
        char line[512];
        if (m_pid > 0 && m_out != nullptr && std::fgets(line, sizeof line, m_out) != nullptr) {
            const std::string text = line;
            const std::size_t colon = text.rfind(':');
            if (text.find("listening on") != std::string::npos && colon != std::string::npos) {
                m_port = std::stoi(text.substr(colon + 1));
            }
        }
        m_drain = std::thread([this] {
            char buffer[4096];
            while (m_out != nullptr && std::fread(buffer, 1, sizeof buffer, m_out) > 0) {
            }
        });
    }

    ~ServiceProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        m_drain.join();
        if (m_out != nullptr) {
            std::fclose(m_out);
        }
    }

    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // The port it listens on; 0 when it did not start.
    int port() const { return m_port; }
    std::string address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    pid_t m_pid = -1;
    std::FILE* m_out = nullptr;
    int m_port = 0;
    std::thread m_drain;
};

}  // namespace horalux::test
