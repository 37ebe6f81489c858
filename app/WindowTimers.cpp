#include "app/WindowTimers.h"

#include <QTimer>

namespace horalux {
namespace {

// Interval a timer set to tick "as often as possible" (1 ms) runs at, in milliseconds:
// the scan line's pace.
constexpr int kFastestTick = 11;

// A timer as designed: its name, whether it sits in the panel, and its settings at start.
struct TimerLayout {
    Timer timer;
    const char* name;
    bool inPanel;
    bool enabled;
    int interval;  // milliseconds
};

constexpr std::array<TimerLayout, 4> kTimers{{
    {Timer::Timer1, "Timer1", false, true, 1},
    {Timer::Timer2, "Timer2", true, false, 10},
    {Timer::Timer3, "Timer3", true, false, 1},
    {Timer::TmrInternetChk, "TmrInternetChk", false, true, 1000},
}};

}  // namespace

WindowTimers::WindowTimers(TimerMode mode, QObject& window, QObject& panel, Handler onTick)
    : m_mode(mode), m_onTick(std::move(onTick)) {
    for (const TimerLayout& layout : kTimers) {
        State& timer = stateOf(layout.timer);
        timer.qtTimer = new QTimer(layout.inPanel ? &panel : &window);
        timer.qtTimer->setObjectName(layout.name);
        timer.qtTimer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.qtTimer, &QTimer::timeout, timer.qtTimer,
                         [this, id = layout.timer] { tick(id); });
        timer.enabled = layout.enabled;
        timer.interval = layout.interval;
    }
}

void WindowTimers::start() {
    for (State& timer : m_timers) {
        apply(timer);
    }
}

void WindowTimers::setEnabled(Timer timer, bool enabled) {
    State& t = stateOf(timer);
    if (t.enabled != enabled) {
        t.enabled = enabled;
        apply(t);
    }
}

bool WindowTimers::isEnabled(Timer timer) const {
    return stateOf(timer).enabled;
}

void WindowTimers::setInterval(Timer timer, int milliseconds) {
    State& t = stateOf(timer);
    if (t.interval != milliseconds) {
        t.interval = milliseconds;
        apply(t);
    }
}

int WindowTimers::interval(Timer timer) const {
    return stateOf(timer).interval;
}

void WindowTimers::apply(State& timer) const {
    if (m_mode == TimerMode::Live && timer.enabled) {
        timer.qtTimer->start(timer.interval <= 1 ? kFastestTick : timer.interval);
    } else {
        timer.qtTimer->stop();
    }
}

void WindowTimers::tick(Timer timer) {
    State& t = stateOf(timer);
    if (t.ticking) {
        return;
    }
    t.ticking = true;
    m_onTick(timer);
    t.ticking = false;
}

}  // namespace horalux
