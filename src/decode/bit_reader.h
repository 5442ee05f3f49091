// A most-significant-bit-first reader over a byte buffer, with a 32-bit
// big-endian cache refilled four bytes at a time. The Pi, PIC and P2 decoders
// and the LZH decoder read their bit streams through it.
//
// The reader knows where its buffer ends: past the end it yields zero bits
// and never reads outside the buffer. A word is loaded when the taken bits
// reach or cross the end of the current one, never earlier; the loads are
// the only place where the end is checked.
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

    // Returns the next n bits (1 to 32), the first in bit n-1, and takes them.
    // GetBits(0) returns 0.
    uint32_t GetBits(uint32_t n)
    {
        if (n == 0)
            return 0;
        uint32_t c = bitsUsed + n;
        uint32_t result = cache >> (32 - n);
        if (c < 32) {
            cache <<= n;
            bitsUsed = c;
            return result;
        }
        uint32_t w = LoadWord();
        nextWord += 4;
        if (c == 32) {
            cache = w;
            bitsUsed = 0;
            return result;
        }
        result |= w >> (64 - c);
        cache = w << (c - 32);
        bitsUsed = c - 32;
        return result;
    }

    // Returns what GetBits(n) would return (n from 1 to 32) without taking anything.
    uint32_t PeekBits(uint32_t n) const
    {
        if (n == 0)
            return 0;
        uint32_t c = bitsUsed + n;
        uint32_t result = cache >> (32 - n);
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
        cache = c == 32 ? w : w << (c - 32);
        bitsUsed = c - 32;
    }

    // True once more bits have been taken than the buffer holds.
    bool Overrun() const
    {
        uint64_t taken = (static_cast<uint64_t>(nextWord) - 4) * 8 + bitsUsed;
        return nextWord >= 4 && taken > static_cast<uint64_t>(size) * 8;
    }

private:
    // The big-endian word at nextWord; bytes past the end read as 0.
    uint32_t LoadWord() const
    {
        if (nextWord < size && size - nextWord >= 4) {
            const uint8_t* p = data + nextWord;
            return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        }
        uint32_t w = 0;
        for (size_t i = 0; i < 4; ++i) {
            size_t at = nextWord + i;
            w = (w << 8) | (at < size && at >= nextWord ? data[at] : 0u);
        }
        return w;
    }
};
