#include "platform/memory_block.h"

#include <atomic>

namespace {

std::atomic<AllocationGate> gate{nullptr};
std::atomic<long> live{0};

// True when the test gate, if any, lets this allocation happen.
bool GateAllows(size_t size)
{
    AllocationGate g = gate.load(std::memory_order_relaxed);
    return !g || g(size);
}

}  // namespace

void SetAllocationGate(AllocationGate g)
{
    gate.store(g);
}

long LiveAllocations()
{
    return live.load();
}

#ifdef _WIN32
#include <windows.h>

MemoryBlock MemoryBlockAlloc(size_t size)
{
    if (!GateAllows(size))
        return nullptr;
    // Zero-filled: the heap may round the block up, and GlobalSize then
    // reports the spare bytes too; a decoder reading a cut file's block to
    // its end must see zeros there, as past the end of any file, never
    // whatever the heap held before.
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
    if (h)
        ++live;
    return h;
}

size_t MemoryBlockSize(MemoryBlock block)
{
    return block ? GlobalSize(static_cast<HGLOBAL>(block)) : 0;
}

uint8_t* MemoryBlockLock(MemoryBlock block)
{
    return block ? static_cast<uint8_t*>(GlobalLock(static_cast<HGLOBAL>(block))) : nullptr;
}

void MemoryBlockUnlock(MemoryBlock block)
{
    if (block)
        GlobalUnlock(static_cast<HGLOBAL>(block));
}

void MemoryBlockFree(MemoryBlock block)
{
    if (block) {
        GlobalFree(static_cast<HGLOBAL>(block));
        --live;
    }
}

void* MemoryBlockHandOver(MemoryBlock block)
{
    if (block)
        --live;
    return block;
}

uint8_t* FixedAlloc(size_t size)
{
    if (!GateAllows(size))
        return nullptr;
    void* p = GlobalAlloc(GMEM_FIXED, size ? size : 1);
    if (p)
        ++live;
    return static_cast<uint8_t*>(p);
}

void FixedFree(void* buffer)
{
    if (buffer) {
        GlobalFree(buffer);
        --live;
    }
}

#else
#include <cstdlib>

namespace {

// A native block: its size, then its bytes (kept 16-byte aligned).
struct alignas(16) BlockHead {
    size_t size;
};

}  // namespace

MemoryBlock MemoryBlockAlloc(size_t size)
{
    if (!GateAllows(size) || size > SIZE_MAX - sizeof(BlockHead))
        return nullptr;
    auto* head = static_cast<BlockHead*>(malloc(sizeof(BlockHead) + (size ? size : 1)));
    if (!head)
        return nullptr;
    head->size = size;
    ++live;
    return head;
}

size_t MemoryBlockSize(MemoryBlock block)
{
    return block ? static_cast<BlockHead*>(block)->size : 0;
}

uint8_t* MemoryBlockLock(MemoryBlock block)
{
    return block ? reinterpret_cast<uint8_t*>(static_cast<BlockHead*>(block) + 1) : nullptr;
}

void MemoryBlockUnlock(MemoryBlock)
{
}

void MemoryBlockFree(MemoryBlock block)
{
    if (block) {
        free(block);
        --live;
    }
}

void* MemoryBlockHandOver(MemoryBlock block)
{
    if (block)
        --live;
    return block;
}

uint8_t* FixedAlloc(size_t size)
{
    if (!GateAllows(size))
        return nullptr;
    void* p = malloc(size ? size : 1);
    if (p)
        ++live;
    return static_cast<uint8_t*>(p);
}

void FixedFree(void* buffer)
{
    if (buffer) {
        free(buffer);
        --live;
    }
}
#endif
