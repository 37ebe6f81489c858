#include "daemon/Reloader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zonarium {
namespace {

// What the loads of a test did, shared with the reloader's thread (which may outlive the
// reloader), and a gate each load waits at until the test opens it.
struct Loads {
    std::mutex mutex;
    std::condition_variable changed;
    int begun = 0;
    bool open = false;
    std::vector<std::string> applied;

    CityTableLoad load() {
        std::unique_lock lock(mutex);
        const int number = ++begun;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        CityTableLoad made;
        made.error = "load " + std::to_string(number);
        return made;
    }
    void apply(CityTableLoad made) {
        const std::lock_guard lock(mutex);
        applied.push_back(made.error);
        changed.notify_all();
    }
    // True once `done` holds, false after ten seconds without.
    bool waitUntil(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds{10}, done);
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

// Requests that come while a load runs make one more load after it, not one each; every
// outcome is applied, in order.
TEST(ReloaderTest, RequestsDuringALoadMakeOneMore) {
    auto loads = std::make_shared<Loads>();
    Reloader reloader([loads] { return loads->load(); },
                      [loads](CityTableLoad made) { loads->apply(std::move(made)); });
    reloader.request();
    ASSERT_TRUE(loads->waitUntil([&] { return loads->begun == 1; }));
    reloader.request();
    reloader.request();
    reloader.request();
    loads->release();
    ASSERT_TRUE(loads->waitUntil([&] { return loads->applied.size() == 2; }));
    reloader.stop();
    EXPECT_EQ(loads->begun, 2);
    EXPECT_EQ(loads->applied, (std::vector<std::string>{"load 1", "load 2"}));
}

// A stop while a load hangs returns without it, and what the load makes once it ends is
// never applied.
TEST(ReloaderTest, StopDoesNotWaitForALoad) {
    auto loads = std::make_shared<Loads>();
    auto reloader =
        std::make_unique<Reloader>([loads] { return loads->load(); },
                                   [loads](CityTableLoad made) { loads->apply(std::move(made)); });
    reloader->request();
    ASSERT_TRUE(loads->waitUntil([&] { return loads->begun == 1; }));
    auto stopped = std::async(std::launch::async, [&] { reloader.reset(); });
    const bool returned = stopped.wait_for(std::chrono::seconds{10}) == std::future_status::ready;
    EXPECT_TRUE(returned) << "the stop waited for the load";
    loads->release();
    stopped.wait();
    // The thread holds the last other reference until it has ended.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds{10};
    while (loads.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(loads.use_count(), 1);
    EXPECT_TRUE(loads->applied.empty());
}

}  // namespace
}  // namespace zonarium
