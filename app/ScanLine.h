#pragma once

#include <QRect>
#include <QRegion>

#include <array>

#include "app/MainLayout.h"

class QPainter;
class QWidget;

namespace horalux {

// What the main window paints behind its controls: Shape1, the filled rectangle behind the
// country heading, and Line1, the scan line, under it. Both show only where no control lies
// over them. A change repaints only the pixels it alters that no control covers, so no
// control repaints for the line's sweep.
class ScanLine {
public:
    // `window` is painted on; `controls` are the window's controls, indexed by Control.
    ScanLine(QWidget& window, const std::array<QWidget*, kControlCount>& controls);

    void setShapeFill(Rgb colour);
    Rgb shapeFill() const { return m_shapeFill; }
    void setColour(Rgb colour);
    Rgb colour() const { return m_colour; }
    // Both ends' height, in twips from the client area's top.
    void setY(int twips);
    int y1() const { return m_y1; }
    int y2() const { return m_y2; }

    // Paints both onto the window; call from its paint event.
    void paint(QPainter& painter) const;

private:
    // Where the line can show: the client area less every control over it and Shape1.
    QRegion mask() const;
    // The band the line covers at the given heights, in pixels.
    QRect strip(int y1Twips, int y2Twips) const;
    QRect shapeRect() const;

    QWidget& m_window;
    const std::array<QWidget*, kControlCount>& m_controls;
    Rgb m_shapeFill = kShape1.fill;
    Rgb m_colour = kLine1.colour;
    int m_y1 = kLine1.y1;
    int m_y2 = kLine1.y2;
};

}  // namespace horalux
