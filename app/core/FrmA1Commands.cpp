// The main window's country selection and list commands.

#include "FrmA1Logic.h"
#include "FrmConnectLogic.h"

namespace horalux {

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
