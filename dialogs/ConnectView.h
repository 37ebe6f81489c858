#pragma once

namespace horalux {

// A thin view of the connection dialog: the connection-type list and the dialog's showing.
class ConnectView {
public:
    virtual ~ConnectView() = default;

    // Selected entry of the connection-type list (CmbType), -1 when none.
    virtual int typeSelectedIndex() const = 0;
    virtual void setTypeSelectedIndex(int index) = 0;
    // Hides the dialog without destroying it, which ends its modal showing.
    virtual void hideDialog() = 0;
};

}  // namespace horalux
