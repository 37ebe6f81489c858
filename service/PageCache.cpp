#include "PageCache.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <boost/asio/post.hpp>

#include <date/date.h>

#include <algorithm>
#include <cerrno>

namespace zonarium {

namespace {

// Niceness of the render threads: serving connections comes first, and what is rendered
// ahead can wait.
constexpr int kRenderNiceness = 5;

}  // namespace

CachedPage::CachedPage(PageParts rendered) : head(std::move(rendered.head)) {
    const std::string_view bytes = rendered.tail;
    int file = bytes.empty() ? -1 : ::memfd_create("zonarium-page", MFD_CLOEXEC);
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
}

PageCache::PageCache(const CityTable& table, int threads) : PageCache(table, threads, nullptr) {}

PageCache::PageCache(const CityTable& table, int threads, PageRenderer renderer)
    : m_table(table),
      m_renderer(std::move(renderer)),
      m_pool(static_cast<std::size_t>(std::max(1, threads))) {}

PageCache::~PageCache() {
    stop();
}

void PageCache::stop() {
    m_pool.stop();
    m_pool.join();
    for (Slot& slot : m_slots) {
        std::vector<std::pair<Instant, PageReady>> dropped;
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
    if (slot.next && slot.nextMinute == minute) {
        // The minute has turned and its parts are made: the next minute's are made now.
        slot.parts = std::move(slot.next);
        slot.minute = minute;
        if (!slot.rendering) {
            slot.rendering = true;
            startRender(land, minute + std::chrono::minutes{1}, true);
        }
    }
    if (slot.parts && slot.minute == minute) {
        auto made = slot.parts;
        lock.unlock();
        ready(std::move(made));
        return;
    }
    if (slot.waiters.size() >= kMaxWaiters) {
        lock.unlock();
        ready(nullptr);
        return;
    }
    slot.waiters.emplace_back(minute, std::move(ready));
    if (!slot.rendering) {
        slot.rendering = true;
        startRender(land, minute, false);
    }
}

void PageCache::startRender(int land, Instant minute, bool ahead) {
    boost::asio::post(m_pool, [this, land, minute, ahead] { render(land, minute, ahead); });
}

void PageCache::render(int land, Instant minute, bool ahead) {
    thread_local const bool yields = [] {
        return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kRenderNiceness) == 0;
    }();
    static_cast<void>(yields);
    Slot& slot = m_slots[static_cast<std::size_t>(land)];
    std::shared_ptr<const CachedPage> made;
    try {
        if (m_renderer) {
            made = std::make_shared<const CachedPage>(m_renderer(land, minute));
        } else {
            if (!slot.page) {
                slot.page = std::make_unique<CountryPage>(land, m_table);
            }
            made = std::make_shared<const CachedPage>(slot.page->render(minute));
        }
    } catch (...) {
        // Answered below with null: the callers are told rather than kept waiting.
    }

    std::vector<PageReady> answered;
    // The parts made are those of the minute being served, not ahead of it.
    bool current = false;
    {
        const std::lock_guard lock(slot.mutex);
        auto& waiters = slot.waiters;
        const auto others = std::stable_partition(
            waiters.begin(), waiters.end(), [minute](const auto& w) { return w.first != minute; });
        for (auto it = others; it != waiters.end(); ++it) {
            answered.push_back(std::move(it->second));
        }
        waiters.erase(others, waiters.end());
        current = made && (!ahead || !answered.empty());
        if (current) {
            slot.parts = made;
            slot.minute = minute;
        } else if (made) {
            slot.next = made;
            slot.nextMinute = minute;
        }
    }
    for (PageReady& ready : answered) {
        ready(made);
    }

    if (made && slot.page) {
        try {
            slot.page->prepareAhead(minute, kLookAhead);
        } catch (...) {
            // The sun cells are made when the next day's first render needs them.
        }
    }

    const std::lock_guard lock(slot.mutex);
    const Instant following = minute + std::chrono::minutes{1};
    if (!slot.waiters.empty()) {
        // Callers for another minute came meanwhile: the earliest of them is served next.
        startRender(land, slot.waiters.front().first, false);
    } else if (current && !(slot.next && slot.nextMinute == following)) {
        startRender(land, following, true);
    } else {
        slot.rendering = false;
    }
}

}  // namespace zonarium
