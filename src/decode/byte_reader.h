// Bounds-checked reads from a source of known length, for the decoders'
// headers and byte streams. Reads past the end give 0 and set a flag; they
// never touch memory outside the source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Values at a fixed offset; 0 when any byte of the value is outside the source.
inline uint8_t ReadU8(const uint8_t* src, size_t size, size_t at)
{
    return at < size ? src[at] : 0;
}

inline uint16_t ReadLE16(const uint8_t* src, size_t size, size_t at)
{
    if (at >= size || size - at < 2)
        return 0;
    return static_cast<uint16_t>(src[at] | (src[at + 1] << 8));
}

inline uint16_t ReadBE16(const uint8_t* src, size_t size, size_t at)
{
    if (at >= size || size - at < 2)
        return 0;
    return static_cast<uint16_t>((src[at] << 8) | src[at + 1]);
}

inline uint32_t ReadLE32(const uint8_t* src, size_t size, size_t at)
{
    if (at >= size || size - at < 4)
        return 0;
    return uint32_t(src[at]) | (uint32_t(src[at + 1]) << 8) | (uint32_t(src[at + 2]) << 16) |
           (uint32_t(src[at + 3]) << 24);
}

inline uint32_t ReadBE32(const uint8_t* src, size_t size, size_t at)
{
    if (at >= size || size - at < 4)
        return 0;
    return (uint32_t(src[at]) << 24) | (uint32_t(src[at + 1]) << 16) | (uint32_t(src[at + 2]) << 8) |
           uint32_t(src[at + 3]);
}

// True when count bytes starting at at lie inside the source.
inline bool InSource(size_t size, size_t at, size_t count)
{
    return at <= size && size - at >= count;
}

// Returns the offset of the first byte equal to value at from or later;
// false when there is none.
inline bool FindByte(const uint8_t* source, size_t sourceSize, size_t from, uint8_t value, size_t* at)
{
    if (from >= sourceSize)
        return false;
    const void* found = memchr(source + from, value, sourceSize - from);
    if (!found)
        return false;
    *at = static_cast<size_t>(static_cast<const uint8_t*>(found) - source);
    return true;
}

// Returns the offset of the 0x00 that ends the comment: the first 0x00 after
// the first 0x1A at from or later. False when either is missing.
inline bool FindCommentEnd(const uint8_t* source, size_t sourceSize, size_t from, size_t* end)
{
    size_t eof = 0;
    return FindByte(source, sourceSize, from, 0x1A, &eof) && FindByte(source, sourceSize, eof + 1, 0x00, end);
}

// A cursor over a source: sequential reads that yield 0 past the end.
struct ByteReader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool overrun = false;  // set once any read went past the end

    ByteReader(const uint8_t* bytes, size_t length, size_t start = 0) : data(bytes), size(length), pos(start) {}

    size_t Remaining() const { return pos < size ? size - pos : 0; }
    bool AtEnd() const { return pos >= size; }

    uint8_t U8()
    {
        if (pos < size)
            return data[pos++];
        overrun = true;
        return 0;
    }
    uint16_t LE16() { return Advance(2) ? ReadLE16(data, size, pos - 2) : 0; }
    uint16_t BE16() { return Advance(2) ? ReadBE16(data, size, pos - 2) : 0; }
    uint32_t LE32() { return Advance(4) ? ReadLE32(data, size, pos - 4) : 0; }
    uint32_t BE32() { return Advance(4) ? ReadBE32(data, size, pos - 4) : 0; }
    // Moves on by count bytes; false (and at the end) when fewer remain.
    bool Skip(size_t count) { return Advance(count); }

private:
    bool Advance(size_t count)
    {
        if (InSource(size, pos, count)) {
            pos += count;
            return true;
        }
        pos = size;
        overrun = true;
        return false;
    }
};
