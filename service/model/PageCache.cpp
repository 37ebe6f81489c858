#include "model/PageCache.h"

#include "model/DescriptorBudget.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <boost/asio/post.hpp>

#include <date/date.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace zonarium {

namespace {

// Niceness of the render threads: serving connections comes first, and what is rendered
// ahead can wait.
constexpr int kRenderNiceness = 5;

// Gives each waiter from `from` on the parts `made` of `minute`, or null when it waits for
// another minute. A callback that throws has lost its caller alone: the rest are answered
// all the same, and no exception leaves a render thread.
void answer(std::vector<PageWaiter>& waiters, std::size_t from, Instant minute,
            const std::shared_ptr<const CachedPage>& made) noexcept {
    for (std::size_t i = from; i < waiters.size(); ++i) {
        try {
            waiters[i].ready(waiters[i].minute == minute ? made : nullptr);
        } catch (...) {
            // Nothing more can be done for this caller.
        }
    }
}

}  // namespace

CachedPage::CachedPage(PageParts rendered) : head(std::move(rendered.head)) {
    const std::string_view bytes = rendered.tail;
    // Counted in the process's budget for as long as the page holds its file.
    m_budgeted = !bytes.empty() && memoryFileBudget().take();
    int file = m_budgeted ? ::memfd_create("zonarium-page", MFD_CLOEXEC) : -1;
    for (std::string_view rest = bytes; file >= 0 && !rest.empty();) {
        const ssize_t written = ::write(file, rest.data(), rest.size());
        if (written > 0) {
            rest.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            ::close(file);
            file = -1;
        }
    }
    if (file >= 0) {
        void* mapping = ::mmap(nullptr, bytes.size(), PROT_READ, MAP_SHARED, file, 0);
        if (mapping != MAP_FAILED) {
            m_mapping = mapping;
            tail = std::string_view(static_cast<const char*>(mapping), bytes.size());
            tailFile = file;
            return;
        }
        ::close(file);
    }
    if (m_budgeted) {
        memoryFileBudget().give();
        m_budgeted = false;
    }
    m_heldTail = std::move(rendered.tail);
    tail = m_heldTail;
}

CachedPage::~CachedPage() {
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, tail.size());
    }
    if (tailFile >= 0) {
        ::close(tailFile);
    }
    if (m_budgeted) {
        memoryFileBudget().give();
    }
}

PageCache::PageCache(const CityTable& table, int threads) : PageCache(table, threads, nullptr) {}

PageCache::PageCache(const CityTable& table, int threads, PageRenderer renderer)
    // Not owned: the caller keeps it.
    : PageCache(std::shared_ptr<const CityTable>(std::shared_ptr<const void>(), &table), threads,
                std::move(renderer)) {}

PageCache::PageCache(std::shared_ptr<const CityTable> table, int threads, PageRenderer renderer)
    : m_table(std::move(table)),
      m_renderer(std::move(renderer)),
      m_pool(static_cast<std::size_t>(std::max(1, threads))) {
    for (int land = 0; land <= kLastLand; ++land) {
        m_slots[static_cast<std::size_t>(land)].schedule = Schedule(land);
        m_aheadTimers[static_cast<std::size_t>(land)] =
            std::make_unique<boost::asio::steady_timer>(m_pool.get_executor());
    }
}

PageCache::~PageCache() {
    stop();
}

std::shared_ptr<const CityTable> PageCache::table() const {
    const std::lock_guard lock(m_tableMutex);
    return m_table;
}

void PageCache::replace(std::shared_ptr<const CityTable> table) {
    {
        const std::lock_guard lock(m_tableMutex);
        // The old table is held by `table` from here: freeing 130k places is slow and
        // happens outside the lock every render takes.
        m_table.swap(table);
        ++m_generation;
    }
    // The old table goes once nothing holds it: the pages made from it now, and each
    // country's page parts once no render uses them (a render under way drops its own).
    for (Slot& slot : m_slots) {
        std::shared_ptr<const CachedPage> parts;
        std::shared_ptr<const CachedPage> next;
        std::unique_ptr<CountryPage> page;
        std::shared_ptr<const CityTable> pageTable;
        const std::lock_guard lock(slot.mutex);
        // Released once the lock is: a page's memory file closes outside it.
        slot.schedule.drop(parts, next);
        if (!slot.schedule.rendering()) {
            page.swap(slot.page);
            pageTable.swap(slot.pageTable);
        }
    }
}

void PageCache::stop() {
    m_pool.stop();
    m_pool.join();
    for (Slot& slot : m_slots) {
        std::vector<PageWaiter> dropped;
        {
            const std::lock_guard lock(slot.mutex);
            dropped.swap(slot.waiters);
        }
    }
}

void PageCache::parts(int land, Instant now, PageReady ready) {
    const Instant minute = date::floor<std::chrono::minutes>(now);
    Slot& slot = m_slots.at(static_cast<std::size_t>(land));
    std::unique_lock lock(slot.mutex);
    slot.askedAt = now;
    slot.askedSteady = std::chrono::steady_clock::now();
    Schedule::Step step;
    auto made = slot.schedule.ask(minute, now, step);
    take(land, slot, step, now);
    if (made) {
        lock.unlock();
        ready(std::move(made));
        return;
    }
    if (slot.waiters.size() >= kMaxWaiters) {
        lock.unlock();
        ready(nullptr);
        return;
    }
    slot.waiters.push_back(PageWaiter{minute, m_generation, std::move(ready)});
    if (!take(land, slot, slot.schedule.wait(minute), now)) {
        // No render will come: the callers are told now rather than kept waiting.
        std::vector<PageWaiter> stranded;
        stranded.swap(slot.waiters);
        lock.unlock();
        answer(stranded, 0, minute, nullptr);
    }
}

bool PageCache::startRender(int land, Instant minute, bool ahead) noexcept {
    try {
        boost::asio::post(m_pool, [this, land, minute, ahead] { render(land, minute, ahead); });
        return true;
    } catch (...) {
        return false;
    }
}

bool PageCache::take(int land, Slot& slot, const Schedule::Step& step, Instant now) noexcept {
    switch (step.kind) {
        case Schedule::Step::Kind::None:
            break;
        case Schedule::Step::Kind::Render:
            if (!startRender(land, step.minute, step.ahead)) {
                slot.schedule.notStarted();
                return false;
            }
            break;
        case Schedule::Step::Kind::Arm:
            try {
                auto& timer = *m_aheadTimers[static_cast<std::size_t>(land)];
                timer.expires_after(step.at - now);
                timer.async_wait(
                    [this, land, minute = step.minute](const boost::system::error_code& ec) {
                        if (ec) {
                            return;
                        }
                        Slot& rung = m_slots[static_cast<std::size_t>(land)];
                        const std::lock_guard lock(rung.mutex);
                        take(land, rung, rung.schedule.due(minute), callersNow(rung));
                    });
            } catch (...) {
                // Made when the first caller of the minute asks for them.
            }
            break;
    }
    return true;
}

Instant PageCache::callersNow(const Slot& slot) {
    return slot.askedAt + std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::steady_clock::now() - slot.askedSteady);
}

void PageCache::observeRenders(RenderObserver observer) {
    m_observer = std::move(observer);
}

void PageCache::render(int land, Instant minute, bool ahead) noexcept {
    thread_local const bool yields = [] {
        return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kRenderNiceness) == 0;
    }();
    static_cast<void>(yields);
    Slot& slot = m_slots[static_cast<std::size_t>(land)];
    std::shared_ptr<const CachedPage> made;
    std::shared_ptr<const CityTable> table;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(m_tableMutex);
        table = m_table;
        generation = m_generation;
    }
    const auto started = std::chrono::steady_clock::now();
    try {
        if (m_renderer) {
            made = std::make_shared<const CachedPage>(m_renderer(land, minute));
        } else {
            if (!slot.page || slot.pageTable != table) {
                slot.page.reset();
                slot.page = std::make_unique<CountryPage>(land, *table);
                slot.pageTable = table;
            }
            made = std::make_shared<const CachedPage>(slot.page->render(minute));
        }
        if (m_observer) {
            m_observer(std::chrono::steady_clock::now() - started);
        }
    } catch (...) {
        // Answered below with null: the callers are told rather than kept waiting.
    }

    // Every waiter is taken out, and those of another minute put back; should putting them
    // back fail, they are answered with null too rather than left waiting.
    std::vector<PageWaiter> taken;
    std::size_t answeredFrom = 0;
    // The parts made are now those served, not ahead of them.
    bool current = false;
    {
        const std::lock_guard lock(slot.mutex);
        taken.swap(slot.waiters);
        const auto others = std::stable_partition(
            taken.begin(), taken.end(), [minute, generation](const PageWaiter& w) {
                // Those who asked after the table was replaced wait for a render from it.
                return w.minute != minute || w.generation > generation;
            });
        try {
            slot.waiters.assign(std::make_move_iterator(taken.begin()),
                                std::make_move_iterator(others));
            answeredFrom = static_cast<std::size_t>(others - taken.begin());
        } catch (...) {
            answeredFrom = 0;
        }
        const bool asked = others != taken.end();
        // Made from a table replaced meanwhile: answered, never kept.
        const bool replaced = generation != m_generation;
        current = slot.schedule.rendered(minute, ahead, asked, replaced, made);
    }
    answer(taken, answeredFrom, minute, made);

    if (made && slot.page) {
        try {
            slot.page->prepareAhead(minute, kLookAhead);
        } catch (...) {
            // The sun cells are made when the next day's first render needs them.
        }
    }

    std::vector<PageWaiter> stranded;
    std::unique_ptr<CountryPage> replacedPage;
    std::shared_ptr<const CityTable> replacedTable;
    {
        const std::lock_guard lock(slot.mutex);
        if (generation != m_generation) {
            // Parts of a replaced table are not made again; they go once the lock is released.
            replacedPage.swap(slot.page);
            replacedTable.swap(slot.pageTable);
        }
        // Callers for another minute who came meanwhile are served next, the first of them to
        // come first; else the next minute's parts are made ahead in their time.
        std::optional<Instant> waiting;
        if (!slot.waiters.empty()) {
            waiting = slot.waiters.front().minute;
        }
        const Instant now = callersNow(slot);
        if (!take(land, slot, slot.schedule.ended(waiting, current, minute, now), now) && waiting) {
            stranded.swap(slot.waiters);
        }
    }
    answer(stranded, 0, minute, nullptr);
}

}  // namespace zonarium
