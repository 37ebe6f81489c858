#include "app/WrappingCheckBox.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace horalux {
namespace {

// Room between the indicator and the caption, in pixels.
constexpr int kCaptionGap = 3;
constexpr int kCaptionFlags =
    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

}  // namespace

void WrappingCheckBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    QStyleOptionButton indicator = option;
    indicator.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    indicator.rect.moveTop((height() - indicator.rect.height()) / 2);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

    const QRect caption = rect().adjusted(indicator.rect.right() + 1 + kCaptionGap, 0, 0, 0);
    painter.drawItemText(caption, kCaptionFlags, palette(), isEnabled(), text(), foregroundRole());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect =
            fontMetrics().boundingRect(caption, kCaptionFlags, text()).adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

}  // namespace horalux
