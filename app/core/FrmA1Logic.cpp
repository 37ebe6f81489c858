#include "FrmA1Logic.h"

#include "CountryTable.h"
#include "ResultRow.h"

namespace horalux {
namespace {

// Size of the buffer the system folder is read into, in characters.
constexpr std::size_t kWindowsDirBufferSize = 255;

}  // namespace

FrmA1Logic::FrmA1Logic(MainView& view, Internet& internet, Desktop& desktop)
    : m_view(view), m_internet(internet), m_desktop(desktop) {}

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

void FrmA1Logic::closeHandle(InternetHandle& handle) {
    if (handle != kNoHandle) {
        m_internet.closeHandle(handle);
        handle = kNoHandle;
    }
}

void FrmA1Logic::Form_Unload(int& /*cancel*/) {
    closeHandle(m_state.ConnectHandle);
    closeHandle(m_state.RequestHandle);
    closeHandle(m_state.SessionHandle);
}

}  // namespace horalux
