#include "http/SessionMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <mutex>

namespace zonarium {

namespace {

std::size_t wholeMemoryPages(std::size_t bytes) {
    static const auto memoryPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return (bytes + memoryPage - 1) / memoryPage * memoryPage;
}

#if !HORALUX_ASAN
// Mappings given back lately, kept for the next ones of their size so that connections
// opened and closed in quick turns cost no system calls; few, so that little stays
// resident after a burst.
class RecentMappings {
public:
    void* take(std::size_t bytes) {
        const std::lock_guard lock(m_mutex);
        for (std::size_t i = m_count; i-- > 0;) {
            if (m_kept[i].bytes == bytes) {
                void* const memory = m_kept[i].memory;
                m_kept[i] = m_kept[--m_count];
                return memory;
            }
        }
        return nullptr;
    }

    bool keep(void* memory, std::size_t bytes) {
        const std::lock_guard lock(m_mutex);
        if (m_count == m_kept.size()) {
            return false;
        }
        m_kept[m_count++] = {memory, bytes};
        return true;
    }

private:
    struct Mapping {
        void* memory = nullptr;
        std::size_t bytes = 0;
    };
    std::mutex m_mutex;
    std::array<Mapping, 16> m_kept{};
    std::size_t m_count = 0;
};

RecentMappings& recentMappings() {
    static RecentMappings mappings;
    return mappings;
}
#endif

}  // namespace

void* mapMemory(std::size_t bytes) {
    bytes = wholeMemoryPages(bytes);
#if HORALUX_ASAN
    // On the heap, where the address sanitizer sees a session used after its end.
    return ::operator new(bytes);
#else
    if (void* const kept = recentMappings().take(bytes)) {
        return kept;
    }
    void* const memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        throw std::bad_alloc();
    }
    return memory;
#endif
}

void unmapMemory(void* memory, [[maybe_unused]] std::size_t bytes) noexcept {
#if HORALUX_ASAN
    ::operator delete(memory);
#else
    bytes = wholeMemoryPages(bytes);
    if (!recentMappings().keep(memory, bytes)) {
        ::munmap(memory, bytes);
    }
#endif
}

}  // namespace zonarium
