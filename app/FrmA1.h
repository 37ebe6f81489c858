#pragma once

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "FrmA1Logic.h"
#include "FrmConnectLogic.h"
#include "MainView.h"
#include "Registry.h"

class QCheckBox;
class QDialog;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;

namespace horalux {

class FrmConnect;
class SimpleComboBox;

// Whether the window's timers deliver ticks. Tests build the window with Manual and drive
// the handlers themselves, so that no tick comes in between.
enum class TimerMode { Live, Manual };

// Shows a dialog modally and returns once it has been hidden or closed. The program's own
// runs a nested event loop; a test's answers the dialog and returns.
using ModalRunner = std::function<void(QDialog& dialog)>;

// The main window: its controls laid out at 15 twips per pixel, painting the heading's
// rectangle and the scan line behind them, and passing every event to FrmA1Logic.
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
    // A timer as the window's handlers see it: enabled state and interval kept apart from
    // the Qt timer, which runs only in TimerMode::Live while the timer is enabled.
    struct WindowTimer {
        QTimer* qtTimer = nullptr;
        bool enabled = false;
        int interval = 0;      // milliseconds
        bool ticking = false;  // its handler is running; a tick due meanwhile is dropped
    };

    void buildControls();
    void buildTimers();
    // Wires the list commands and the combo's events to their handlers.
    void connectCommands();
    // Destroys the connection dialog, shown or hidden.
    void dropConnectionDialog();
    QWidget* widgetOf(Control control) const;
    WindowTimer& timerOf(Timer timer);
    const WindowTimer& timerOf(Timer timer) const;
    void applyTimer(WindowTimer& timer);
    void tick(Timer timer);
    // Where the scan line can show: the client area less every control over it.
    QRegion lineMask() const;
    // The band the scan line covers at the given heights, in pixels.
    QRect lineStrip(int y1Twips, int y2Twips) const;

    FrmA1Logic m_logic;
    TimerMode m_timerMode;
    bool m_initialized = false;

    SimpleComboBox* m_cmbCountry = nullptr;
    QListWidget* m_lstInfo = nullptr;
    QFrame* m_frmAni = nullptr;
    QLabel* m_lblAni = nullptr;
    QPushButton* m_cmdCountry = nullptr;
    QPushButton* m_cmdSetLocal = nullptr;
    QPushButton* m_cmdConnection = nullptr;
    QPushButton* m_cmdCopy = nullptr;
    QPushButton* m_cmdCopyAll = nullptr;
    QPushButton* m_cmdAbout = nullptr;
    QCheckBox* m_chkAutoget = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_lblCountryName = nullptr;

    // Top of LblAni, in twips from the panel's top.
    int m_lblAniTop = 0;
    // Fill colour of Shape1, the rectangle behind the country heading.
    Rgb m_shapeFill{224, 224, 224};
    // Colour of Line1, the scan line.
    Rgb m_lineColour{224, 224, 224};
    // Heights of Line1's two ends, in twips from the client area's top.
    int m_lineY1 = 240;
    int m_lineY2 = 255;

    std::array<WindowTimer, 4> m_timers;

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
