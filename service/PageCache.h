#pragma once

#include "CityTable.h"
#include "LocalTime.h"
#include "Page.h"

#include <array>
#include <memory>
#include <mutex>

namespace zonarium {

// A country's page parts, the tail also held in a memory file so that it can be sent by
// the kernel from there without a copy through the sender's buffers.
struct CachedPage : PageParts {
    CachedPage(PageParts rendered);
    ~CachedPage();
    CachedPage(const CachedPage&) = delete;
    CachedPage& operator=(const CachedPage&) = delete;
    // Memory file holding `tail` from offset 0, read-only to its users; -1 when none could
    // be made (the tail is then sent from memory).
    int tailFile = -1;
};

// Each country's page parts, rendered at most once per minute of the clock that asks.
// Thread-safe; the table must outlive the cache.
class PageCache {
public:
    explicit PageCache(const CityTable& table) : m_table(table) {}
    PageCache(const PageCache&) = delete;
    PageCache& operator=(const PageCache&) = delete;

    // The parts of `land` (kFirstLand..kLastLand) for the minute holding `now`: those of an
    // earlier call in the same minute, else freshly rendered. Rendering holds only that
    // country's slot; other countries are served meanwhile.
    std::shared_ptr<const CachedPage> parts(int land, Instant now);

private:
    // One country's last rendered parts and the minute they are for.
    struct Slot {
        // Guards `parts` and `minute`.
        std::mutex mutex;
        // Null before the first request.
        std::shared_ptr<const CachedPage> parts;
        // Start of the minute `parts` was rendered for.
        Instant minute;
    };

    // The places rendered; not owned.
    const CityTable& m_table;
    // One slot per country code, index 0 unused.
    std::array<Slot, kLastLand + 1> m_slots;
};

}  // namespace zonarium
