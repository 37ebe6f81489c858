#include "http/SessionMemory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zonarium {
namespace {

// Memory pages are handed out whole, writable to their last byte, and can be taken again after
// being given back.
TEST(MappedAllocatorTest, MapsWritableMemoryAgainAndAgain) {
    MappedAllocator<char> mapped;
    for (int round = 0; round < 40; ++round) {
        char* const memory = mapped.allocate(10000);
        std::memset(memory, round, 10000);
        mapped.deallocate(memory, 10000);
    }
}

}  // namespace
}  // namespace zonarium
