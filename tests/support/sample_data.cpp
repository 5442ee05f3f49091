#include "support/sample_data.h"

#include <cmath>
#include <cstring>

namespace {

// A small fast generator (xorshift32); never 0.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed * 2654435761u + 1) {}
    uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
};

void PutLE32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed)
{
    Rng r(seed);
    std::vector<uint8_t> v(size);
    for (auto& b : v)
        b = static_cast<uint8_t>(r.Next() >> 24);
    return v;
}

std::vector<uint8_t> TextLikeBytes(size_t size, uint32_t seed)
{
    static const char* const kWords[] = {
        "the",    "of",     "and",     "a",      "to",      "in",     "is",     "archive", "picture", "member",
        "window", "folder", "viewer",  "that",   "it",      "with",   "as",     "for",     "was",     "on",
        "decode", "block",  "stream",  "bytes",  "shows",   "each",   "thumbnail", "list", "which",   "from",
        "colour", "pixel",  "palette", "header", "compressed", "size", "name",  "file",    "open",    "read"};
    Rng r(seed);
    std::vector<uint8_t> v;
    v.reserve(size + 16);
    size_t lineStart = 0;
    while (v.size() < size) {
        const char* w = kWords[(r.Next() >> 8) % (sizeof kWords / sizeof kWords[0])];
        v.insert(v.end(), w, w + strlen(w));
        uint32_t p = (r.Next() >> 8) % 16;
        if (p == 0)
            v.push_back(',');
        else if (p == 1)
            v.push_back('.');
        if (v.size() - lineStart > 60 + (r.Next() >> 8) % 15) {
            v.push_back('\n');
            lineStart = v.size();
        } else {
            v.push_back(' ');
        }
    }
    v.resize(size);
    return v;
}

std::vector<uint8_t> BmpLikeBytes(size_t size, uint32_t seed)
{
    // Square-ish picture whose file comes to about size bytes.
    uint32_t side = static_cast<uint32_t>(std::sqrt(static_cast<double>(size > 54 ? size - 54 : 3) / 3.0));
    if (side < 1)
        side = 1;
    uint32_t width = side, height = side;
    uint32_t stride = (width * 3 + 3) & ~3u;
    std::vector<uint8_t> v(54 + size_t(stride) * height, 0);

    // File and info headers.
    v[0] = 'B';
    v[1] = 'M';
    PutLE32(&v[2], static_cast<uint32_t>(v.size()));
    PutLE32(&v[10], 54);
    PutLE32(&v[14], 40);
    PutLE32(&v[18], width);
    PutLE32(&v[22], height);
    v[26] = 1;
    v[28] = 24;
    PutLE32(&v[34], stride * height);

    // Gradients with a little noise, and flat rectangles.
    Rng r(seed);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = &v[54 + size_t(y) * stride];
        for (uint32_t x = 0; x < width; ++x) {
            bool flat = ((x / 64) + (y / 48)) % 5 == 0;
            uint32_t noise = flat ? 0 : (r.Next() >> 29);
            row[3 * x] = static_cast<uint8_t>(flat ? 200 : (x * 255 / width + noise));
            row[3 * x + 1] = static_cast<uint8_t>(flat ? 180 : (y * 255 / height + noise));
            row[3 * x + 2] = static_cast<uint8_t>(flat ? 40 : ((x + y) * 127 / (width + height) + noise));
        }
    }
    return v;
}
