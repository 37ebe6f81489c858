#include "app/core/FrmA1Logic.h"

#include <cmath>

#include "dialogs/FrmConnectLogic.h"
#include "fetch/CountryTable.h"
#include "fetch/ResultRow.h"
#include "fetch/TimeRetrieval.h"

namespace horalux {
namespace {

// Size of the buffer the system folder is read into, in characters.
constexpr std::size_t kWindowsDirBufferSize = 255;
// The scan line starts again at the top once it reaches this height, in twips.
constexpr std::int16_t kScanWrap = 6900;
// The status label starts again at this top, in twips, and wraps past kAniBottom.
constexpr std::int16_t kAniStartTop = 120;
constexpr std::int16_t kAniBottom = 4935;
// Timer2's interval while a fetch's panel is shown, and while it is held afterwards.
constexpr int kShowInterval = 10;
constexpr int kHoldInterval = 1000;

// Rounds to the nearest integer, ties to even.
std::int16_t roundHalfEven(double value) {
    return static_cast<std::int16_t>(std::nearbyint(value));
}

}  // namespace

FrmA1Logic::FrmA1Logic(MainView& view, Internet& internet, Desktop& desktop, ServiceAddress service)
    : m_view(view),
      m_internet(internet),
      m_desktop(desktop),
      m_service(std::move(service)),
      m_retrieval(internet, *this, m_state, m_service) {}

std::string FrmA1Logic::GetWindowsDir() {
    std::string dir = m_desktop.systemDirectory();
    if (dir.size() > kWindowsDirBufferSize) {
        dir.resize(kWindowsDirBufferSize);
    }
    return dir;
}

bool FrmA1Logic::Form_Initialize() {
    const std::string path = GetWindowsDir() + "/" + m_desktop.httpLibraryFileName();
    // Only a file that is plainly not there stops the program; a file of any length passes,
    // and any other failure of the query is no reason to refuse to start.
    if (m_desktop.fileLength(path).status != FileLength::Status::NotFound) {
        return true;
    }
    runMissingLibraryFlow();
    return false;
}

void FrmA1Logic::runMissingLibraryFlow() {
    const std::string crlf = "\r\n";
    const std::string windir = m_desktop.environmentVariable("windir");
    const std::string message =
        "File 'WININET.DLL' is missing from windows directory" + crlf + crlf + "Download link - " +
        kLibraryDownloadAddress + crlf +
        "This download link is copied for you and paste it into your web browser" + crlf +
        "Save MSINET.OCX file to " + windir +
        "\\System32 system folder and make a backup copy also" + crlf + crlf +
        "Vexor-Horalux or Dllarchive is not responsible for any damage to any your electronic "
        "medium" +
        crlf +
        "This software and Dllarchive are separate entities and are not joint under any "
        "'aggreements' or 'policies' or 'etc'";
    m_desktop.messageBox(message, MessageStyle::kCritical, "DLL Missing File");
    m_desktop.setClipboardText("");
    m_desktop.setClipboardText(kLibraryDownloadAddress);
    m_desktop.startProgram({"xdg-open", GetWindowsDir()}, WindowStyle::kMinimizedFocus);
}

void FrmA1Logic::Form_Load() {
    m_state.SessionHandle = m_internet.open(kUserAgent, static_cast<int>(AccessType::Preconfig));
    if (m_state.SessionHandle == kNoHandle) {
        m_desktop.messageBox("Internet session failed to create", MessageStyle::kOkOnly, kAppTitle);
    }
    m_state.ScanStep = 10;
    m_view.addListRow(HeaderRow());
    m_view.setComboSelectedIndex(CountryTable::kDefaultEntry);
}

void FrmA1Logic::Form_KeyUp(int keyCode, int /*shift*/) {
    if (keyCode != kKeyT) {
        return;
    }
    const bool watching = !m_view.isTimerEnabled(Timer::TmrInternetChk);
    m_view.setTimerEnabled(Timer::TmrInternetChk, watching);
    if (!watching) {
        m_view.setEnabled(Control::CmdCountry, true);
        m_view.setEnabled(Control::CmdCopy, true);
        m_view.setEnabled(Control::CmdCopyAll, true);
    }
}

void FrmA1Logic::Form_Unload(int& /*cancel*/) {
    m_retrieval.abandon();
    closeAndClear(m_internet, m_state.ConnectHandle);
    closeAndClear(m_internet, m_state.RequestHandle);
    closeAndClear(m_internet, m_state.SessionHandle);
}

void FrmA1Logic::Timer1_Timer() {
    m_state.ScanPos = static_cast<std::int16_t>(m_state.ScanPos + m_state.ScanStep);
    if (m_state.ScanPos >= kScanWrap) {
        m_state.ScanPos = 0;
        return;
    }
    m_view.setLineY(m_state.ScanPos);
}

void FrmA1Logic::Timer2_Timer() {
    if (m_state.FetchBusy == kFlagSet) {
        m_view.setVisible(Control::FrmAni, true);
        m_view.setEnabled(Control::CmdCountry, false);
        if (m_lblAniTag != kShowingTag) {
            m_view.setCaption(Control::LblAni, kRetrievingText);
            m_view.setTimerEnabled(Timer::Timer3, true);
        }
        m_lblAniTag = kShowingTag;
    } else if (m_timer2Tag != kHoldTag) {
        m_view.setTimerInterval(Timer::Timer2, kHoldInterval);
        if (m_lblAniTag == kShowingTag) {
            m_timer2Tag = kHoldTag;
        }
        return;
    }
    if (m_timer2Tag == kHoldTag) {
        m_view.setVisible(Control::FrmAni, false);
        m_lblAniTag.clear();
        m_view.setTimerInterval(Timer::Timer2, kShowInterval);
        m_view.setTimerEnabled(Timer::Timer3, false);
        m_timer2Tag.clear();
        m_view.setEnabled(Control::CmdCountry, true);
    }
}

void FrmA1Logic::Timer3_Timer() {
    if (m_state.FetchBusy == kFlagClear) {
        m_state.AniTop = kAniStartTop;
        m_view.setVisible(Control::FrmAni, false);
    }
    if (m_state.AniTop > kAniBottom) {
        m_state.AniTop = kAniStartTop;
    }
    m_state.AniPhase = m_state.AniPhase == kFlagSet ? kFlagClear : kFlagSet;
    if (m_state.AniPhase == kFlagSet) {
        m_state.AniTop = roundHalfEven(m_state.AniTop + 4.3);
    } else {
        m_state.AniTop = roundHalfEven(m_state.AniTop - 1.2);
    }
    m_view.setTop(Control::LblAni, m_state.AniTop);
}

void FrmA1Logic::TmrInternetChk_Timer() {
    const bool connected = m_internet.connectedState();
    if (m_state.WatchStarted == kFlagClear) {
        m_view.setWindowEnabled(true);
        m_view.setWindowStateNormal();
        m_state.WatchStarted = kFlagSet;
    }
    m_view.setEnabled(Control::CmdCountry, connected);
    m_view.setCaption(Control::Label1, connected ? " Internet On" : " Internet Off");
    const Rgb text = connected ? kOnlineTextColour : kOfflineTextColour;
    m_view.setTextColour(Control::Label1, text);
    m_view.setLineColour(text);
    m_view.setShapeFillColour(connected ? kOnlineFillColour : kOfflineFillColour);
    if (!connected) {
        m_view.setComboSelectedIndex(CountryTable::kDefaultEntry);
    }
}

void FrmA1Logic::CmdCountry_Click() {
    m_retrieval.run();
}

int FrmA1Logic::selectedEntry() const {
    return m_view.comboSelectedIndex();
}

std::optional<std::int32_t> FrmA1Logic::itemData(int position) const {
    return m_view.comboItemData(position);
}

std::string FrmA1Logic::countryText() const {
    return m_view.comboText();
}

void FrmA1Logic::fetchStarted() {
    m_state.FetchBusy = kFlagSet;
    m_state.ScanStep = 100;
    Timer2_Timer();
    m_view.setTimerEnabled(Timer::Timer2, true);
}

void FrmA1Logic::fetchEnded() {
    m_state.ScanStep = 10;
    m_state.FetchBusy = kFlagClear;
}

void FrmA1Logic::setStatus(const std::string& caption) {
    m_view.setCaption(Control::LblAni, caption);
}

void FrmA1Logic::setCountryHeading(const std::string& caption) {
    m_view.setCaption(Control::LblCountryName, caption);
}

void FrmA1Logic::clearList() {
    m_view.clearList();
}

void FrmA1Logic::addListRow(const std::string& row) {
    m_view.addListRow(row);
}

void FrmA1Logic::enableDisplay() {
    m_view.setEnabled(Control::CmdCountry, true);
}

void FrmA1Logic::enableCountryList() {
    m_view.setEnabled(Control::CmbCountry, true);
}

void FrmA1Logic::showMessage(const std::string& text, int style) {
    m_desktop.messageBox(text, style, kAppTitle);
}

void FrmA1Logic::processEvents() {
    m_view.processEvents();
}

// Country selection and list commands.

void FrmA1Logic::CmbCountry_Change() {}

void FrmA1Logic::CmbCountry_Click() {
    CmbCountry_Change();
}

void FrmA1Logic::CmbCountry_KeyDown(int& /*keyCode*/, int& /*shift*/) {
    CmbCountry_Change();
}

void FrmA1Logic::LstInfo_Click() {
    if (m_view.listSelectedIndex() > 0) {
        m_view.setEnabled(Control::CmdCopy, true);
        m_view.setEnabled(Control::CmdCopyAll, true);
    }
}

void FrmA1Logic::LstInfo_LostFocus() {
    m_view.setEnabled(Control::CmdCopy, false);
    m_view.setEnabled(Control::CmdCopyAll, false);
}

void FrmA1Logic::CmdCopy_Click() {
    const std::string row = m_view.listRow(m_view.listSelectedIndex());
    if (row.empty()) {
        return;
    }
    m_desktop.setClipboardText(row);
}

void FrmA1Logic::CmdCopyAll_Click() {
    std::string text;
    const int last = m_view.listCount() - 1;
    for (int i = 0; i <= last; ++i) {
        if (i > 0) {
            text += "\r\n";
        }
        text += m_view.listRow(i);
    }
    m_desktop.setClipboardText(text);
}

void FrmA1Logic::ChkAutoget_Click() {
    m_desktop.messageBox(kAnnouncedNotice, MessageStyle::kOkOnly, kAppTitle);
}

void FrmA1Logic::CmdSetLocal_Click() {
    m_desktop.messageBox(kAnnouncedNotice, MessageStyle::kOkOnly, kAppTitle);
}

void FrmA1Logic::CmdAbout_Click() {
    m_view.setWindowStateMinimized();
    m_view.setWindowVisible(false);
    m_view.showAboutBox();
    m_view.setWindowVisible(true);
    m_view.setWindowStateNormal();
}

void FrmA1Logic::CmdConnection_Click() {
    const std::int16_t accessType = m_view.showConnectionDialog();
    if (accessType <= kAccessCancelled) {
        return;
    }
    // A fetch running meanwhile finds its handles gone and ends its read there.
    closeAndClear(m_internet, m_state.ConnectHandle);
    closeAndClear(m_internet, m_state.RequestHandle);
    closeAndClear(m_internet, m_state.SessionHandle);
    m_state.SessionHandle = m_internet.open(kUserAgent, accessType);
}

}  // namespace horalux
