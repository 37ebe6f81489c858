#include "app/ScanLine.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

#include "platform/qt/QtConvert.h"

namespace horalux {

ScanLine::ScanLine(QWidget& window, const std::array<QWidget*, kControlCount>& controls)
    : m_window(window), m_controls(controls) {}

void ScanLine::setShapeFill(Rgb colour) {
    if (m_shapeFill == colour) {
        return;
    }
    m_shapeFill = colour;
    m_window.update(shapeRect());
}

void ScanLine::setColour(Rgb colour) {
    if (m_colour == colour) {
        return;
    }
    m_colour = colour;
    m_window.update(mask() & strip(m_y1, m_y2));
}

void ScanLine::setY(int twips) {
    if (m_y1 == twips && m_y2 == twips) {
        return;
    }
    // The line is drawn on whole pixels: a move within the same pixel row shows nothing new.
    // Otherwise only the two bands the line leaves and enters are repainted.
    const bool moves = twips::px(m_y1) != twips::px(twips) || twips::px(m_y2) != twips::px(twips);
    const QRect left = strip(m_y1, m_y2);
    m_y1 = twips;
    m_y2 = twips;
    if (moves) {
        m_window.update(mask() & (QRegion(left) | strip(m_y1, m_y2)));
    }
}

void ScanLine::paint(QPainter& painter) const {
    // Line1 lies under Shape1, and both under every control.
    painter.setClipRegion(mask());
    painter.setPen(QPen(qcolor(m_colour), kLine1.width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(twips::px(kLine1.x1), twips::px(m_y1), twips::px(kLine1.x2), twips::px(m_y2));
    painter.setClipping(false);
    painter.fillRect(shapeRect(), qcolor(m_shapeFill));
}

QRect ScanLine::strip(int y1Twips, int y2Twips) const {
    const int top = twips::px(std::min(y1Twips, y2Twips));
    const int bottom = twips::px(std::max(y1Twips, y2Twips));
    const int margin = kLine1.width / 2 + 1;
    return {0, top - margin, m_window.width(), bottom - top + 2 * margin};
}

QRegion ScanLine::mask() const {
    QRegion mask(m_window.rect());
    for (const QWidget* control : m_controls) {
        if (control->parentWidget() == &m_window && !control->isHidden()) {
            mask -= control->geometry();
        }
    }
    return mask - shapeRect();
}

QRect ScanLine::shapeRect() const {
    return twips::rect(kShape1.left, kShape1.top, kShape1.width, kShape1.height);
}

}  // namespace horalux
