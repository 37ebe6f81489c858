#include "app/FrmA1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "app/AppIcon.h"
#include "app/ControlEvents.h"
#include "app/SimpleComboBox.h"
#include "dialogs/qt/FrmAbout.h"
#include "dialogs/qt/FrmConnect.h"
#include "platform/qt/QtConvert.h"

namespace horalux {

FrmA1::FrmA1(Internet& internet, Desktop& desktop, Registry& registry, TimerMode timerMode,
             ServiceAddress service, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_logic(*this, internet, desktop, std::move(service)),
      m_desktop(desktop),
      m_registry(registry) {
    setObjectName("FrmA1");
    setWindowTitle("Horalux 2.3 Lite- Powered by Zonarium");
    setWindowIcon(appIcon());
    setFixedSize(twips::px(kClientWidth), twips::px(kClientHeight));
    setFont(designFont("Courier New", 12));
    // The window's background is the system's button-face colour.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(windowPalette);
    setAutoFillBackground(true);

    m_controls = buildControls(*this);
    for (const ControlLayout& entry : kMainLayout) {
        m_tops[indexOf(entry.control)] = entry.top;
    }
    resultList()->setFocus();
    m_timers = std::make_unique<WindowTimers>(timerMode, *this, *widgetOf(Control::FrmAni),
                                              [this](Timer timer) { tick(timer); });
    connectCommands();
    qApp->installEventFilter(this);

    m_initialized = m_logic.Form_Initialize();
}

FrmA1::~FrmA1() {
    qApp->removeEventFilter(this);
}

void FrmA1::load() {
    m_logic.Form_Load();
    m_timers->start();
}

void FrmA1::tick(Timer timer) {
    switch (timer) {
        case Timer::Timer1:
            m_logic.Timer1_Timer();
            break;
        case Timer::Timer2:
            m_logic.Timer2_Timer();
            break;
        case Timer::Timer3:
            m_logic.Timer3_Timer();
            break;
        case Timer::TmrInternetChk:
            m_logic.TmrInternetChk_Timer();
            break;
    }
}

SimpleComboBox* FrmA1::countryList() const {
    return static_cast<SimpleComboBox*>(widgetOf(Control::CmbCountry));
}

QListWidget* FrmA1::resultList() const {
    return static_cast<QListWidget*>(widgetOf(Control::LstInfo));
}

void FrmA1::connectCommands() {
    m_runModal = [](QDialog& dialog) { dialog.exec(); };

    SimpleComboBox* combo = countryList();
    connect(combo, &SimpleComboBox::textChanged, this, [this] { m_logic.CmbCountry_Change(); });
    connect(combo, &SimpleComboBox::entrySelected, this, [this] { m_logic.CmbCountry_Click(); });
    for (QWidget* part :
         {static_cast<QWidget*>(combo->editField()), static_cast<QWidget*>(combo->listView())}) {
        part->installEventFilter(new ControlEvents(part, nullptr, [this](QKeyEvent& key) {
            int keyCode = key.key();
            int shift = static_cast<int>(key.modifiers());
            m_logic.CmbCountry_KeyDown(keyCode, shift);
        }));
    }

    QListWidget* list = resultList();
    connect(list, &QListWidget::currentRowChanged, this, [this] { m_logic.LstInfo_Click(); });
    list->installEventFilter(new ControlEvents(
        list, [this] { m_logic.LstInfo_LostFocus(); }, nullptr));
    // A press on a copy button leaves the focus in the list, so the list's focus loss cannot
    // disable the button under the press; Tab still reaches both.
    widgetOf(Control::CmdCopy)->setFocusPolicy(Qt::TabFocus);
    widgetOf(Control::CmdCopyAll)->setFocusPolicy(Qt::TabFocus);

    const auto onClick = [this](Control control, void (FrmA1Logic::*handler)()) {
        connect(static_cast<QAbstractButton*>(widgetOf(control)), &QAbstractButton::clicked, this,
                [this, handler] { (m_logic.*handler)(); });
    };
    onClick(Control::CmdCountry, &FrmA1Logic::CmdCountry_Click);
    onClick(Control::CmdCopy, &FrmA1Logic::CmdCopy_Click);
    onClick(Control::CmdCopyAll, &FrmA1Logic::CmdCopyAll_Click);
    onClick(Control::ChkAutoget, &FrmA1Logic::ChkAutoget_Click);
    onClick(Control::CmdSetLocal, &FrmA1Logic::CmdSetLocal_Click);
    onClick(Control::CmdAbout, &FrmA1Logic::CmdAbout_Click);
    onClick(Control::CmdConnection, &FrmA1Logic::CmdConnection_Click);
}

void FrmA1::setEnabled(Control control, bool enabled) {
    widgetOf(control)->setEnabled(enabled);
}

bool FrmA1::isEnabled(Control control) const {
    return widgetOf(control)->isEnabled();
}

void FrmA1::setVisible(Control control, bool visible) {
    widgetOf(control)->setVisible(visible);
}

bool FrmA1::isVisible(Control control) const {
    return !widgetOf(control)->isHidden();
}

void FrmA1::setCaption(Control control, const std::string& caption) {
    QWidget* widget = widgetOf(control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const QString text = fromBytes(caption);
        if (label->text() != text) {
            label->setText(text);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(fromBytes(caption));
    }
}

std::string FrmA1::caption(Control control) const {
    QWidget* widget = widgetOf(control);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return toBytes(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return toBytes(button->text());
    }
    return {};
}

void FrmA1::setTextColour(Control control, Rgb colour) {
    if (textColour(control) == colour) {
        return;
    }
    QWidget* widget = widgetOf(control);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, qcolor(colour));
    widget->setPalette(palette);
}

Rgb FrmA1::textColour(Control control) const {
    return rgbOf(widgetOf(control)->palette().color(QPalette::WindowText));
}

void FrmA1::setTop(Control control, int twips) {
    QWidget* widget = widgetOf(control);
    m_tops[indexOf(control)] = twips;
    widget->move(widget->x(), twips::px(twips));
}

int FrmA1::top(Control control) const {
    return m_tops[indexOf(control)];
}

void FrmA1::setTimerEnabled(Timer timer, bool enabled) {
    m_timers->setEnabled(timer, enabled);
}

bool FrmA1::isTimerEnabled(Timer timer) const {
    return m_timers->isEnabled(timer);
}

void FrmA1::setTimerInterval(Timer timer, int milliseconds) {
    m_timers->setInterval(timer, milliseconds);
}

int FrmA1::timerInterval(Timer timer) const {
    return m_timers->interval(timer);
}

void FrmA1::setShapeFillColour(Rgb colour) {
    m_scanLine.setShapeFill(colour);
}

Rgb FrmA1::shapeFillColour() const {
    return m_scanLine.shapeFill();
}

void FrmA1::setLineColour(Rgb colour) {
    m_scanLine.setColour(colour);
}

Rgb FrmA1::lineColour() const {
    return m_scanLine.colour();
}

void FrmA1::setLineY(int twips) {
    m_scanLine.setY(twips);
}

int FrmA1::lineY1() const {
    return m_scanLine.y1();
}

int FrmA1::lineY2() const {
    return m_scanLine.y2();
}

void FrmA1::clearList() {
    resultList()->clear();
}

void FrmA1::addListRow(const std::string& row) {
    resultList()->addItem(fromBytes(row));
}

int FrmA1::listCount() const {
    return resultList()->count();
}

std::string FrmA1::listRow(int index) const {
    const QListWidgetItem* item = resultList()->item(index);
    return item == nullptr ? std::string() : toBytes(item->text());
}

int FrmA1::listSelectedIndex() const {
    return resultList()->currentRow();
}

int FrmA1::comboSelectedIndex() const {
    return countryList()->currentIndex();
}

void FrmA1::setComboSelectedIndex(int index) {
    countryList()->setCurrentIndex(index);
}

std::string FrmA1::comboText() const {
    return toBytes(countryList()->text());
}

std::optional<std::int32_t> FrmA1::comboItemData(int position) const {
    return countryList()->itemData(position);
}

void FrmA1::setWindowEnabled(bool enabled) {
    QWidget::setEnabled(enabled);
}

bool FrmA1::isWindowEnabled() const {
    return QWidget::isEnabled();
}

void FrmA1::setWindowStateNormal() {
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

bool FrmA1::isWindowStateNormal() const {
    return (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) == 0;
}

void FrmA1::processEvents() {
    QCoreApplication::processEvents();
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

bool FrmA1::eventFilter(QObject* watched, QEvent* event) {
    // The window sees every key release before its controls do. A release travels up from
    // the widget with the focus to its parents; it is taken once, at its first receiver.
    if (event->type() == QEvent::KeyRelease && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        QWidget* first = QApplication::focusWidget();
        if (first == nullptr || first->window() != this) {
            first = this;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if (widget == first && widget->window() == this && !key->isAutoRepeat()) {
            m_logic.Form_KeyUp(key->key(), static_cast<int>(key->modifiers()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmA1::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    m_scanLine.paint(painter);
}

void FrmA1::closeEvent(QCloseEvent* event) {
    int cancel = 0;
    m_logic.Form_Unload(cancel);
    if (cancel != 0) {
        event->ignore();
        return;
    }
    // A hidden connection dialog must not outlive the window and keep the program running.
    dropConnectionDialog();
    event->accept();
}

}  // namespace horalux
