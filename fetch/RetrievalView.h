#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fetch/ResultRow.h"
#include "platform/Internet.h"

namespace horalux {

// The handles and the identifier a time fetch works with: the window's or the terminal's
// own. Whoever closes a handle sets its field to kNoHandle, so no handle is closed twice.
struct RetrievalState {
    // The program's one internet session.
    InternetHandle SessionHandle = kNoHandle;
    // Connection to the time service's host, of the last fetch.
    InternetHandle ConnectHandle = kNoHandle;
    // HTTP request of the last fetch.
    InternetHandle RequestHandle = kNoHandle;
    // Identifier handed out by the time service and sent back with later requests.
    std::string ServiceId;
};

// What a time fetch reads and shows, in the terms of the main window: the country list,
// the status caption, the country heading, the result list and the two controls a fetch
// enables. Texts are ISO-8859-1 byte strings.
class RetrievalView {
public:
    virtual ~RetrievalView() = default;

    // Selected entry of the country list: 0 for the empty first entry, -1 for none.
    virtual int selectedEntry() const = 0;
    // Item data of the country list at `position`; nothing outside its entries.
    virtual std::optional<std::int32_t> itemData(int position) const = 0;
    // The country list's text as shown.
    virtual std::string countryText() const = 0;

    // A fetch for a selected country starts: the progress display comes up.
    virtual void fetchStarted() = 0;
    // Every fetch ends here, also one that made no request.
    virtual void fetchEnded() = 0;

    // Caption of the status label.
    virtual void setStatus(const std::string& caption) = 0;
    // Caption of the country heading.
    virtual void setCountryHeading(const std::string& caption) = 0;
    virtual void clearList() = 0;
    virtual void addListRow(const std::string& row) = 0;
    // True for a view that takes the table's cells whole as well as the lines; the calls
    // below come only to such a view.
    virtual bool takesCells() const { return false; }
    // After the list's header line: whether the page's table could be read, and the tzdata
    // release the page names (empty when none).
    virtual void tableFound(bool /*readable*/, const std::string& /*tzdataRelease*/) {}
    // After addListRow: the cells of the row that line was made from.
    virtual void addCells(const ResultCells& /*cells*/) {}
    // Enables "Display time".
    virtual void enableDisplay() = 0;
    // Enables the country list.
    virtual void enableCountryList() = 0;
    // Tells the user of a failure with a modal message of the given style (MessageStyle).
    virtual void showMessage(const std::string& text, int style) = 0;
    // Lets pending events run.
    virtual void processEvents() = 0;
};

}  // namespace horalux
