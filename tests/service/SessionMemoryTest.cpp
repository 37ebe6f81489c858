#include "http/SessionMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace zonarium {
namespace {

bool inside(const HandlerMemory& memory, const void* p) {
    const auto* begin = reinterpret_cast<const char*>(&memory);
    const auto* at = static_cast<const char*>(p);
    return !std::less<>()(at, begin) && std::less<>()(at, begin + sizeof memory);
}

// Operations take the slots while they last, then the heap; a released slot is taken again,
// and heap memory goes back to the heap (the sanitizers check each release).
TEST(HandlerMemoryTest, SlotsFirstThenTheHeap) {
    HandlerMemory memory;
    std::vector<void*> slots;
    for (std::size_t i = 0; i < HandlerMemory::kSlots; ++i) {
        slots.push_back(memory.allocate(HandlerMemory::kSlotBytes));
        EXPECT_TRUE(inside(memory, slots.back()));
        std::memset(slots.back(), 0xA5, HandlerMemory::kSlotBytes);
    }
    void* const spilled = memory.allocate(8);
    EXPECT_FALSE(inside(memory, spilled));

    memory.deallocate(slots[1]);
    void* const large = memory.allocate(HandlerMemory::kSlotBytes + 1);
    EXPECT_FALSE(inside(memory, large));
    EXPECT_EQ(memory.allocate(HandlerMemory::kSlotBytes), slots[1]);

    memory.deallocate(large);
    memory.deallocate(spilled);
    for (void* slot : slots) {
        memory.deallocate(slot);
    }
}

// Pages are handed out whole, writable to their last byte, and can be taken again after
// being given back.
TEST(PageAllocatorTest, MapsWritablePagesAgainAndAgain) {
    PageAllocator<char> pages;
    for (int round = 0; round < 40; ++round) {
        char* const memory = pages.allocate(10000);
        std::memset(memory, round, 10000);
        pages.deallocate(memory, 10000);
    }
}

}  // namespace
}  // namespace zonarium
