#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HORALUX_ASAN_FEATURE 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(HORALUX_ASAN_FEATURE)
#define HORALUX_ASAN 1
#else
#define HORALUX_ASAN 0
#endif

#include <cstddef>
#include <limits>
#include <new>

namespace zonarium {

// Maps `bytes` (rounded up to whole memory pages) in a mapping of its own, straight from the
// system or from the few mappings given back last; throws std::bad_alloc when it cannot.
// Only memory pages written to become resident. Thread-safe.
void* mapMemory(std::size_t bytes);
// Gives memory from mapMemory(bytes) back, to the system unless kept for reuse.
void unmapMemory(void* memory, std::size_t bytes) noexcept;

// An allocator that maps every allocation in a mapping of its own and unmaps it when freed, so
// that objects made and dropped in bursts (connections) never leave the heap fragmented
// around longer-lived objects made meanwhile. Meant for few, large, long-lived objects.
template <class T>
struct MappedAllocator {
    using value_type = T;

    MappedAllocator() = default;
    template <class U>
    MappedAllocator(const MappedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= 4096, "mappings are aligned to 4096 bytes at least");
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(mapMemory(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { unmapMemory(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const MappedAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const MappedAllocator<U>&) const noexcept {
        return false;
    }
};

}  // namespace zonarium
