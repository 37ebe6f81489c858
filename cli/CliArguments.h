#pragma once

#include <string>
#include <vector>

#include "cli/ListingWriter.h"
#include "fetch/ServiceAddress.h"
#include "platform/Internet.h"

namespace horalux {

// Exit codes of horalux-cli.
namespace CliExit {
inline constexpr int kListed = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
}  // namespace CliExit

// What the command line asks for.
struct CliRequest {
    enum class Action { Fetch, List, Help, Version };
    Action action = Action::Fetch;
    // Entry of the country list to fetch (1 to 236).
    int entry = 0;
    // Where to send the request.
    ServiceAddress service;
    // Session access type: the system's proxy settings, or none with --direct.
    AccessType access = AccessType::Preconfig;
    // How the listing is written.
    ListingFormat format = ListingFormat::Text;
};

// Outcome of reading the command line: the request, or a usage error with its text.
struct CliParse {
    CliRequest request;
    // Empty when the command line is usable.
    std::string error;
};

// Reads the arguments (without the program name). `serverSetting` is HORALUX_SERVER's value,
// empty when unset; --server wins over it. `warning` gets a line to print when the setting
// is not usable. A country is matched as CountryNames matches it; an unknown one is a usage
// error that names the closest countries, and so is one that names several.
CliParse parseCliArguments(const std::vector<std::string>& args, const std::string& serverSetting,
                           std::string& warning);

// The --help text: the options as the command line takes them.
const char* cliHelpText();

}  // namespace horalux
