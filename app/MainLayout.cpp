#include "app/MainLayout.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include "app/SimpleComboBox.h"
#include "app/WrappingCheckBox.h"
#include "fetch/CountryTable.h"
#include "platform/qt/QtConvert.h"

namespace horalux {
namespace {

constexpr LayoutColour kDefault{};
constexpr LayoutColour kSystemText{LayoutColour::Source::SystemWindowText};
constexpr LayoutColour kSystemBackground{LayoutColour::Source::SystemWindowBackground};

constexpr LayoutColour given(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return {LayoutColour::Source::Given, {red, green, blue}};
}

constexpr LayoutFont kSansSerif{"MS Sans Serif", 8.25};

using enum ControlKind;

}  // namespace

// clang-format off
constexpr std::array<ControlLayout, kControlCount> kMainLayout{{
    // control, object name, kind, text,
    //     left, top, width, height (twips), font, background, text colour,
    //     tooltip, accessible name, options, stacking
    {Control::CmbCountry, "CmbCountry", ComboBox, "Pre-loaded 236 country list",
        120, 120, 2415, 6105, kSansSerif, given(255, 240, 240), kDefault,
        "Pre-loaded 236 country list", "Country", kDisabled, 2},
    {Control::LstInfo, "LstInfo", ListBox, "",
        2760, 480, 8415, 5685, {"Courier New", 9}, given(255, 240, 255), kDefault,
        "Displays time-zone of City or Town", "Cities and towns", 0, 5},
    {Control::FrmAni, "FrmAni", Panel, "",
        2760, 1920, 4935, 1695, {"Wingdings", 12, true}, given(255, 0, 112), kDefault,
        nullptr, "Progress", kHidden, 10},
    {Control::LblAni, "LblAni", Label, "Ani",
        120, 120, 4695, 1455, {"Courier New", 14.25, true}, kDefault, given(170, 0, 16),
        nullptr, nullptr, kInPanel | kWordWrap, 0},
    {Control::CmdCountry, "CmdCountry", Button, "&Display time",
        120, 6360, 1215, 495, kSansSerif, kDefault, kDefault,
        nullptr, nullptr, kDisabled, 3},
    {Control::CmdSetLocal, "CmdSetLocal", Button, "&Set Local time",
        1440, 6360, 1215, 495, kSansSerif, kDefault, kDefault,
        nullptr, nullptr, 0, 4},
    {Control::CmdConnection, "CmdConnection", Button, "&Connection",
        2760, 6360, 1215, 495, kSansSerif, kDefault, kDefault,
        nullptr, nullptr, 0, 9},
    {Control::CmdCopy, "CmdCopy", Button, "&Copy",
        4080, 6360, 735, 495, kSansSerif, kDefault, kDefault,
        nullptr, nullptr, 0, 7},
    {Control::CmdCopyAll, "CmdCopyAll", Button, "Copy &All",
        4920, 6360, 735, 495, kSansSerif, kDefault, kDefault,
        nullptr, nullptr, 0, 11},
    {Control::CmdAbout, "CmdAbout", Button, "About &us",
        5760, 6360, 1215, 495, kSansSerif, kDefault, kDefault,
        nullptr, nullptr, 0, 8},
    {Control::ChkAutoget, "ChkAutoget", CheckBox, "&Automatic Update",
        7080, 6360, 1215, 495, kSansSerif, given(160, 10, 255), kSystemBackground,
        nullptr, nullptr, 0, 6},
    {Control::Label1, "Label1", Label, " Internet off",
        8400, 6510, 2775, 345, {"Courier New", 15.75, true}, given(0, 0, 0), given(208, 208, 208),
        nullptr, nullptr, 0, 0},
    {Control::LblCountryName, "LblCountryName", Label, " Country Name: USA (Initial)",
        2760, 120, 8415, 375, {"Courier New", 12, true}, kDefault, kSystemText,
        nullptr, nullptr, 0, 1},
}};
// clang-format on

namespace {

constexpr bool indexedByControl() {
    for (std::size_t i = 0; i < kControlCount; ++i) {
        if (indexOf(kMainLayout[i].control) != i) {
            return false;
        }
    }
    return true;
}
static_assert(indexedByControl(), "each control's entry stands at its index");

constexpr bool stackingPlacesUnique() {
    for (const ControlLayout& a : kMainLayout) {
        for (const ControlLayout& b : kMainLayout) {
            if (&a != &b && a.has(kInPanel) == b.has(kInPanel) && a.stacking == b.stacking) {
                return false;
            }
        }
    }
    return true;
}
static_assert(stackingPlacesUnique(), "siblings take distinct places in the stacking order");

QColor colourOf(const LayoutColour& colour) {
    switch (colour.source) {
        case LayoutColour::Source::SystemWindowText:
            return QApplication::palette().color(QPalette::WindowText);
        case LayoutColour::Source::SystemWindowBackground:
            return QApplication::palette().color(QPalette::Base);
        case LayoutColour::Source::Given:
        case LayoutColour::Source::Default:
            break;
    }
    return qcolor(colour.rgb);
}

void setColour(QWidget* widget, QPalette::ColorRole role, const LayoutColour& colour) {
    if (colour.source == LayoutColour::Source::Default) {
        return;
    }
    QPalette palette = widget->palette();
    palette.setColor(role, colourOf(colour));
    widget->setPalette(palette);
}

QWidget* makeComboBox(const ControlLayout& entry, QWidget* parent) {
    auto* combo = new SimpleComboBox(parent);
    for (QWidget* part :
         {static_cast<QWidget*>(combo->editField()), static_cast<QWidget*>(combo->listView())}) {
        setColour(part, QPalette::Base, entry.background);
        part->setAccessibleName(QString::fromLatin1(entry.accessibleName));
    }
    for (int item = 0; item < CountryTable::kEntryCount; ++item) {
        combo->addItem(fromBytes(CountryTable::entryName(item)),
                       CountryTable::itemData(item).value_or(0));
    }
    combo->setText(QString::fromLatin1(entry.text));
    return combo;
}

QWidget* makeListBox(const ControlLayout& entry, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every line has the same height: the list then lays out a new line without measuring
    // all the others, so filling it stays linear in its length.
    list->setUniformItemSizes(true);
    setColour(list, QPalette::Base, entry.background);
    return list;
}

QWidget* makePanel(const ControlLayout& entry, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setFrameShape(QFrame::NoFrame);
    panel->setAutoFillBackground(true);
    setColour(panel, QPalette::Window, entry.background);
    return panel;
}

QWidget* makeLabel(const ControlLayout& entry, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(entry.text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(entry.has(kWordWrap));
    if (entry.background.source == LayoutColour::Source::Default) {
        // What lies behind shows through: the panel's colour, or Shape1 and Line1.
        if (!entry.has(kInPanel)) {
            label->setAttribute(Qt::WA_TranslucentBackground);
        }
    } else {
        label->setAutoFillBackground(true);
        setColour(label, QPalette::Window, entry.background);
    }
    setColour(label, QPalette::WindowText, entry.textColour);
    return label;
}

QWidget* makeButton(const ControlLayout& entry, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(entry.text), parent);
    button->setAutoDefault(false);
    return button;
}

QWidget* makeCheckBox(const ControlLayout& entry, QWidget* parent) {
    auto* box = new WrappingCheckBox(QString::fromLatin1(entry.text), parent);
    box->setAttribute(Qt::WA_StyledBackground);
    box->setAutoFillBackground(true);
    setColour(box, QPalette::Window, entry.background);
    setColour(box, QPalette::Button, entry.background);
    setColour(box, QPalette::WindowText, entry.textColour);
    return box;
}

QWidget* makeControl(const ControlLayout& entry, QWidget* parent) {
    QWidget* widget = nullptr;
    switch (entry.kind) {
        case ComboBox:
            widget = makeComboBox(entry, parent);
            break;
        case ListBox:
            widget = makeListBox(entry, parent);
            break;
        case Panel:
            widget = makePanel(entry, parent);
            break;
        case Label:
            widget = makeLabel(entry, parent);
            break;
        case Button:
            widget = makeButton(entry, parent);
            break;
        case CheckBox:
            widget = makeCheckBox(entry, parent);
            break;
    }
    widget->setObjectName(entry.name);
    widget->setGeometry(twips::rect(entry.left, entry.top, entry.width, entry.height));
    widget->setFont(designFont(entry.font.family, entry.font.points, entry.font.bold));
    if (entry.toolTip != nullptr) {
        widget->setToolTip(QString::fromLatin1(entry.toolTip));
    }
    if (entry.accessibleName != nullptr) {
        widget->setAccessibleName(QString::fromLatin1(entry.accessibleName));
    }
    if (entry.has(kDisabled)) {
        widget->setEnabled(false);
    }
    if (entry.has(kHidden)) {
        widget->hide();
    }
    return widget;
}

bool takesFocus(ControlKind kind) {
    return kind != Label && kind != Panel;
}

}  // namespace

QColor qcolor(Rgb colour) {
    return {colour.red, colour.green, colour.blue};
}

Rgb rgbOf(const QColor& colour) {
    return {static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
            static_cast<std::uint8_t>(colour.blue())};
}

std::array<QWidget*, kControlCount> buildControls(QWidget& window) {
    std::vector<const ControlLayout*> order;
    for (const ControlLayout& entry : kMainLayout) {
        order.push_back(&entry);
    }
    // The window's own controls first, then the panel's; each from the bottom of the stacking
    // order up, as a later sibling is drawn over an earlier one.
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
        return std::pair(a->has(kInPanel), a->stacking) < std::pair(b->has(kInPanel), b->stacking);
    });
    std::array<QWidget*, kControlCount> widgets{};
    for (const ControlLayout* entry : order) {
        QWidget* parent = entry->has(kInPanel) ? widgets[indexOf(Control::FrmAni)] : &window;
        widgets[indexOf(entry->control)] = makeControl(*entry, parent);
    }

    // Controls that take no focus are passed over.
    QWidget* previous = nullptr;
    for (const ControlLayout& entry : kMainLayout) {
        if (!takesFocus(entry.kind)) {
            continue;
        }
        QWidget* next = widgets[indexOf(entry.control)];
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, next);
        }
        previous = next;
    }
    return widgets;
}

}  // namespace horalux
