#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;

namespace horalux {

// An event filter that passes a widget's focus loss and key presses to callbacks; either may
// be empty. A focus loss because the window as a whole lost the focus, or to a popup, leaves
// the control still the window's focus, so it does not count.
class ControlEvents final : public QObject {
public:
    ControlEvents(QObject* parent, std::function<void()> lostFocus,
                  std::function<void(QKeyEvent&)> keyDown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_lostFocus;
    std::function<void(QKeyEvent&)> m_keyDown;
};

}  // namespace horalux
