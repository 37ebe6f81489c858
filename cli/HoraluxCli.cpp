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

namespace {

int runAction(const CliRequest& request, Internet& internet, std::FILE* out, std::FILE* err) {
    switch (request.action) {
        case CliRequest::Action::Help:
            std::fputs(cliHelpText(), out);
            return CliExit::kListed;
        case CliRequest::Action::Version:
            std::fprintf(out, "horalux-cli %s\n", HORALUX_VERSION);
            return CliExit::kListed;
        case CliRequest::Action::List: {
            const TerminalText text;
            for (int entry = 1; entry < CountryTable::kEntryCount; ++entry) {
                std::string alpha2;
                std::string alpha3;
                for (const auto& [two, three] : CountryNames::isoCodesOf(entry)) {
                    alpha2 += (alpha2.empty() ? "" : ",") + two;
                    alpha3 += (alpha3.empty() ? "" : ",") + (three.empty() ? "-" : three);
                }
                std::fprintf(out, "%3d  %-8s  %-11s  %s\n", CountryTable::codeOf(entry).value_or(0),
                             alpha2.c_str(), alpha3.c_str(),
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
