#include "daemon/Reloader.h"

#include <condition_variable>
#include <mutex>

namespace zonarium {

struct Reloader::State {
    Load load;
    Apply apply;
    // Guards the flags, and is held while `apply` runs.
    std::mutex mutex;
    std::condition_variable wake;
    // A reload was asked for and has not begun.
    bool requested = false;
    // A load or apply runs.
    bool busy = false;
    bool stopped = false;
};

void Reloader::run(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->requested || state->stopped; });
        if (state->stopped) {
            return;
        }
        state->requested = false;
        state->busy = true;
        lock.unlock();
        CityTableLoad loaded = state->load();
        lock.lock();
        if (state->stopped) {
            return;
        }
        state->apply(std::move(loaded));
        state->busy = false;
    }
}

Reloader::Reloader(Load load, Apply apply) : m_state(std::make_shared<State>()) {
    m_state->load = std::move(load);
    m_state->apply = std::move(apply);
    m_thread = std::thread([state = m_state] { run(state); });
}

Reloader::~Reloader() {
    stop();
}

void Reloader::request() {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->requested = true;
    }
    m_state->wake.notify_one();
}

void Reloader::stop() {
    bool loading = false;
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
        loading = m_state->busy;
    }
    m_state->wake.notify_one();
    if (!m_thread.joinable()) {
        return;
    }
    if (loading) {
        m_thread.detach();
    } else {
        m_thread.join();
    }
}

}  // namespace zonarium
