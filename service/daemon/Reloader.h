#pragma once

#include "model/CityTable.h"

#include <functional>
#include <memory>
#include <thread>

namespace zonarium {

// Reloads on a thread of its own, one at a time: the requests that come while a reload runs
// make one more after it. A stop never waits for a load under way, however long it takes:
// the load goes on alone, and its outcome is dropped. Thread-safe.
class Reloader {
public:
    // Makes a table; runs on the reloader's thread, holds nothing but what it captured.
    using Load = std::function<CityTableLoad()>;
    // Takes a load's outcome; runs on the reloader's thread, never after stop() returned.
    using Apply = std::function<void(CityTableLoad)>;

    Reloader(Load load, Apply apply);
    // Stops.
    ~Reloader();
    Reloader(const Reloader&) = delete;
    Reloader& operator=(const Reloader&) = delete;

    // Asks for a reload; returns at once.
    void request();
    // Ends reloading: waits for an apply under way, but not for a load. Idempotent.
    void stop();

private:
    struct State;
    // The thread's body: a reload per request until stopped.
    static void run(const std::shared_ptr<State>& state);

    // Shared with the thread, which may outlive the reloader while a load runs.
    std::shared_ptr<State> m_state;
    std::thread m_thread;
};

}  // namespace zonarium
