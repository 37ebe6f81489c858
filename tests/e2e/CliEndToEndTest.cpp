#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "EndToEndSupport.h"
#include "LoopbackServer.h"
#include "cli/TerminalText.h"

namespace horalux {
namespace {

using test::servedPlaces;
using test::service;

constexpr int kIndia = 76;

struct CliRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output
    std::string errors;              // standard error
};

// Runs horalux-cli with `arguments` (shell words) under a UTF-8 locale.
CliRun cli(const std::string& arguments, const std::string& environment = "") {
    const std::string errorFile = ::testing::TempDir() + "horalux-cli-stderr";
    const std::string command = "env LC_ALL=C.UTF-8 " + environment + " " HORALUX_TEST_CLI " " +
                                arguments + " 2>" + errorFile;
    CliRun run;
    std::FILE* out = ::popen(command.c_str(), "r");
    char buffer[4096];
    std::string text;
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) {
        text.append(buffer, n);
    }
    const int status = ::pclose(out);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        run.lines.push_back(line);
    }
    std::ifstream errors(errorFile);
    run.errors.assign(std::istreambuf_iterator<char>(errors), {});
    return run;
}

// A loopback port that nothing listens on: one just bound and let go.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The service's whole reply to a request head, read until it closes (the head asks it to).
std::string askService(const std::string& head) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(service().port()));
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        test::LoopbackServer::send(fd, head)) {
        char buffer[65536];
        for (ssize_t n;
             reply.size() < (64U << 20) && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return reply;
}

// Characters (not bytes) of a UTF-8 text.
std::size_t characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

// Every place of India, in the service's order, under the header; the columns line up in
// characters whatever the names hold; the captions go to standard error.
TEST(CliEndToEndTest, ListsEveryPlaceOfTheCountry) {
    const CliRun run = cli("--server " + service().address() + " india");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    const auto& places = servedPlaces().places(kIndia);
    ASSERT_EQ(run.lines.size(), places.size() + 1);
    EXPECT_EQ(run.lines[0].rfind("City/Town", 0), 0U);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const std::string& line = run.lines[i + 1];
        const std::string name = Latin1ToUtf8(places[i].name.substr(0, 25));
        EXPECT_EQ(line.rfind(name, 0), 0U) << line;
        // The local time starts in column 26 and names its zone.
        const std::size_t cut = line.find(" IST ");
        ASSERT_NE(cut, std::string::npos) << line;
        EXPECT_EQ(characters(line.substr(0, cut)), 25U + 21U) << line;
    }
    EXPECT_NE(run.errors.find("Country Name :India\n"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("Parsing done 100 %\n"), std::string::npos) << run.errors;
}

// Exit codes and texts: a usage error with suggestions, a failure, --server over the
// environment, the country list, help and version.
TEST(CliEndToEndTest, ExitCodesAndSettings) {
    const CliRun unknown = cli("Indai");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.errors.find("horalux-cli: unknown country \"Indai\"; did you mean India?\n"
                                  "Try 'horalux-cli --help' for more.\n"),
              std::string::npos)
        << unknown.errors;

    const std::string closed = "127.0.0.1:" + std::to_string(closedPort());
    const CliRun unreachable = cli("India", "HORALUX_SERVER=" + closed);
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_TRUE(unreachable.lines.empty());
    EXPECT_NE(unreachable.errors.find("Server not reachable"), std::string::npos);

    const CliRun overridden =
        cli("--server " + service().address() + " USA", "HORALUX_SERVER=" + closed);
    EXPECT_EQ(overridden.exitCode, 0) << overridden.errors;
    EXPECT_EQ(overridden.lines.size(), servedPlaces().places(224).size() + 1);

    const CliRun list = cli("--list");
    EXPECT_EQ(list.exitCode, 0);
    ASSERT_EQ(list.lines.size(), 236U);
    EXPECT_EQ(list.lines[95], " 76  IN        IND          India");

    EXPECT_EQ(cli("--help").exitCode, 0);
    EXPECT_EQ(cli("--version").lines, std::vector<std::string>{"horalux-cli 2.3.0.1"});
    EXPECT_EQ(cli("--bogus India").exitCode, 2);
    EXPECT_EQ(cli("--server bad:host:1 India").exitCode, 2);
    EXPECT_EQ(cli("--server --direct India").exitCode, 2);
    const CliRun unwritable = cli("--list >/dev/full");
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.errors.find("cannot write"), std::string::npos) << unwritable.errors;
}

// The service's page for the USA, announced whole and cut at half its length by a dropped
// connection: a failure with nothing on standard output, not a listing.
TEST(CliEndToEndTest, CutReplyIsAFailure) {
    test::LoopbackServer relay([](int socket, test::LoopbackServer& self) {
        const std::string reply = askService(self.heads().back());
        const std::size_t bodyAt = reply.find("\r\n\r\n");
        const std::string body = bodyAt == std::string::npos ? "" : reply.substr(bodyAt + 4);
        test::LoopbackServer::send(
            socket, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                        "\r\n\r\n" + body.substr(0, body.size() / 2));
    });
    const CliRun run = cli("--server 127.0.0.1:" + std::to_string(relay.port()) + " USA");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_NE(run.errors.find("Server not reachable\n"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("Parsing"), std::string::npos) << run.errors;
}

}  // namespace
}  // namespace horalux
