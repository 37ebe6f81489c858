#include "HoraluxCli.h"

#include <cerrno>
#include <cstring>

#include "CountryNames.h"
#include "CountryTable.h"
#include "RetrievalView.h"
#include "TerminalText.h"
#include "TimeRetrieval.h"

namespace horalux {
namespace {

constexpr const char* kUsageText =
    "Usage: horalux-cli [--server HOST[:PORT]] [--direct] COUNTRY\n"
    "       horalux-cli --list | --help | --version\n"
    "Lists the local time, sunrise and sunset of every city and town of COUNTRY, as the\n"
    "Horalux window does: a header line, then one line per place.\n"
    "\n"
    "  COUNTRY              a name as the country list shows it; letter case is ignored\n"
    "  --server HOST[:PORT] the time service to ask (default: $HORALUX_SERVER, else\n"
    "                       127.0.0.1:80)\n"
    "  --direct             connect without a proxy (default: the system's proxy settings)\n"
    "  --list               print every country's code and name\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Exit status: 0 after a listing, 1 when the service could not be asked, 2 for a usage\n"
    "error.\n";

// The terminal's side of a fetch: the country comes from the command line, rows go to
// standard output as they are listed, captions and failures to standard error.
class CliView final : public RetrievalView {
public:
    CliView(int entry, std::FILE* out, std::FILE* err) : m_entry(entry), m_out(out), m_err(err) {}

    bool failed() const { return m_failed; }

    int selectedEntry() const override { return m_entry; }
    std::optional<std::int32_t> itemData(int position) const override {
        return CountryTable::itemData(position);
    }
    std::string countryText() const override {
        return std::string(CountryTable::entryName(m_entry));
    }
    void fetchStarted() override { setStatus(kRetrievingText); }
    void fetchEnded() override { std::fflush(m_out); }
    void setStatus(const std::string& caption) override {
        if (caption != m_status) {
            m_status = caption;
            std::fprintf(m_err, "%s\n", m_text(caption).c_str());
        }
    }
    void setCountryHeading(const std::string& caption) override { setStatus(caption); }
    // Nothing has been written to standard output before a fetch clears the list.
    void clearList() override {}
    void addListRow(const std::string& row) override {
        std::fprintf(m_out, "%s\n", m_text(row).c_str());
    }
    void enableDisplay() override {}
    void enableCountryList() override {}
    // The failure text is already the status caption on standard error.
    void showMessage(const std::string& /*text*/, int /*style*/) override { m_failed = true; }
    void processEvents() override {}

private:
    int m_entry;
    std::FILE* m_out;
    std::FILE* m_err;
    TerminalText m_text;
    std::string m_status;
    bool m_failed = false;
};

}  // namespace

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
    request.entry = CountryNames::find(name);
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

namespace {

int runAction(const CliRequest& request, Internet& internet, std::FILE* out, std::FILE* err) {
    switch (request.action) {
        case CliRequest::Action::Help:
            std::fputs(kUsageText, out);
            return CliExit::kListed;
        case CliRequest::Action::Version:
            std::fprintf(out, "horalux-cli %s\n", HORALUX_VERSION);
            return CliExit::kListed;
        case CliRequest::Action::List: {
            const TerminalText text;
            for (int entry = 1; entry < CountryTable::kEntryCount; ++entry) {
                std::fprintf(out, "%3d  %s\n", CountryTable::codeOf(entry).value_or(0),
                             text(std::string(CountryTable::entryName(entry))).c_str());
            }
            return CliExit::kListed;
        }
        case CliRequest::Action::Fetch:
            break;
    }
    RetrievalState state;
    state.SessionHandle = internet.open(kUserAgent, static_cast<int>(request.access));
    if (state.SessionHandle == kNoHandle) {
        std::fputs("Internet session failed to create\n", err);
        return CliExit::kFailed;
    }
    CliView view(request.entry, out, err);
    TimeRetrieval retrieval(internet, view, state, request.service);
    const TimeRetrieval::Outcome outcome = retrieval.run();
    for (InternetHandle* handle :
         {&state.ConnectHandle, &state.RequestHandle, &state.SessionHandle}) {
        closeAndClear(internet, *handle);
    }
    return outcome == TimeRetrieval::Outcome::Listed && !view.failed() ? CliExit::kListed
                                                                       : CliExit::kFailed;
}

}  // namespace

int runCli(const CliRequest& request, Internet& internet, std::FILE* out, std::FILE* err) {
    const int code = runAction(request, internet, out, err);
    if (std::fflush(out) != 0 || std::ferror(out) != 0) {
        std::fprintf(err, "horalux-cli: cannot write the output: %s\n", std::strerror(errno));
        return CliExit::kFailed;
    }
    return code;
}

}  // namespace horalux
