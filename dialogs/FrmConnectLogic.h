#pragma once

#include <array>
#include <cstdint>

#include "dialogs/ConnectView.h"

namespace horalux {

// Entries of the connection-type list, in order: an entry's index is the access type the
// internet session is opened with (0: the system's proxy settings, 1: no proxy).
inline constexpr std::array<const char*, 2> kConnectionTypes{"Use settings from IE", "Direct"};
// AccessType after "Cancel": leave the session as it is.
inline constexpr std::int16_t kAccessCancelled = -1;

// The connection dialog's public state. It outlives the dialog's window: a window closed
// from its frame is destroyed, and the next showing builds a new one over the same state.
struct FrmConnectState {
    // The chosen access type, or kAccessCancelled; 0 until "Save" or "Cancel" first writes
    // it, and never reset.
    std::int16_t AccessType = 0;
};

// The connection dialog's handlers, written against a thin view of its controls.
class FrmConnectLogic {
public:
    FrmConnectLogic(ConnectView& view, FrmConnectState& state);

    // Selects the first connection type.
    void Form_Load();
    // "Save": records the selected connection type and hides the dialog.
    void Command1_Click();
    // "Cancel": records kAccessCancelled and hides the dialog.
    void Command2_Click();

private:
    ConnectView& m_view;
    FrmConnectState& m_state;
};

}  // namespace horalux
