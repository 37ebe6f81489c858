#pragma once

#include <QDialog>

#include "dialogs/ConnectView.h"
#include "dialogs/FrmConnectLogic.h"

class QComboBox;

namespace horalux {

// The connection dialog: the connection-type list with "Save" and "Cancel", laid out at 15
// twips per pixel. Its buttons only hide it, so a later showing finds the same selection;
// closed from its frame it runs no handler and reports closedFromFrame(), after which its
// owner destroys it. Neither button is the default or the cancel button.
class FrmConnect final : public QDialog, public ConnectView {
    Q_OBJECT

public:
    explicit FrmConnect(FrmConnectState& state, QWidget* parent = nullptr);

    // Runs the load handler. Call once, after construction.
    void load();
    // The dialog was closed from its window frame rather than by one of its buttons.
    bool closedFromFrame() const { return m_closedFromFrame; }

    // ConnectView
    int typeSelectedIndex() const override;
    void setTypeSelectedIndex(int index) override;
    void hideDialog() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // There is no cancel button: Escape does nothing.
    void reject() override;

private:
    FrmConnectLogic m_logic;
    QComboBox* m_cmbType = nullptr;
    bool m_closedFromFrame = false;
};

}  // namespace horalux
