#include "cli/CliArguments.h"

#include "fetch/CountryNames.h"
#include "fetch/CountryTable.h"

namespace horalux {
namespace {

constexpr const char* kUsageText =
    "Usage: horalux-cli [--server HOST[:PORT]] [--direct] [--format FORMAT] COUNTRY\n"
    "       horalux-cli --list | --help | --version\n"
    "Lists the local time, sunrise and sunset of every city and town of COUNTRY, as the\n"
    "Horalux window does: a header line, then one line per place.\n"
    "\n"
    "  COUNTRY              a name as the country list shows it, an ISO 3166-1 code\n"
    "                       (US, USA) or an English name of one (United States; Korea,\n"
    "                       Republic of); letter case is ignored\n"
    "  --server HOST[:PORT] the time service to ask (default: $HORALUX_SERVER, else\n"
    "                       127.0.0.1:80)\n"
    "  --direct             connect without a proxy (default: the system's proxy settings)\n"
    "  --format FORMAT      how to write the listing: text (default: the window's lines,\n"
    "                       in the terminal's character set), tsv (tab-separated), csv\n"
    "                       (RFC 4180) or json (one object); tsv, csv and json are UTF-8\n"
    "                       and give each name whole, with the UTC offset too\n"
    "  --list               print every country's code, ISO codes and name\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Exit status: 0 after a listing, 1 when the service could not be asked or its page\n"
    "could not be read as a table (tsv, csv, json), 2 for a usage error.\n";

}  // namespace

const char* cliHelpText() {
    return kUsageText;
}

CliParse parseCliArguments(const std::vector<std::string>& args, const std::string& serverSetting,
                           std::string& warning) {
    CliParse parse;
    CliRequest& request = parse.request;
    std::string server;
    std::vector<std::string> countries;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            request.action = CliRequest::Action::Help;
            return parse;
        }
        if (arg == "--version") {
            request.action = CliRequest::Action::Version;
            return parse;
        }
        if (arg == "--list") {
            request.action = CliRequest::Action::List;
        } else if (arg == "--direct") {
            request.access = AccessType::Direct;
        } else if (arg == "--server" || arg.starts_with("--server=")) {
            if (arg == "--server") {
                if (i + 1 >= args.size() || args[i + 1].starts_with("-")) {
                    parse.error = "--server needs HOST[:PORT]";
                    return parse;
                }
                server = args[++i];
            } else {
                server = arg.substr(9);
            }
            if (!parseServiceAddress(server)) {
                parse.error = "--server \"" + server + "\" is not HOST[:PORT]";
                return parse;
            }
        } else if (arg == "--format" || arg.starts_with("--format=")) {
            std::string name;
            if (arg == "--format") {
                if (i + 1 >= args.size()) {
                    parse.error = "--format needs text, tsv, csv or json";
                    return parse;
                }
                name = args[++i];
            } else {
                name = arg.substr(9);
            }
            const std::optional<ListingFormat> format = listingFormatNamed(name);
            if (!format) {
                parse.error = "--format \"" + name + "\" is not text, tsv, csv or json";
                return parse;
            }
            request.format = *format;
        } else if (arg == "--") {
            countries.insert(countries.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (arg.starts_with("-") && arg.size() > 1) {
            parse.error = "unknown option " + arg;
            return parse;
        } else {
            countries.push_back(arg);
        }
    }
    request.service = server.empty() ? serviceAddressFromSetting(serverSetting, warning)
                                     : *parseServiceAddress(server);
    if (request.action == CliRequest::Action::List) {
        return parse;
    }
    // A name with spaces may come as one argument or as several.
    std::string name;
    for (const std::string& word : countries) {
        name += (name.empty() ? "" : " ") + word;
    }
    if (name.empty()) {
        parse.error = "no country given";
        return parse;
    }
    const std::vector<int> entries = CountryNames::findAll(name);
    if (entries.size() > 1) {
        parse.error = "\"" + name + "\" names more than one country:";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            parse.error += (i == 0 ? " " : ", ") + std::string(CountryTable::entryName(entries[i]));
        }
        return parse;
    }
    request.entry = entries.empty() ? 0 : entries[0];
    if (request.entry == 0) {
        parse.error = "unknown country \"" + name + "\"";
        const std::vector<std::string> close = CountryNames::closest(name, 4);
        for (std::size_t i = 0; i < close.size(); ++i) {
            parse.error += (i == 0 ? "; did you mean " : ", ") + close[i];
        }
        if (!close.empty()) {
            parse.error += "?";
        }
    }
    return parse;
}

}  // namespace horalux
