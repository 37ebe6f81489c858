#include "model/DescriptorBudget.h"

namespace zonarium {

bool DescriptorBudget::take() {
    std::size_t taken = m_taken.load(std::memory_order_relaxed);
    do {
        if (taken >= m_limit.load(std::memory_order_relaxed)) {
            return false;
        }
    } while (!m_taken.compare_exchange_weak(taken, taken + 1, std::memory_order_relaxed));
    return true;
}

DescriptorBudget& memoryFileBudget() {
    static DescriptorBudget budget;
    return budget;
}

}  // namespace zonarium
