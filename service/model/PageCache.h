#pragma once

#include "model/CityTable.h"
#include "model/CountryPage.h"
#include "model/CountrySchedule.h"
#include "model/LocalTime.h"
#include "model/Page.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zonarium {

// A country's page parts, the tail held in a memory file so that the kernel can send it from
// there without a copy through the sender's buffers, and read through a mapping of that
// file: the bytes are kept once.
class CachedPage {
public:
    explicit CachedPage(PageParts rendered);
    ~CachedPage();
    CachedPage(const CachedPage&) = delete;
    CachedPage& operator=(const CachedPage&) = delete;

    // Bytes before the identifier.
    std::string head;
    // Bytes after the identifier; valid as long as the page.
    std::string_view tail;
    // Memory file holding `tail` from offset 0, read-only to its users; -1 when none could
    // be made (the tail is then held and sent from memory).
    int tailFile = -1;

private:
    // The tail when no memory file could be made or mapped.
    std::string m_heldTail;
    // Read-only mapping of tailFile; null when none.
    void* m_mapping = nullptr;
    // Counted in memoryFileBudget() while tailFile is open.
    bool m_budgeted = false;
};

// Receives a country's page parts; null when they could not be made.
using PageReady = std::function<void(std::shared_ptr<const CachedPage>)>;

// A caller waiting for a country's page: the minute it asked for, how many times the table
// had been replaced when it asked (a render from an older table does not answer it), and
// where the parts go.
struct PageWaiter {
    Instant minute;
    std::uint64_t generation = 0;
    PageReady ready;
};

// Each country's page parts, rendered once per minute of the clock that asks while that clock
// runs forward (again after a failed render or once the clock is set back), on render threads
// of its own so that no connection waits for another's page. A country asked for in one
// minute has its page of the next minute made ahead, inside the minute and away from its turn
// (aheadRenderTime), so that callers at the turn find it made and the turn itself has no
// render to make; a caller still a minute behind the turn is served the new minute's parts. Renders
// from a table that replace() swaps whole: renders begun before a swap answer their callers
// from the table they began with, and pages made before it are dropped. Thread-safe.
class PageCache {
public:
    // Callers waiting for one country's page at most; beyond it they get null at once.
    static constexpr std::size_t kMaxWaiters = 4096;
    // Memory files the cache itself holds at most: a country's page in place and its next.
    static constexpr std::size_t kMemoryFilesHeld = 2 * kLastLand;
    // How long before a zone's local midnight its next day's sun cells are made.
    static constexpr std::chrono::minutes kLookAhead{15};

    // Renders from the table's country pages on `threads` threads; the table must outlive
    // the cache.
    PageCache(const CityTable& table, int threads);
    // Renders with `renderer` instead.
    PageCache(const CityTable& table, int threads, PageRenderer renderer);
    // Renders from `table`, kept while it is in use, with `renderer` when set.
    PageCache(std::shared_ptr<const CityTable> table, int threads, PageRenderer renderer);
    // Waits for the renders under way; callers still waiting are dropped unanswered.
    ~PageCache();
    PageCache(const PageCache&) = delete;
    PageCache& operator=(const PageCache&) = delete;

    // Calls `ready` with the parts of `land` (kFirstLand..kLastLand) for the minute holding
    // `now`, or for the minute after it when those are in place already: at once on this
    // thread when an earlier call made them, else on a render thread once made; callers for
    // the same country and minute share one render. `ready` gets null when the render failed
    // or too many wait already.
    void parts(int land, Instant now, PageReady ready);

    // The table pages are made from now.
    std::shared_ptr<const CityTable> table() const;
    // Makes pages from `table` from now on and drops those made before; renders under way
    // finish from the table they began with.
    void replace(std::shared_ptr<const CityTable> table);

    // Ends rendering: waits for renders under way, drops callers still waiting and answers
    // none after. Idempotent; the destructor calls it.
    void stop();
    // Has `observer` told how long each page made took; call before the first parts().
    using RenderObserver = std::function<void(std::chrono::nanoseconds)>;
    void observeRenders(RenderObserver observer);

private:
    using Schedule = CountrySchedule<std::shared_ptr<const CachedPage>>;

    // One country's schedule of parts, who waits for them, and what its renders use.
    struct Slot {
        // Guards every member but `page`.
        std::mutex mutex;
        // The parts served and made ahead, the render under way and the next one.
        Schedule schedule{0};
        // Callers and the minute each waits for, in arrival order.
        std::vector<PageWaiter> waiters;
        // The instant the last caller asked at, and the steady clock's time then: with the
        // time gone by since, the caller's clock now.
        Instant askedAt;
        std::chrono::steady_clock::time_point askedSteady;
        // The country's page parts and the table they belong to; used by the one render
        // under way only.
        std::unique_ptr<CountryPage> page;
        std::shared_ptr<const CityTable> pageTable;
    };

    // Queues a render of `land` for `minute`, `ahead` of callers or for them; false when it
    // could not be queued.
    bool startRender(int land, Instant minute, bool ahead) noexcept;
    // Renders on a render thread and answers the callers of `minute`; never throws, since
    // an exception there would end the process.
    void render(int land, Instant minute, bool ahead) noexcept;
    // Does `step` of `land`'s schedule (its slot locked) at `now`: starts the render, or sets
    // the country's timer. False when a render was to start and could not.
    bool take(int land, Slot& slot, const Schedule::Step& step, Instant now) noexcept;
    // The caller's clock now, as the slot's last caller read it and the time gone by since.
    static Instant callersNow(const Slot& slot);

    // Guards m_table.
    mutable std::mutex m_tableMutex;
    // The places rendered from now.
    std::shared_ptr<const CityTable> m_table;
    // Counts replace() calls: a render that began under another count is not kept.
    std::atomic<std::uint64_t> m_generation{0};
    // Replaces the country pages when set.
    PageRenderer m_renderer;
    // Told each render's time when set.
    RenderObserver m_observer;
    // One slot per country code, index 0 unused.
    std::array<Slot, kLastLand + 1> m_slots;
    // Render threads; after the slots, so that they end before the slots go.
    boost::asio::thread_pool m_pool;
    // Each country's timer of its render ahead, on the render threads; guarded by the slot's
    // mutex. Last, so that they go before the threads' context.
    std::array<std::unique_ptr<boost::asio::steady_timer>, kLastLand + 1> m_aheadTimers;
};

}  // namespace zonarium
