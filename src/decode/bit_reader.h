// A most-significant-bit-first reader over a byte buffer, with a 32-bit
// big-endian cache refilled four bytes at a time. The Pi, PIC and P2 decoders
// and the LZH decoder read their bit streams through it.
//
// The reader knows where its buffer ends: past the end it yields zero bits
// and never reads outside the buffer. A word is loaded when the taken bits
// reach or cross the end of the current one, never earlier; the loads are
// the only place where the end is checked. Counts above 32 are not allowed.
#pragma once

#include <cstddef>
#include <cstdint>

struct BitReader {
    uint32_t cache = 0;     // the current word; its top (32 - bitsUsed) bits are the next bits
    uint32_t bitsUsed = 0;  // bits of the current word already taken, 0 to 31 between calls
    size_t nextWord = 0;    // offset in data of the next 4-byte group to load
    const uint8_t* data = nullptr;
    size_t size = 0;        // bytes readable at data

    // Starts reading at data: loads the first word, as GetBits(32) does.
    void Start(const uint8_t* bytes, size_t length)
    {
        cache = 0;
        bitsUsed = 0;
        nextWord = 0;
        data = bytes;
        size = length;
        GetBits(32);
    }

    // Returns the next n bits (0 to 32), the first in bit n-1, and takes them.
    // The top bits come through a 64-bit shift, so n = 0 gives 0 without a
    // branch of its own.
    uint32_t GetBits(uint32_t n)
    {
        uint32_t c = bitsUsed + n;
        uint32_t result = Top(cache, n);
        if (c < 32) {
            cache <<= n;
            bitsUsed = c;
            return result;
        }
        uint32_t w = LoadWord();
        nextWord += 4;
        result |= static_cast<uint32_t>(static_cast<uint64_t>(w) >> (64 - c));
        cache = w << (c - 32);
        bitsUsed = c - 32;
        return result;
    }

    // Returns what GetBits(n) would return (n from 0 to 32) without taking anything.
    uint32_t PeekBits(uint32_t n) const
    {
        uint32_t c = bitsUsed + n;
        uint32_t result = Top(cache, n);
        if (c <= 32)
            return result;
        return result | (LoadWord() >> (64 - c));
    }

    // Drops n bits (0 to 32).
    void SkipBits(uint32_t n)
    {
        uint32_t c = bitsUsed + n;
        if (c < 32) {
            cache <<= n;
            bitsUsed = c;
            return;
        }
        uint32_t w = LoadWord();
        nextWord += 4;
        cache = w << (c - 32);
        bitsUsed = c - 32;
    }

    // True once more bits have been taken than the buffer holds.
    bool Overrun() const
    {
        if (nextWord < 4)
            return false;
        uint64_t taken = (static_cast<uint64_t>(nextWord) - 4) * 8 + bitsUsed;
        return taken > static_cast<uint64_t>(size) * 8;
    }

private:
    // The top n bits (0 to 32) of word, as a value.
    static uint32_t Top(uint32_t word, uint32_t n)
    {
        return static_cast<uint32_t>(static_cast<uint64_t>(word) >> (32 - n));
    }

    // The big-endian word at nextWord; bytes past the end read as 0.
    uint32_t LoadWord() const
    {
        if (nextWord + 4 <= size) {
            const uint8_t* p = data + nextWord;
            return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        }
        return LoadTail();
    }

    // The word at nextWord when it reaches past the end: the bytes still in
    // the buffer, then zeros.
    uint32_t LoadTail() const
    {
        uint32_t w = 0;
        for (size_t i = 0; i < 4; ++i) {
            size_t at = nextWord + i;
            w = (w << 8) | (at < size ? data[at] : 0u);
        }
        return w;
    }
};
