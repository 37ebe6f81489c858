#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace horalux {

QIcon appIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // The pale arc: the lower half of a circle across the bottom of the square.
    painter.setPen(QPen(QColor(255, 236, 160), 2));
    painter.drawArc(QRectF(1.5, 6.5, 13, 8), 180 * 16, 180 * 16);
    // The monogram, in the top half.
    QFont font("Liberation Sans");
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(0, 0, 16, 10), Qt::AlignCenter, "HL");
    painter.end();
    return QIcon(pixmap);
}

}  // namespace horalux
