#pragma once

#include <array>

#include "app/core/MainView.h"

class QColor;
class QWidget;

namespace horalux {

// What a control is; it decides the widget built for it.
enum class ControlKind { Button, CheckBox, Label, ListBox, ComboBox, Panel };

// A colour of the layout: the toolkit's default, the given components, or one of the
// system's named colours, which follow the desktop's palette.
struct LayoutColour {
    enum class Source { Default, Given, SystemWindowText, SystemWindowBackground };
    Source source = Source::Default;
    Rgb rgb{};
};

// A font as designed: family, size in points, weight.
struct LayoutFont {
    const char* family = "";
    double points = 0;
    bool bold = false;
};

// Settings of a control that differ from a plain one of its kind, as flags.
enum ControlOption : unsigned {
    kInPanel = 1U << 0,   // inside FrmAni rather than directly on the window
    kDisabled = 1U << 1,  // created disabled
    kHidden = 1U << 2,    // created hidden
    kWordWrap = 1U << 3,  // a label's text wraps onto further lines
};

// One control of the main window as it is created.
struct ControlLayout {
    Control control;   // its own index in the table
    const char* name;  // the widget's object name
    ControlKind kind;
    const char* text;  // caption; a combo box's edit text; "" for none
    // Position and size in twips, from the top left corner of the window's client area, or of
    // the panel FrmAni for a control inside it.
    int left;
    int top;
    int width;
    int height;
    LayoutFont font;
    LayoutColour background;
    LayoutColour textColour;
    const char* toolTip;         // null for none
    const char* accessibleName;  // what a screen reader calls it; null where its text does
    unsigned options;            // ControlOption flags
    // Place in the stacking order among its siblings: a control is drawn over those of lower
    // places where they overlap.
    int stacking;

    constexpr bool has(unsigned option) const { return (options & option) != 0; }
};

// The main window's controls, indexed by Control.
extern const std::array<ControlLayout, kControlCount> kMainLayout;

// The window's client area, in twips.
inline constexpr int kClientWidth = 11265;
inline constexpr int kClientHeight = 6945;

// Shape1, the filled rectangle behind the country heading, in twips.
struct ShapeLayout {
    int left = 2760;
    int top = 120;
    int width = 8415;
    int height = 375;
    Rgb fill{224, 224, 224};
};
inline constexpr ShapeLayout kShape1;

// Line1, the scan line behind every control: its ends in twips, its width in pixels.
struct LineLayout {
    int x1 = 0;
    int y1 = 240;
    int x2 = 11295;
    int y2 = 255;
    int width = 4;
    Rgb colour{224, 224, 224};
};
inline constexpr LineLayout kLine1;

// A colour of the view as Qt's, and back.
QColor qcolor(Rgb colour);
Rgb rgbOf(const QColor& colour);

// Builds every control of the table on `window` (the panel's on the panel), in the stacking
// order, and sets the tab order. Returns the widgets indexed by Control.
std::array<QWidget*, kControlCount> buildControls(QWidget& window);

}  // namespace horalux
