// The main window's list commands and dialogs: wiring of their events, and the window's
// own showing around the About box and the connection dialog.

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "AppIcon.h"
#include "FrmA1.h"
#include "FrmAbout.h"
#include "FrmConnect.h"
#include "SimpleComboBox.h"

namespace horalux {
namespace {

// Passes a widget's focus loss and key presses to callbacks. A focus loss because the
// window as a whole lost the focus, or to a popup, leaves the control still the window's
// focus, so it does not count.
class ControlEvents final : public QObject {
public:
    ControlEvents(QObject* parent, std::function<void()> lostFocus,
                  std::function<void(QKeyEvent&)> keyDown)
        : QObject(parent), m_lostFocus(std::move(lostFocus)), m_keyDown(std::move(keyDown)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && m_lostFocus) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                m_lostFocus();
            }
        } else if (event->type() == QEvent::KeyPress && m_keyDown) {
            m_keyDown(*static_cast<QKeyEvent*>(event));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_lostFocus;
    std::function<void(QKeyEvent&)> m_keyDown;
};

}  // namespace

void FrmA1::connectCommands() {
    m_runModal = [](QDialog& dialog) { dialog.exec(); };

    connect(m_cmbCountry, &SimpleComboBox::textChanged, this,
            [this] { m_logic.CmbCountry_Change(); });
    connect(m_cmbCountry, &SimpleComboBox::entrySelected, this,
            [this] { m_logic.CmbCountry_Click(); });
    for (QWidget* part : {static_cast<QWidget*>(m_cmbCountry->editField()),
                          static_cast<QWidget*>(m_cmbCountry->listView())}) {
        part->installEventFilter(new ControlEvents(part, nullptr, [this](QKeyEvent& key) {
            int keyCode = key.key();
            int shift = static_cast<int>(key.modifiers());
            m_logic.CmbCountry_KeyDown(keyCode, shift);
        }));
    }

    connect(m_lstInfo, &QListWidget::currentRowChanged, this, [this] { m_logic.LstInfo_Click(); });
    m_lstInfo->installEventFilter(new ControlEvents(
        m_lstInfo, [this] { m_logic.LstInfo_LostFocus(); }, nullptr));
    // A press on a copy button leaves the focus in the list, so the list's focus loss cannot
    // disable the button under the press; Tab still reaches both.
    m_cmdCopy->setFocusPolicy(Qt::TabFocus);
    m_cmdCopyAll->setFocusPolicy(Qt::TabFocus);

    connect(m_cmdCopy, &QPushButton::clicked, this, [this] { m_logic.CmdCopy_Click(); });
    connect(m_cmdCopyAll, &QPushButton::clicked, this, [this] { m_logic.CmdCopyAll_Click(); });
    connect(m_chkAutoget, &QCheckBox::clicked, this, [this] { m_logic.ChkAutoget_Click(); });
    connect(m_cmdSetLocal, &QPushButton::clicked, this, [this] { m_logic.CmdSetLocal_Click(); });
    connect(m_cmdAbout, &QPushButton::clicked, this, [this] { m_logic.CmdAbout_Click(); });
    connect(m_cmdConnection, &QPushButton::clicked, this,
            [this] { m_logic.CmdConnection_Click(); });
}

void FrmA1::setWindowStateMinimized() {
    setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
}

void FrmA1::setWindowVisible(bool visible) {
    QWidget::setVisible(visible);
}

bool FrmA1::isWindowVisible() const {
    return QWidget::isVisible();
}

void FrmA1::showAboutBox() {
    FrmAbout about(m_registry, m_desktop,
                   {kAppTitle, kVersionMajor, kVersionMinor, kVersionRevision}, windowIcon());
    about.load();
    m_runModal(about);
}

std::int16_t FrmA1::showConnectionDialog() {
    if (!m_frmConnect) {
        m_frmConnect = std::make_unique<FrmConnect>(m_connectState);
        m_frmConnect->load();
        // Centred over this window when built; afterwards it stays where the user left it.
        QRect placed = m_frmConnect->geometry();
        placed.moveCenter(geometry().center());
        m_frmConnect->setGeometry(placed);
    }
    m_runModal(*m_frmConnect);
    if (m_frmConnect->closedFromFrame()) {
        dropConnectionDialog();
    }
    return m_connectState.AccessType;
}

void FrmA1::dropConnectionDialog() {
    m_frmConnect.reset();
}

}  // namespace horalux
