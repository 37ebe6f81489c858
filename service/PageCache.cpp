#include "PageCache.h"

#include <sys/mman.h>
#include <unistd.h>

#include <date/date.h>

namespace zonarium {

CachedPage::CachedPage(PageParts rendered) : PageParts(std::move(rendered)) {
    const int file = ::memfd_create("zonarium-page", MFD_CLOEXEC);
    if (file < 0) {
        return;
    }
    std::string_view rest = tail;
    while (!rest.empty()) {
        const ssize_t written = ::write(file, rest.data(), rest.size());
        if (written <= 0) {
            ::close(file);
            return;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    tailFile = file;
}

CachedPage::~CachedPage() {
    if (tailFile >= 0) {
        ::close(tailFile);
    }
}

std::shared_ptr<const CachedPage> PageCache::parts(int land, Instant now) {
    const Instant minute = date::floor<std::chrono::minutes>(now);
    Slot& slot = m_slots.at(static_cast<std::size_t>(land));
    const std::lock_guard lock(slot.mutex);
    if (!slot.parts || slot.minute != minute) {
        slot.parts = std::make_shared<const CachedPage>(renderPageParts(land, minute, m_table));
        slot.minute = minute;
    }
    return slot.parts;
}

}  // namespace zonarium
