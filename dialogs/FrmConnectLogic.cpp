#include "dialogs/FrmConnectLogic.h"

namespace horalux {

FrmConnectLogic::FrmConnectLogic(ConnectView& view, FrmConnectState& state)
    : m_view(view), m_state(state) {}

void FrmConnectLogic::Form_Load() {
    m_view.setTypeSelectedIndex(0);
}

void FrmConnectLogic::Command1_Click() {
    m_state.AccessType = static_cast<std::int16_t>(m_view.typeSelectedIndex());
    m_view.hideDialog();
}

void FrmConnectLogic::Command2_Click() {
    m_state.AccessType = kAccessCancelled;
    m_view.hideDialog();
}

}  // namespace horalux
