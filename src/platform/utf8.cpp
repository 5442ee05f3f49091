#include "platform/utf8.h"

#include <cstdint>

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        // UTF-16 surrogate pairs (Windows) become one code point.
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            uint32_t low = static_cast<uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0x110000 || (c >= 0xD800 && c < 0xE000))
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

namespace {

// Decodes the character at src[i]; returns its code point (U+FFFD when it
// is not well formed) and sets *length to the bytes it takes (1 then).
uint32_t DecodeOne(const uint8_t* src, size_t size, size_t i, size_t* length)
{
    *length = 1;
    const uint8_t b = src[i];
    if (b < 0x80)
        return b;
    size_t extra;
    uint32_t c, least;
    if (b >= 0xC2 && b < 0xE0) {
        extra = 1, c = b & 0x1F, least = 0x80;
    } else if (b >= 0xE0 && b < 0xF0) {
        extra = 2, c = b & 0x0F, least = 0x800;
    } else if (b >= 0xF0 && b < 0xF5) {
        extra = 3, c = b & 0x07, least = 0x10000;
    } else {
        return 0xFFFD;
    }
    if (size - i <= extra)
        return 0xFFFD;
    for (size_t k = 1; k <= extra; ++k) {
        if ((src[i + k] & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (src[i + k] & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
        return 0xFFFD;
    *length = extra + 1;
    return c;
}

}  // namespace

size_t Utf8ToWideUnits(const char* src, size_t size, wchar_t* dst, size_t capacity)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(src);
    size_t units = 0;
    auto put = [&](uint32_t unit) {
        if (units < capacity)
            dst[units] = static_cast<wchar_t>(unit);
        ++units;
    };
    for (size_t i = 0; i < size;) {
        size_t length;
        uint32_t c = DecodeOne(bytes, size, i, &length);
        i += length;
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return units;
}

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring out(Utf8ToWideUnits(text.data(), text.size(), nullptr, 0), L'\0');
    Utf8ToWideUnits(text.data(), text.size(), &out[0], out.size());
    return out;
}
