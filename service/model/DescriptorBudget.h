#pragma once

#include <atomic>
#include <cstddef>
#include <limits>

namespace zonarium {

// How many descriptors one use may hold open at once, counted as they are taken and given
// back. Thread-safe.
class DescriptorBudget {
public:
    explicit DescriptorBudget(std::size_t limit = std::numeric_limits<std::size_t>::max())
        : m_limit(limit) {}
    DescriptorBudget(const DescriptorBudget&) = delete;
    DescriptorBudget& operator=(const DescriptorBudget&) = delete;

    // Counts one descriptor in; false, counting nothing, when the limit is reached.
    bool take();
    // Gives back one descriptor counted in by take().
    void give() { m_taken.fetch_sub(1, std::memory_order_relaxed); }
    // Changes the limit; descriptors held beyond a lower one stay until given back.
    void setLimit(std::size_t limit) { m_limit.store(limit, std::memory_order_relaxed); }

private:
    std::atomic<std::size_t> m_limit;
    std::atomic<std::size_t> m_taken{0};
};

// The process's budget of page memory files: every page made holds one while it lives, in
// the cache or still being sent; past the limit a page is held in memory instead. No limit
// until the server sets one.
DescriptorBudget& memoryFileBudget();

}  // namespace zonarium
