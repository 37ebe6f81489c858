// horalux-cli: the time listing of one country in a terminal.

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "cli/CliArguments.h"
#include "cli/HoraluxCli.h"
#include "platform/CurlInternet.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> args(argv + 1, argv + argc);
    const char* setting = std::getenv(horalux::kServerVariable);
    std::string warning;
    const horalux::CliParse parse =
        horalux::parseCliArguments(args, setting == nullptr ? "" : setting, warning);
    if (!warning.empty()) {
        std::fprintf(stderr, "horalux-cli: %s\n", warning.c_str());
    }
    if (!parse.error.empty()) {
        std::fprintf(stderr, "horalux-cli: %s\nTry 'horalux-cli --help' for more.\n",
                     parse.error.c_str());
        return horalux::CliExit::kUsage;
    }
    horalux::CurlInternet internet(parse.request.service.host, parse.request.service.port);
    return horalux::runCli(parse.request, internet, stdout, stderr);
}
