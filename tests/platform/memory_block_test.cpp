#include "platform/memory_block.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

int allowed = 0;
bool CountdownGate(size_t)
{
    return allowed-- > 0;
}

TEST(MemoryBlock, HoldsItsBytesAcrossLocks)
{
    long before = LiveAllocations();
    MemoryBlock block = MemoryBlockAlloc(1000);
    ASSERT_NE(nullptr, block);
    EXPECT_GE(MemoryBlockSize(block), 1000u);
    uint8_t* bytes = MemoryBlockLock(block);
    ASSERT_NE(nullptr, bytes);
    for (int i = 0; i < 1000; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    MemoryBlockUnlock(block);
    EXPECT_EQ(before + 1, LiveAllocations());

    {
        MemoryBlockLockHolder lock(block);
        ASSERT_NE(nullptr, lock.bytes());
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(static_cast<uint8_t>(i), lock.bytes()[i]);
    }
    MemoryBlockFree(block);
    EXPECT_EQ(before, LiveAllocations());
}

TEST(MemoryBlock, BytesBeyondTheAskedSizeAreZeroEvenInReusedMemory)
{
    // A block filled and freed, then a smaller one in its place: whatever
    // the platform reports beyond the asked size reads as zeros.
    for (int round = 0; round < 8; ++round) {
        MemoryBlock used = MemoryBlockAlloc(64);
        ASSERT_NE(nullptr, used);
        std::memset(MemoryBlockLock(used), 0xAA, MemoryBlockSize(used));
        MemoryBlockUnlock(used);
        MemoryBlockFree(used);

        const size_t asked = size_t(13 + round);
        MemoryBlock block = MemoryBlockAlloc(asked);
        ASSERT_NE(nullptr, block);
        {
            MemoryBlockLockHolder lock(block);
            for (size_t i = asked; i < MemoryBlockSize(block); ++i)
                EXPECT_EQ(0, lock.bytes()[i]) << "byte " << i << " of a block of " << asked;
        }
        MemoryBlockFree(block);
    }
}

TEST(MemoryBlock, NullIsHarmlessEverywhere)
{
    EXPECT_EQ(0u, MemoryBlockSize(nullptr));
    EXPECT_EQ(nullptr, MemoryBlockLock(nullptr));
    MemoryBlockUnlock(nullptr);
    MemoryBlockFree(nullptr);
    FixedFree(nullptr);
}

TEST(MemoryBlock, TheGateFailsAllocationsWithoutCountingThem)
{
    long before = LiveAllocations();
    allowed = 1;
    SetAllocationGate(CountdownGate);
    uint8_t* first = FixedAlloc(16);
    MemoryBlock second = MemoryBlockAlloc(16);
    uint8_t* third = FixedAlloc(16);
    SetAllocationGate(nullptr);
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(nullptr, third);
    EXPECT_EQ(before + 1, LiveAllocations());
    FixedFree(first);
    EXPECT_EQ(before, LiveAllocations());
}

TEST(MemoryBlock, ScopedOwnersReleaseUnlessReleased)
{
    long before = LiveAllocations();
    {
        ScopedMemoryBlock block(MemoryBlockAlloc(8));
        ScopedFixed buffer(FixedAlloc(8));
        EXPECT_EQ(before + 2, LiveAllocations());
    }
    EXPECT_EQ(before, LiveAllocations());
    uint8_t* kept;
    {
        ScopedFixed buffer(FixedAlloc(8));
        kept = buffer.release();
    }
    EXPECT_EQ(before + 1, LiveAllocations());
    FixedFree(kept);
}

}  // namespace
