#pragma once

#include <array>
#include <functional>

#include "app/core/MainView.h"

class QObject;
class QTimer;

namespace horalux {

// Whether the window's timers deliver ticks. Tests build the window with Manual and drive
// the handlers themselves, so that no tick comes in between.
enum class TimerMode { Live, Manual };

// The main window's four timers as its handlers see them: enabled state and interval kept
// apart from the Qt timers, which run only in TimerMode::Live while their timer is enabled.
// A tick due while the same timer's handler still runs is dropped.
class WindowTimers {
public:
    using Handler = std::function<void(Timer)>;

    // Timer1 and TmrInternetChk belong to `window`, Timer2 and Timer3 to `panel`; all start
    // with their designed settings, stopped, and call `onTick` on each tick.
    WindowTimers(TimerMode mode, QObject& window, QObject& panel, Handler onTick);

    // Starts the timers that are enabled.
    void start();

    void setEnabled(Timer timer, bool enabled);
    bool isEnabled(Timer timer) const;
    // Interval in milliseconds; 1 means as often as the timers can fire.
    void setInterval(Timer timer, int milliseconds);
    int interval(Timer timer) const;

private:
    struct State {
        QTimer* qtTimer = nullptr;
        bool enabled = false;
        int interval = 0;      // milliseconds
        bool ticking = false;  // its handler is running
    };

    State& stateOf(Timer timer) { return m_timers[static_cast<std::size_t>(timer)]; }
    const State& stateOf(Timer timer) const { return m_timers[static_cast<std::size_t>(timer)]; }
    void apply(State& timer) const;
    void tick(Timer timer);

    TimerMode m_mode;
    Handler m_onTick;
    std::array<State, 4> m_timers;
};

}  // namespace horalux
