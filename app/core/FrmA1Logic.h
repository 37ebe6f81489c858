#pragma once

#include <string>

#include "app/core/MainState.h"
#include "app/core/MainView.h"
#include "fetch/RetrievalView.h"
#include "fetch/ServiceAddress.h"
#include "fetch/TimeRetrieval.h"
#include "platform/Desktop.h"
#include "platform/Internet.h"

namespace horalux {

// Where to get the HTTP client library when it is missing.
inline constexpr const char* kLibraryDownloadAddress = "https://curl.se/download.html";

// Tag texts of the progress display.
inline constexpr const char* kShowingTag = "TmrInternetChk";
inline constexpr const char* kHoldTag = "h";

// Colours of the connectivity watch.
inline constexpr Rgb kOnlineTextColour{128, 221, 64};
inline constexpr Rgb kOnlineFillColour{0, 222, 0};
inline constexpr Rgb kOfflineTextColour{255, 64, 64};
inline constexpr Rgb kOfflineFillColour{255, 0, 112};

// Key code of the T key, which switches the connectivity watch on and off.
inline constexpr int kKeyT = 84;

// The program's version as the About box shows it.
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 3;
inline constexpr int kVersionRevision = 1;
// Shown by the two commands announced for a later version.
inline constexpr const char* kAnnouncedNotice =
    "You will be having this feature in the my next version of Horalux";

// The main window's handlers, written against a thin view of its controls and the
// platform interfaces, so that they run without a toolkit. Holds the window's state.
class FrmA1Logic : private RetrievalView {
public:
    // `service` is where "Display time" sends its request.
    FrmA1Logic(MainView& view, Internet& internet, Desktop& desktop, ServiceAddress service = {});

    MainState& state() { return m_state; }
    const MainState& state() const { return m_state; }

    // The system folder as the platform reports it, cut to 255 characters.
    std::string GetWindowsDir();

    // Checks that the HTTP client library is present. Returns false when it is missing:
    // the user has then been told how to get it and the program must end at once,
    // without loading or showing the window.
    bool Form_Initialize();
    // Opens the internet session, writes the list's header row, selects the default
    // country.
    void Form_Load();
    // A key release anywhere in the window; `shift` (the modifier state) is ignored.
    void Form_KeyUp(int keyCode, int shift);
    // Closes the connection, request and session handles, in that order. A fetch that is
    // running ends at its next wait without showing anything more.
    void Form_Unload(int& cancel);

    // "Display time": fetches and lists the selected country. A click while a fetch runs
    // starts nothing.
    void CmdCountry_Click();

    // Moves the scan line down by ScanStep, wrapping to the top at 6900 twips.
    void Timer1_Timer();
    // Shows the progress panel while a fetch runs; after it, arms a hold and then
    // releases the panel and "Display time".
    void Timer2_Timer();
    // Moves the status label down in a jitter; hides the panel once no fetch runs.
    void Timer3_Timer();
    // Shows whether the time service can be reached, and allows a fetch only then.
    void TmrInternetChk_Timer();

    // Country selection and list commands.
    // The combo's text changed; selecting a country starts nothing.
    void CmbCountry_Change();
    // An entry of the combo was selected.
    void CmbCountry_Click();
    // A key went down in the combo; the key and modifier state are left as they are.
    void CmbCountry_KeyDown(int& keyCode, int& shift);
    // The list's selection changed: a data row enables both copy buttons.
    void LstInfo_Click();
    // The list lost the focus: both copy buttons are disabled.
    void LstInfo_LostFocus();
    // Puts the selected row on the clipboard, as shown; nothing when no row is selected.
    void CmdCopy_Click();
    // Puts every row on the clipboard, header included, joined by CR LF.
    void CmdCopyAll_Click();
    // The two announced commands show their notice.
    void ChkAutoget_Click();
    void CmdSetLocal_Click();
    // Shows the About box in place of the window, then the window again in its normal state.
    void CmdAbout_Click();
    // Runs the connection dialog; on a choice, closes connection, request and session and
    // opens a new session with the chosen access type.
    void CmdConnection_Click();

    // Tag of LblAni: kShowingTag from a fetch's first show step until the release step.
    const std::string& lblAniTag() const { return m_lblAniTag; }
    // Tag of Timer2: kHoldTag while the hold after a fetch is armed.
    const std::string& timer2Tag() const { return m_timer2Tag; }

private:
    // RetrievalView: what a fetch reads and shows on the window.
    int selectedEntry() const override;
    std::optional<std::int32_t> itemData(int position) const override;
    std::string countryText() const override;
    void fetchStarted() override;
    void fetchEnded() override;
    void setStatus(const std::string& caption) override;
    void setCountryHeading(const std::string& caption) override;
    void clearList() override;
    void addListRow(const std::string& row) override;
    void enableDisplay() override;
    void enableCountryList() override;
    void showMessage(const std::string& text, int style) override;
    void processEvents() override;

    void runMissingLibraryFlow();

    MainView& m_view;
    Internet& m_internet;
    Desktop& m_desktop;
    MainState m_state;
    // Where requests go.
    ServiceAddress m_service;
    // The fetch behind "Display time".
    TimeRetrieval m_retrieval;
    std::string m_lblAniTag;
    std::string m_timer2Tag;
};

}  // namespace horalux
