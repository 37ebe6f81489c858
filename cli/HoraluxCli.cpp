#include "cli/HoraluxCli.h"

#include <cerrno>
#include <cstring>

#include "cli/TerminalText.h"
#include "fetch/CountryNames.h"
#include "fetch/CountryTable.h"
#include "fetch/RetrievalView.h"
#include "fetch/TimeRetrieval.h"

namespace horalux {
namespace {

// The terminal's side of a fetch: the country comes from the command line, the listing goes
// to standard output as rows come, captions and failures to standard error. In the text
// format the lines are the window's; in the others the rows' cells are written whole, and a
// page whose table cannot be read is a failure that writes nothing to standard output.
class CliView final : public RetrievalView {
public:
    CliView(int entry, ListingFormat format, std::FILE* out, std::FILE* err)
        : m_entry(entry), m_format(format), m_writer(format), m_out(out), m_err(err) {}

    bool failed() const { return m_failed; }

    int selectedEntry() const override { return m_entry; }
    std::optional<std::int32_t> itemData(int position) const override {
        return CountryTable::itemData(position);
    }
    std::string countryText() const override {
        return std::string(CountryTable::entryName(m_entry));
    }
    void fetchStarted() override { setStatus(kRetrievingText); }
    void fetchEnded() override {
        if (m_begun) {
            std::fputs(m_writer.tail().c_str(), m_out);
        }
        std::fflush(m_out);
    }
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
        if (m_format == ListingFormat::Text) {
            std::fprintf(m_out, "%s\n", m_text(row).c_str());
        }
    }
    bool takesCells() const override { return m_format != ListingFormat::Text; }
    void tableFound(bool readable, const std::string& tzdataRelease) override {
        if (!readable) {
            std::fputs("horalux-cli: the page holds no table of places\n", m_err);
            m_failed = true;
            return;
        }
        ListingHead head;
        head.country = countryText();
        head.code = CountryTable::codeOf(m_entry).value_or(0);
        for (const auto& codes : CountryNames::isoCodesOf(m_entry)) {
            head.iso.push_back(codes.first);
        }
        head.tzdataRelease = tzdataRelease;
        std::fputs(m_writer.head(head).c_str(), m_out);
        m_begun = true;
    }
    void addCells(const ResultCells& cells) override {
        if (m_begun) {
            std::fputs(m_writer.row(cells).c_str(), m_out);
        }
    }
    void enableDisplay() override {}
    void enableCountryList() override {}
    // The failure text is already the status caption on standard error.
    void showMessage(const std::string& /*text*/, int /*style*/) override { m_failed = true; }
    void processEvents() override {}

private:
    int m_entry;
    ListingFormat m_format;
    ListingWriter m_writer;
    std::FILE* m_out;
    std::FILE* m_err;
    TerminalText m_text;
    std::string m_status;
    // The listing's head has been written: its tail is owed.
    bool m_begun = false;
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
    CliView view(request.entry, request.format, out, err);
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
