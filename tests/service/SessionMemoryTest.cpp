#include "http/SessionMemory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zonarium {
namespace {

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
