#pragma once

#include "model/CityTable.h"
#include "model/LocalTime.h"

#include <chrono>
#include <optional>
#include <utility>

namespace zonarium {

// When the parts of `minute` are made ahead for country `land`: in the minute before it, from
// 5 to 55 seconds in, spread over the countries by their codes, so that no instant (the turn
// least of all) has every country's render.
Instant aheadRenderTime(int land, Instant minute);

// One country's schedule of page parts: which minute's parts are served, which are made
// ahead, whether a render runs, and which render comes next. No threads and no clock of its
// own: the page cache holds one per country under that country's lock, tells it each event
// and does the step it answers. `Parts` is a shared handle, null for none.
template <class Parts>
class CountrySchedule {
public:
    // What the cache does after an event: nothing, start a render of `minute` (`ahead` of
    // its callers or for them), or set the country's timer to ring at `at` for the render
    // ahead of `minute`.
    struct Step {
        enum class Kind { None, Render, Arm };
        Kind kind = Kind::None;
        Instant minute;
        bool ahead = false;
        Instant at;
    };

    explicit CountrySchedule(int land) : m_land(land) {}

    // A caller of `minute` at `now`: the parts it is served at once, null when it must wait
    // (then wait()). Parts made ahead for this minute take the place of the old at the turn,
    // and the next minute's render ahead is set for later in this one (`step`).
    Parts ask(Instant minute, Instant now, Step& step) {
        if (m_next && m_nextMinute == minute) {
            m_parts = std::move(m_next);
            m_next = nullptr;
            m_minute = minute;
            step = aheadOf(minute + std::chrono::minutes{1}, now);
        }
        // A caller who read the clock just before the turn, while another already has the
        // new minute's parts in place, is served those: at most a minute ahead of it.
        if (m_parts && (m_minute == minute || m_minute == minute + std::chrono::minutes{1})) {
            return m_parts;
        }
        return nullptr;
    }
    // A caller of `minute` waits: the render it needs unless one runs. A render ahead of that
    // minute is no longer due: it is made for the caller.
    Step wait(Instant minute) {
        if (m_aheadDue && m_aheadMinute == minute) {
            m_aheadDue = false;
        }
        return render(minute, false);
    }
    // A render of `minute` ended with `made` (null: it failed); `asked`: callers of that
    // minute waited for it; `replaced`: the table was replaced since it began. Keeps the parts
    // where they belong; true when they are now those served.
    bool rendered(Instant minute, bool ahead, bool asked, bool replaced, const Parts& made) {
        // Parts of the minute before those in place are only answered: a caller who read the
        // clock just before the turn must not take the new minute's parts away.
        const bool behind = m_parts && m_minute == minute + std::chrono::minutes{1};
        const bool current = made && (!ahead || asked) && !behind && !replaced;
        if (current) {
            m_parts = made;
            m_minute = minute;
        } else if (made && ahead && !behind && !replaced) {
            m_next = made;
            m_nextMinute = minute;
        }
        return current;
    }
    // After rendered(): the render for the first caller still waiting (of `waiting`), else,
    // when the parts of `minute` became those served, the render ahead of the next minute.
    Step ended(std::optional<Instant> waiting, bool current, Instant minute, Instant now) {
        m_rendering = false;
        if (waiting) {
            return render(*waiting, false);
        }
        return current ? aheadOf(minute + std::chrono::minutes{1}, now) : Step{};
    }
    // The country's timer rang for the render ahead of `minute`.
    Step due(Instant minute) {
        if (!m_aheadDue || m_aheadMinute != minute) {
            return {};
        }
        m_aheadDue = false;
        return made(minute) ? Step{} : render(minute, true);
    }
    // The render of the last step could not be started.
    void notStarted() { m_rendering = false; }
    // Hands over every part kept, for a replaced table.
    void drop(Parts& parts, Parts& next) {
        parts = std::exchange(m_parts, nullptr);
        next = std::exchange(m_next, nullptr);
    }
    // A render is queued or under way; at most one is.
    bool rendering() const { return m_rendering; }

private:
    bool made(Instant minute) const {
        return (m_next && m_nextMinute == minute) || (m_parts && m_minute == minute);
    }
    Step render(Instant minute, bool ahead) {
        if (m_rendering) {
            return {};
        }
        m_rendering = true;
        return Step{Step::Kind::Render, minute, ahead, {}};
    }
    // The render ahead of `minute`: at once when its time is not after `now`, else set for it.
    Step aheadOf(Instant minute, Instant now) {
        if (made(minute)) {
            return {};
        }
        const Instant at = aheadRenderTime(m_land, minute);
        if (at <= now) {
            m_aheadDue = false;
            return render(minute, true);
        }
        m_aheadDue = true;
        m_aheadMinute = minute;
        return Step{Step::Kind::Arm, minute, true, at};
    }

    int m_land;
    // The parts served and their minute; null before the first render.
    Parts m_parts;
    Instant m_minute;
    // Parts made ahead for a later minute, `m_nextMinute`; null when none are.
    Parts m_next;
    Instant m_nextMinute;
    bool m_rendering = false;
    // A render ahead of `m_aheadMinute` waits for the country's timer.
    bool m_aheadDue = false;
    Instant m_aheadMinute;
};

}  // namespace zonarium
