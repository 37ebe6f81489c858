#include "app/ControlEvents.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace horalux {

ControlEvents::ControlEvents(QObject* parent, std::function<void()> lostFocus,
                             std::function<void(QKeyEvent&)> keyDown)
    : QObject(parent), m_lostFocus(std::move(lostFocus)), m_keyDown(std::move(keyDown)) {}

bool ControlEvents::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && m_lostFocus) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            m_lostFocus();
        }
    } else if (event->type() == QEvent::KeyPress && m_keyDown) {
        m_keyDown(*static_cast<QKeyEvent*>(event));
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace horalux
