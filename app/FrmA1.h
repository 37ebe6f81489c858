#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "app/MainLayout.h"
#include "app/ScanLine.h"
#include "app/WindowTimers.h"
#include "app/core/FrmA1Logic.h"
#include "app/core/MainView.h"
#include "dialogs/FrmConnectLogic.h"
#include "platform/Registry.h"

class QDialog;
class QListWidget;

namespace horalux {

class FrmConnect;
class SimpleComboBox;

// Shows a dialog modally and returns once it has been hidden or closed. The program's own
// runs a nested event loop; a test's answers the dialog and returns.
using ModalRunner = std::function<void(QDialog& dialog)>;

// The main window: its controls built from the layout table at 15 twips per pixel, the view
// its handlers in FrmA1Logic see, and every event passed on to them.
class FrmA1 final : public QWidget, public MainView {
    Q_OBJECT

public:
    // "Display time" asks the time service at `service`.
    FrmA1(Internet& internet, Desktop& desktop, Registry& registry,
          TimerMode timerMode = TimerMode::Live, ServiceAddress service = {},
          QWidget* parent = nullptr);
    ~FrmA1() override;

    // False when the start-up check found the HTTP client library missing: the program
    // must then end without loading or showing the window.
    bool initialized() const { return m_initialized; }
    // Runs the load handler and starts the timers that are enabled. Call once, before show.
    void load();

    FrmA1Logic& logic() { return m_logic; }

    // Replaces how the About box and the connection dialog are shown modally.
    void setModalRunner(ModalRunner runner) { m_runModal = std::move(runner); }
    // The connection dialog while it exists (shown or hidden), else null.
    FrmConnect* connectionDialog() const { return m_frmConnect.get(); }

    // QWidget's own members of these names stay reachable next to the view's.
    using QWidget::isEnabled;
    using QWidget::isVisible;
    using QWidget::setEnabled;
    using QWidget::setVisible;

    // MainView
    void setEnabled(Control control, bool enabled) override;
    bool isEnabled(Control control) const override;
    void setVisible(Control control, bool visible) override;
    bool isVisible(Control control) const override;
    void setCaption(Control control, const std::string& caption) override;
    std::string caption(Control control) const override;
    void setTextColour(Control control, Rgb colour) override;
    Rgb textColour(Control control) const override;
    void setTop(Control control, int twips) override;
    int top(Control control) const override;
    void setTimerEnabled(Timer timer, bool enabled) override;
    bool isTimerEnabled(Timer timer) const override;
    void setTimerInterval(Timer timer, int milliseconds) override;
    int timerInterval(Timer timer) const override;
    void setShapeFillColour(Rgb colour) override;
    Rgb shapeFillColour() const override;
    void setLineColour(Rgb colour) override;
    Rgb lineColour() const override;
    void setLineY(int twips) override;
    int lineY1() const override;
    int lineY2() const override;
    void clearList() override;
    void addListRow(const std::string& row) override;
    int listCount() const override;
    std::string listRow(int index) const override;
    int listSelectedIndex() const override;
    int comboSelectedIndex() const override;
    void setComboSelectedIndex(int index) override;
    std::string comboText() const override;
    std::optional<std::int32_t> comboItemData(int position) const override;
    void setWindowEnabled(bool enabled) override;
    bool isWindowEnabled() const override;
    void setWindowStateNormal() override;
    bool isWindowStateNormal() const override;
    void processEvents() override;
    void setWindowStateMinimized() override;
    void setWindowVisible(bool visible) override;
    bool isWindowVisible() const override;
    void showAboutBox() override;
    std::int16_t showConnectionDialog() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Wires the controls' events to their handlers.
    void connectCommands();
    // Destroys the connection dialog, shown or hidden.
    void dropConnectionDialog();
    // Runs the handler of a timer's tick.
    void tick(Timer timer);
    QWidget* widgetOf(Control control) const { return m_controls[indexOf(control)]; }
    SimpleComboBox* countryList() const;
    QListWidget* resultList() const;

    FrmA1Logic m_logic;
    bool m_initialized = false;

    // The controls, indexed by Control.
    std::array<QWidget*, kControlCount> m_controls{};
    // Each control's top, in twips from its container's top, as last set.
    std::array<int, kControlCount> m_tops{};
    ScanLine m_scanLine{*this, m_controls};
    std::unique_ptr<WindowTimers> m_timers;

    Desktop& m_desktop;
    Registry& m_registry;
    ModalRunner m_runModal;
    // The connection dialog's AccessType, which outlives its window.
    FrmConnectState m_connectState;
    // Built on the first "Connection", hidden by its buttons, destroyed when closed from its
    // frame and when this window closes.
    std::unique_ptr<FrmConnect> m_frmConnect;
};

}  // namespace horalux
