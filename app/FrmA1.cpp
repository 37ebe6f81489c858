#include "FrmA1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegion>

#include "AppIcon.h"
#include "CountryTable.h"
#include "FrmConnect.h"
#include "SimpleComboBox.h"
#include "WrappingCheckBox.h"

namespace horalux {
namespace {

// Twips per pixel at 96 dots per inch.
constexpr double kTwipsPerPixel = 15.0;
// Client area, in twips.
constexpr int kClientWidth = 11265;
constexpr int kClientHeight = 6945;
// Shape1: the rectangle behind the country heading, in twips.
constexpr int kShapeLeft = 2760;
constexpr int kShapeTop = 120;
constexpr int kShapeWidth = 8415;
constexpr int kShapeHeight = 375;
// Line1's ends across the window, in twips, and its width in pixels.
constexpr int kLineX1 = 0;
constexpr int kLineX2 = 11295;
constexpr int kLineWidth = 4;

// Interval a timer set to tick "as often as possible" (1 ms) runs at, in milliseconds:
// the scan line's pace.
constexpr int kFastestTick = 11;

int px(double twips) {
    return qRound(twips / kTwipsPerPixel);
}

QRect twipsRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

QFont makeFont(const char* family, double points, bool bold = false) {
    QFont f{QString::fromLatin1(family)};
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QColor qcolor(Rgb c) {
    return {c.red, c.green, c.blue};
}

Rgb rgb(const QColor& c) {
    return {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
            static_cast<std::uint8_t>(c.blue())};
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QString fromBytes(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

}  // namespace

FrmA1::FrmA1(Internet& internet, Desktop& desktop, Registry& registry, TimerMode timerMode,
             ServiceAddress service, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_logic(*this, internet, desktop, std::move(service)),
      m_timerMode(timerMode),
      m_desktop(desktop),
      m_registry(registry) {
    // "MS Sans Serif" has no stand-in of its own here; the one for Arial is the closest in
    // width, so the buttons' captions fit as designed.
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    setObjectName("FrmA1");
    setWindowTitle("Horalux 2.3 Lite- Powered by Zonarium");
    setWindowIcon(appIcon());
    setFixedSize(px(kClientWidth), px(kClientHeight));
    setFont(makeFont("Courier New", 12));
    // The window's background is the system's button-face colour.
    setColour(this, QPalette::Window, QApplication::palette().color(QPalette::Button));
    setAutoFillBackground(true);

    buildControls();
    buildTimers();
    connectCommands();
    qApp->installEventFilter(this);

    m_initialized = m_logic.Form_Initialize();
}

FrmA1::~FrmA1() {
    qApp->removeEventFilter(this);
}

void FrmA1::buildControls() {
    const QFont buttonFont = makeFont("MS Sans Serif", 8.25);
    auto button = [&](const char* name, const char* text, QRect geometry) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(name);
        b->setFont(buttonFont);
        b->setGeometry(geometry);
        b->setAutoDefault(false);
        return b;
    };

    // Built from the bottom of the stacking order up: a later sibling is drawn over an
    // earlier one.
    m_label1 = new QLabel(" Internet off", this);
    m_label1->setObjectName("Label1");
    m_label1->setGeometry(twipsRect(8400, 6510, 2775, 345));
    m_label1->setFont(makeFont("Courier New", 15.75, true));
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label1->setAutoFillBackground(true);
    setColour(m_label1, QPalette::Window, Qt::black);
    setColour(m_label1, QPalette::WindowText, QColor(208, 208, 208));

    m_lblCountryName = new QLabel(" Country Name: USA (Initial)", this);
    m_lblCountryName->setObjectName("LblCountryName");
    m_lblCountryName->setGeometry(twipsRect(2760, 120, 8415, 375));
    m_lblCountryName->setFont(makeFont("Courier New", 12, true));
    m_lblCountryName->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblCountryName->setAttribute(Qt::WA_TranslucentBackground);
    m_lblCountryName->setTextFormat(Qt::PlainText);
    setColour(m_lblCountryName, QPalette::WindowText,
              QApplication::palette().color(QPalette::WindowText));

    m_cmbCountry = new SimpleComboBox(this);
    m_cmbCountry->setObjectName("CmbCountry");
    m_cmbCountry->setGeometry(twipsRect(120, 120, 2415, 6105));
    m_cmbCountry->setFont(buttonFont);
    m_cmbCountry->setToolTip("Pre-loaded 236 country list");
    for (QWidget* part : {static_cast<QWidget*>(m_cmbCountry->editField()),
                          static_cast<QWidget*>(m_cmbCountry->listView())}) {
        setColour(part, QPalette::Base, QColor(255, 240, 240));
    }
    for (int entry = 0; entry < CountryTable::kEntryCount; ++entry) {
        const std::string_view name = CountryTable::entryName(entry);
        m_cmbCountry->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                              CountryTable::itemData(entry).value_or(0));
    }
    m_cmbCountry->setText("Pre-loaded 236 country list");
    m_cmbCountry->setEnabled(false);

    m_cmdCountry = button("CmdCountry", "&Display time", twipsRect(120, 6360, 1215, 495));
    m_cmdCountry->setEnabled(false);
    connect(m_cmdCountry, &QPushButton::clicked, this, [this] { m_logic.CmdCountry_Click(); });
    m_cmdSetLocal = button("CmdSetLocal", "&Set Local time", twipsRect(1440, 6360, 1215, 495));

    m_lstInfo = new QListWidget(this);
    m_lstInfo->setObjectName("LstInfo");
    m_lstInfo->setGeometry(twipsRect(2760, 480, 8415, 5685));
    m_lstInfo->setFont(makeFont("Courier New", 9));
    m_lstInfo->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every line has the same height: the list then lays out a new line without measuring
    // all the others, so filling it stays linear in its length.
    m_lstInfo->setUniformItemSizes(true);
    m_lstInfo->setToolTip("Displays time-zone of City or Town");
    setColour(m_lstInfo, QPalette::Base, QColor(255, 240, 255));

    m_chkAutoget = new WrappingCheckBox("&Automatic Update", this);
    m_chkAutoget->setObjectName("ChkAutoget");
    m_chkAutoget->setGeometry(twipsRect(7080, 6360, 1215, 495));
    m_chkAutoget->setFont(buttonFont);
    m_chkAutoget->setAttribute(Qt::WA_StyledBackground);
    m_chkAutoget->setAutoFillBackground(true);
    setColour(m_chkAutoget, QPalette::Window, QColor(160, 10, 255));
    setColour(m_chkAutoget, QPalette::Button, QColor(160, 10, 255));
    setColour(m_chkAutoget, QPalette::WindowText, QApplication::palette().color(QPalette::Base));

    m_cmdCopy = button("CmdCopy", "&Copy", twipsRect(4080, 6360, 735, 495));
    m_cmdAbout = button("CmdAbout", "About &us", twipsRect(5760, 6360, 1215, 495));
    m_cmdConnection = button("CmdConnection", "&Connection", twipsRect(2760, 6360, 1215, 495));

    m_frmAni = new QFrame(this);
    m_frmAni->setObjectName("FrmAni");
    m_frmAni->setGeometry(twipsRect(2760, 1920, 4935, 1695));
    m_frmAni->setFrameShape(QFrame::NoFrame);
    m_frmAni->setFont(makeFont("Wingdings", 12, true));
    m_frmAni->setAutoFillBackground(true);
    setColour(m_frmAni, QPalette::Window, QColor(255, 0, 112));
    m_frmAni->hide();

    m_lblAni = new QLabel("Ani", m_frmAni);
    m_lblAni->setObjectName("LblAni");
    m_lblAniTop = 120;
    m_lblAni->setGeometry(twipsRect(120, m_lblAniTop, 4695, 1455));
    m_lblAni->setFont(makeFont("Courier New", 14.25, true));
    m_lblAni->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblAni->setWordWrap(true);
    m_lblAni->setTextFormat(Qt::PlainText);
    setColour(m_lblAni, QPalette::WindowText, QColor(170, 0, 16));

    m_cmdCopyAll = button("CmdCopyAll", "Copy &All", twipsRect(4920, 6360, 735, 495));

    // Tab order; labels and the panel take no focus and are passed over.
    const std::array<QWidget*, 9> tabOrder{m_cmbCountry,  m_lstInfo,       m_cmdCountry,
                                           m_cmdSetLocal, m_cmdConnection, m_cmdCopy,
                                           m_cmdCopyAll,  m_cmdAbout,      m_chkAutoget};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    m_lstInfo->setFocus();
}

void FrmA1::buildTimers() {
    const std::array<std::pair<Timer, const char*>, 4> names{
        {{Timer::Timer1, "Timer1"},
         {Timer::Timer2, "Timer2"},
         {Timer::Timer3, "Timer3"},
         {Timer::TmrInternetChk, "TmrInternetChk"}}};
    for (const auto& [id, name] : names) {
        WindowTimer& timer = timerOf(id);
        timer.qtTimer =
            new QTimer(id == Timer::Timer2 || id == Timer::Timer3 ? static_cast<QObject*>(m_frmAni)
                                                                  : static_cast<QObject*>(this));
        timer.qtTimer->setObjectName(name);
        timer.qtTimer->setTimerType(Qt::PreciseTimer);
        connect(timer.qtTimer, &QTimer::timeout, this, [this, timerId = id] { tick(timerId); });
    }
    // Design-time settings.
    timerOf(Timer::Timer1) = {timerOf(Timer::Timer1).qtTimer, true, 1};
    timerOf(Timer::TmrInternetChk) = {timerOf(Timer::TmrInternetChk).qtTimer, true, 1000};
    timerOf(Timer::Timer2) = {timerOf(Timer::Timer2).qtTimer, false, 10};
    timerOf(Timer::Timer3) = {timerOf(Timer::Timer3).qtTimer, false, 1};
}

void FrmA1::load() {
    m_logic.Form_Load();
    for (WindowTimer& timer : m_timers) {
        applyTimer(timer);
    }
}

FrmA1::WindowTimer& FrmA1::timerOf(Timer timer) {
    return m_timers[static_cast<std::size_t>(timer)];
}

const FrmA1::WindowTimer& FrmA1::timerOf(Timer timer) const {
    return m_timers[static_cast<std::size_t>(timer)];
}

void FrmA1::tick(Timer timer) {
    WindowTimer& t = timerOf(timer);
    if (t.ticking) {
        return;
    }
    t.ticking = true;
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
    t.ticking = false;
}

void FrmA1::applyTimer(WindowTimer& timer) {
    if (m_timerMode == TimerMode::Live && timer.enabled) {
        timer.qtTimer->start(timer.interval <= 1 ? kFastestTick : timer.interval);
    } else {
        timer.qtTimer->stop();
    }
}

QWidget* FrmA1::widgetOf(Control control) const {
    switch (control) {
        case Control::CmbCountry:
            return m_cmbCountry;
        case Control::LstInfo:
            return m_lstInfo;
        case Control::FrmAni:
            return m_frmAni;
        case Control::LblAni:
            return m_lblAni;
        case Control::CmdCountry:
            return m_cmdCountry;
        case Control::CmdSetLocal:
            return m_cmdSetLocal;
        case Control::CmdConnection:
            return m_cmdConnection;
        case Control::CmdCopy:
            return m_cmdCopy;
        case Control::CmdCopyAll:
            return m_cmdCopyAll;
        case Control::CmdAbout:
            return m_cmdAbout;
        case Control::ChkAutoget:
            return m_chkAutoget;
        case Control::Label1:
            return m_label1;
        case Control::LblCountryName:
            return m_lblCountryName;
    }
    return nullptr;
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
    setColour(widgetOf(control), QPalette::WindowText, qcolor(colour));
}

Rgb FrmA1::textColour(Control control) const {
    return rgb(widgetOf(control)->palette().color(QPalette::WindowText));
}

void FrmA1::setTop(Control control, int twips) {
    QWidget* widget = widgetOf(control);
    if (control == Control::LblAni) {
        m_lblAniTop = twips;
    }
    widget->move(widget->x(), px(twips));
}

int FrmA1::top(Control control) const {
    if (control == Control::LblAni) {
        return m_lblAniTop;
    }
    return qRound(widgetOf(control)->y() * kTwipsPerPixel);
}

void FrmA1::setTimerEnabled(Timer timer, bool enabled) {
    WindowTimer& t = timerOf(timer);
    if (t.enabled != enabled) {
        t.enabled = enabled;
        applyTimer(t);
    }
}

bool FrmA1::isTimerEnabled(Timer timer) const {
    return timerOf(timer).enabled;
}

void FrmA1::setTimerInterval(Timer timer, int milliseconds) {
    WindowTimer& t = timerOf(timer);
    if (t.interval != milliseconds) {
        t.interval = milliseconds;
        applyTimer(t);
    }
}

int FrmA1::timerInterval(Timer timer) const {
    return timerOf(timer).interval;
}

void FrmA1::setShapeFillColour(Rgb colour) {
    if (m_shapeFill == colour) {
        return;
    }
    m_shapeFill = colour;
    update(twipsRect(kShapeLeft, kShapeTop, kShapeWidth, kShapeHeight));
}

Rgb FrmA1::shapeFillColour() const {
    return m_shapeFill;
}

void FrmA1::setLineColour(Rgb colour) {
    if (m_lineColour == colour) {
        return;
    }
    m_lineColour = colour;
    update(lineMask() & lineStrip(m_lineY1, m_lineY2));
}

Rgb FrmA1::lineColour() const {
    return m_lineColour;
}

void FrmA1::setLineY(int twips) {
    if (m_lineY1 == twips && m_lineY2 == twips) {
        return;
    }
    // The line is drawn on whole pixels: a move within the same pixel row shows nothing
    // new. Otherwise only the two bands the line leaves and enters are repainted, and of
    // those only what no control covers, so no control repaints for it.
    const bool moves = px(m_lineY1) != px(twips) || px(m_lineY2) != px(twips);
    const QRect left = lineStrip(m_lineY1, m_lineY2);
    m_lineY1 = twips;
    m_lineY2 = twips;
    if (moves) {
        update(lineMask() & (QRegion(left) | lineStrip(m_lineY1, m_lineY2)));
    }
}

QRect FrmA1::lineStrip(int y1Twips, int y2Twips) const {
    const int top = px(std::min(y1Twips, y2Twips));
    const int bottom = px(std::max(y1Twips, y2Twips));
    const int margin = kLineWidth / 2 + 1;
    return {0, top - margin, width(), bottom - top + 2 * margin};
}

QRegion FrmA1::lineMask() const {
    QRegion mask(rect());
    for (const QWidget* control :
         {static_cast<const QWidget*>(m_cmbCountry), static_cast<const QWidget*>(m_lstInfo),
          static_cast<const QWidget*>(m_frmAni), static_cast<const QWidget*>(m_cmdCountry),
          static_cast<const QWidget*>(m_cmdSetLocal), static_cast<const QWidget*>(m_cmdConnection),
          static_cast<const QWidget*>(m_cmdCopy), static_cast<const QWidget*>(m_cmdCopyAll),
          static_cast<const QWidget*>(m_cmdAbout), static_cast<const QWidget*>(m_chkAutoget),
          static_cast<const QWidget*>(m_label1)}) {
        if (!control->isHidden()) {
            mask -= control->geometry();
        }
    }
    // The heading's rectangle lies over the line too; the heading itself is transparent.
    return mask - twipsRect(kShapeLeft, kShapeTop, kShapeWidth, kShapeHeight);
}

int FrmA1::lineY1() const {
    return m_lineY1;
}

int FrmA1::lineY2() const {
    return m_lineY2;
}

void FrmA1::clearList() {
    m_lstInfo->clear();
}

void FrmA1::addListRow(const std::string& row) {
    m_lstInfo->addItem(fromBytes(row));
}

int FrmA1::listCount() const {
    return m_lstInfo->count();
}

std::string FrmA1::listRow(int index) const {
    const QListWidgetItem* item = m_lstInfo->item(index);
    return item == nullptr ? std::string() : toBytes(item->text());
}

int FrmA1::listSelectedIndex() const {
    return m_lstInfo->currentRow();
}

int FrmA1::comboSelectedIndex() const {
    return m_cmbCountry->currentIndex();
}

void FrmA1::setComboSelectedIndex(int index) {
    m_cmbCountry->setCurrentIndex(index);
}

std::string FrmA1::comboText() const {
    return toBytes(m_cmbCountry->text());
}

std::optional<std::int32_t> FrmA1::comboItemData(int position) const {
    return m_cmbCountry->itemData(position);
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
    // Line1 lies under Shape1, and both under every control.
    painter.setClipRegion(lineMask());
    painter.setPen(QPen(qcolor(m_lineColour), kLineWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(px(kLineX1), px(m_lineY1), px(kLineX2), px(m_lineY2));
    painter.setClipping(false);
    painter.fillRect(twipsRect(kShapeLeft, kShapeTop, kShapeWidth, kShapeHeight),
                     qcolor(m_shapeFill));
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
