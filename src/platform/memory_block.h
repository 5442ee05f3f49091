// Memory for whole file images and pixel buffers. A MemoryBlock is a movable
// block of the process heap that holds a file image (on Windows a
// GMEM_MOVEABLE HGLOBAL, the handle itself, so that a stream over global
// memory can take it over); its bytes are reachable only while it is locked.
// Fixed blocks hold pixel and work buffers (GMEM_FIXED on Windows, whose
// owner frees them with GlobalFree; malloc natively).
#pragma once

#include <cstddef>
#include <cstdint>

using MemoryBlock = void*;

// Allocates a movable block of size bytes (at least 1 is taken). Returns
// nullptr when the memory cannot be had.
MemoryBlock MemoryBlockAlloc(size_t size);

// Returns the block's size in bytes (on Windows GlobalSize, which may be
// more than was asked, never less; the bytes beyond what was asked are 0),
// 0 for nullptr.
size_t MemoryBlockSize(MemoryBlock block);

// Locks the block and returns the address of its first byte, or nullptr.
uint8_t* MemoryBlockLock(MemoryBlock block);

// Ends one lock of the block; its address may change afterwards.
void MemoryBlockUnlock(MemoryBlock block);

// Releases the block; nullptr is ignored.
void MemoryBlockFree(MemoryBlock block);

// Gives the block to a platform object that releases it itself (a stream
// over global memory) and returns the native handle (the HGLOBAL on
// Windows; natively the block, which the taker then passes to free()).
// From then on this layer no longer counts it.
void* MemoryBlockHandOver(MemoryBlock block);

// Allocates a fixed buffer of size bytes (at least 1 is taken). Returns
// nullptr when the memory cannot be had.
uint8_t* FixedAlloc(size_t size);

// Releases a fixed buffer; nullptr is ignored.
void FixedFree(void* buffer);

// Owns a MemoryBlock and releases it at the end of its scope.
class ScopedMemoryBlock {
public:
    explicit ScopedMemoryBlock(MemoryBlock block = nullptr) : block_(block) {}
    ~ScopedMemoryBlock() { MemoryBlockFree(block_); }
    ScopedMemoryBlock(const ScopedMemoryBlock&) = delete;
    ScopedMemoryBlock& operator=(const ScopedMemoryBlock&) = delete;

    MemoryBlock get() const { return block_; }
    MemoryBlock release()
    {
        MemoryBlock b = block_;
        block_ = nullptr;
        return b;
    }

private:
    MemoryBlock block_;
};

// Keeps a MemoryBlock locked for the life of the object.
class MemoryBlockLockHolder {
public:
    explicit MemoryBlockLockHolder(MemoryBlock block) : block_(block), bytes_(MemoryBlockLock(block)) {}
    ~MemoryBlockLockHolder()
    {
        if (bytes_)
            MemoryBlockUnlock(block_);
    }
    MemoryBlockLockHolder(const MemoryBlockLockHolder&) = delete;
    MemoryBlockLockHolder& operator=(const MemoryBlockLockHolder&) = delete;

    uint8_t* bytes() const { return bytes_; }

private:
    MemoryBlock block_;
    uint8_t* bytes_;
};

// Owns a fixed buffer and releases it at the end of its scope.
class ScopedFixed {
public:
    explicit ScopedFixed(uint8_t* buffer = nullptr) : buffer_(buffer) {}
    ~ScopedFixed() { FixedFree(buffer_); }
    ScopedFixed(const ScopedFixed&) = delete;
    ScopedFixed& operator=(const ScopedFixed&) = delete;

    uint8_t* get() const { return buffer_; }
    uint8_t* release()
    {
        uint8_t* b = buffer_;
        buffer_ = nullptr;
        return b;
    }

private:
    uint8_t* buffer_;
};

// Fault injection for tests and fuzzers. When a gate is set, every
// allocation of this layer asks it first, with the size asked for, and fails
// when it answers false. nullptr removes it.
using AllocationGate = bool (*)(size_t size);
void SetAllocationGate(AllocationGate gate);

// The number of movable blocks and fixed buffers now allocated through this
// layer (blocks handed over are not counted).
long LiveAllocations();
