#include "PageCache.h"

#include <date/date.h>

namespace zonarium {

std::shared_ptr<const PageParts> PageCache::parts(int land, Instant now) {
    const Instant minute = date::floor<std::chrono::minutes>(now);
    Slot& slot = m_slots.at(static_cast<std::size_t>(land));
    const std::lock_guard lock(slot.mutex);
    if (!slot.parts || slot.minute != minute) {
        slot.parts = std::make_shared<const PageParts>(renderPageParts(land, minute, m_table));
        slot.minute = minute;
    }
    return slot.parts;
}

}  // namespace zonarium
