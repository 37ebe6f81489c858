#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HORALUX_ASAN_FEATURE 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(HORALUX_ASAN_FEATURE)
#define HORALUX_ASAN 1
#include <sanitizer/asan_interface.h>
#else
#define HORALUX_ASAN 0
#endif

#include <array>
#include <cstddef>
#include <limits>
#include <new>
#include <utility>

namespace zonarium {

// Maps `bytes` (rounded up to whole pages) of memory on pages of its own, straight from the
// system or from the few mappings given back last; throws std::bad_alloc when it cannot.
// Only pages written to become resident. Thread-safe.
void* mapPages(std::size_t bytes);
// Gives memory from mapPages(bytes) back, to the system unless kept for reuse.
void unmapPages(void* memory, std::size_t bytes) noexcept;

// An allocator that maps every allocation on pages of its own and unmaps it when freed, so
// that objects made and dropped in bursts (connections) never leave the heap fragmented
// around longer-lived objects made meanwhile. Meant for few, large, long-lived objects.
template <class T>
struct PageAllocator {
    using value_type = T;

    PageAllocator() = default;
    template <class U>
    PageAllocator(const PageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= 4096, "pages are aligned to 4096 bytes at least");
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(mapPages(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { unmapPages(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const PageAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const PageAllocator<U>&) const noexcept {
        return false;
    }
};

// Memory for the asynchronous operations of one connection: a few fixed slots inside the
// connection's own object, so that its pending reads, writes and timer waits take nothing
// from the heap. Requests too large, or made while every slot is taken, fall back to the
// heap. Used from the connection's thread only.
class HandlerMemory {
public:
    // Bytes of one slot; a pending read of a request head is the largest operation.
    static constexpr std::size_t kSlotBytes = 512;
    // Operations pending at once: a read or write and the deadline's wait, with room to spare.
    static constexpr std::size_t kSlots = 3;

    HandlerMemory(const HandlerMemory&) = delete;
    HandlerMemory& operator=(const HandlerMemory&) = delete;

    HandlerMemory() {
        for (Slot& slot : m_slots) {
            markFree(slot, true);
        }
    }
    ~HandlerMemory() {
        for (Slot& slot : m_slots) {
            markFree(slot, false);
        }
    }

    void* allocate(std::size_t bytes) {
        if (bytes <= kSlotBytes) {
            for (std::size_t i = 0; i < kSlots; ++i) {
                if (!m_taken[i]) {
                    m_taken[i] = true;
                    markFree(m_slots[i], false);
                    return m_slots[i].bytes;
                }
            }
        }
        return ::operator new(bytes);
    }

    void deallocate(void* memory) noexcept {
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (memory == m_slots[i].bytes) {
                m_taken[i] = false;
                markFree(m_slots[i], true);
                return;
            }
        }
        ::operator delete(memory);
    }

private:
    struct alignas(std::max_align_t) Slot {
        unsigned char bytes[kSlotBytes];
    };

    // Under the address sanitizer, a free slot is out of bounds, so that an operation's
    // memory used after its release is reported as it would be on the heap.
    static void markFree([[maybe_unused]] Slot& slot, [[maybe_unused]] bool free) {
#if HORALUX_ASAN
        if (free) {
            ASAN_POISON_MEMORY_REGION(slot.bytes, sizeof slot.bytes);
        } else {
            ASAN_UNPOISON_MEMORY_REGION(slot.bytes, sizeof slot.bytes);
        }
#endif
    }

    std::array<Slot, kSlots> m_slots;
    std::array<bool, kSlots> m_taken{};
};

// The allocator an operation finds on a handler bound to a connection's HandlerMemory.
template <class T>
struct HandlerAllocator {
    using value_type = T;

    explicit HandlerAllocator(HandlerMemory& target) noexcept : memory(&target) {}
    template <class U>
    HandlerAllocator(const HandlerAllocator<U>& other) noexcept : memory(other.memory) {}

    T* allocate(std::size_t n) {
        static_assert(alignof(T) <= alignof(std::max_align_t), "slots are aligned to that");
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(memory->allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t) noexcept { memory->deallocate(p); }

    template <class U>
    bool operator==(const HandlerAllocator<U>& other) const noexcept {
        return memory == other.memory;
    }
    template <class U>
    bool operator!=(const HandlerAllocator<U>& other) const noexcept {
        return memory != other.memory;
    }

    HandlerMemory* memory;
};

// A completion handler whose operations take their memory from `memory`.
template <class Handler>
class BoundHandler {
public:
    using allocator_type = HandlerAllocator<Handler>;

    BoundHandler(HandlerMemory& memory, Handler handler)
        : m_memory(memory), m_handler(std::move(handler)) {}

    allocator_type get_allocator() const noexcept { return allocator_type(m_memory); }

    template <class... Args>
    void operator()(Args&&... args) {
        m_handler(std::forward<Args>(args)...);
    }

private:
    HandlerMemory& m_memory;
    Handler m_handler;
};

template <class Handler>
BoundHandler<Handler> bindMemory(HandlerMemory& memory, Handler handler) {
    return BoundHandler<Handler>(memory, std::move(handler));
}

}  // namespace zonarium
