#include "platform/codepage.h"

#ifdef _WIN32
#include <windows.h>

int AnsiToWide(const char* src, int srcLength, wchar_t* dst, int dstCount)
{
    if (!src || srcLength == 0 || srcLength < -1 || dstCount < 0)
        return 0;
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, src, srcLength, dst, dstCount);
}

#else
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

constexpr wchar_t kReplacement = 0x30FB;  // KATAKANA MIDDLE DOT

// One converter per thread: iconv descriptors keep state and are not shared.
class Cp932Converter {
public:
    Cp932Converter() : cd_(iconv_open("WCHAR_T", "CP932")) {}
    ~Cp932Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts one character starting at in (1 or 2 bytes). Returns the bytes
    // consumed, 0 when they form no character, and stores the character.
    size_t One(const char* in, size_t available, wchar_t* out)
    {
        size_t tryLengths[2] = {1, 2};
        for (size_t len : tryLengths) {
            if (len > available)
                break;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            char* inPtr = const_cast<char*>(in);
            size_t inLeft = len;
            wchar_t buffer[4];
            char* outPtr = reinterpret_cast<char*>(buffer);
            size_t outLeft = sizeof buffer;
            size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            size_t produced = (sizeof buffer - outLeft) / sizeof(wchar_t);
            if (r != static_cast<size_t>(-1) && inLeft == 0 && produced == 1) {
                *out = buffer[0];
                return len;
            }
            // EINVAL: an incomplete lead byte, try with its trail byte.
            if (!(r == static_cast<size_t>(-1) && errno == EINVAL))
                break;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

}  // namespace

int AnsiToWide(const char* src, int srcLength, wchar_t* dst, int dstCount)
{
    if (!src || srcLength == 0 || srcLength < -1 || dstCount < 0)
        return 0;
    size_t length = srcLength == -1 ? strlen(src) + 1 : static_cast<size_t>(srcLength);

    thread_local Cp932Converter converter;
    size_t produced = 0;
    size_t pos = 0;
    while (pos < length) {
        wchar_t c;
        unsigned char b = static_cast<unsigned char>(src[pos]);
        size_t used;
        if (b < 0x80) {
            c = static_cast<wchar_t>(b);
            used = 1;
        } else if (!converter.ok() || (used = converter.One(src + pos, length - pos, &c)) == 0) {
            c = kReplacement;
            used = 1;
        }
        if (dstCount > 0) {
            if (produced >= static_cast<size_t>(dstCount))
                return 0;
            dst[produced] = c;
        }
        ++produced;
        pos += used;
    }
    return static_cast<int>(produced);
}
#endif
