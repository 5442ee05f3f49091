// zizeconv p2: decodes a P2 file with the own decoder and writes the picture
// in the raw ".bgr" form: width and height as 32-bit little-endian numbers,
// then the rows from the top, blue, green, red per pixel.
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "cli.h"
#include "decode/p2.h"
#include "platform/file.h"

namespace {

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>* bytes)
{
    ScopedFile file(FileOpenRead(path.c_str()));
    if (!file.valid())
        return false;
    int64_t size = FileSize(file.get());
    if (size < 0 || uint64_t(size) > (uint64_t(1) << 31))
        return false;
    bytes->resize(static_cast<size_t>(size));
    return size == 0 || FileRead(file.get(), bytes->data(), bytes->size()) == size;
}

// Writes the .bgr form; false when the file cannot be written.
bool WriteBgr(const std::wstring& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels)
{
#ifdef _WIN32
    FILE* f = _wfopen(path.c_str(), L"wb");
#else
    FILE* f = std::fopen(WideToUtf8(path).c_str(), "wb");
#endif
    if (!f)
        return false;
    uint8_t header[8];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<uint8_t>(width >> (8 * i));
        header[4 + i] = static_cast<uint8_t>(height >> (8 * i));
    }
    bool ok = std::fwrite(header, 1, 8, f) == 8 &&
              std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int CmdP2(const Args& args)
{
    if (args.size() != 2) {
        PrintError("p2: usage: p2 FILE OUT.bgr");
        return 2;
    }
    std::vector<uint8_t> source;
    if (!ReadWholeFile(args[0], &source)) {
        PrintError(WideToUtf8(args[0]) + ": cannot read the file");
        return 1;
    }

    // Size, then the pixels.
    uint32_t width = 0, height = 0;
    if (!GetP2Size(source.data(), source.size(), &width, &height) || width == 0 || height == 0) {
        PrintError(WideToUtf8(args[0]) + ": not a P2 picture");
        return 1;
    }
    std::vector<uint8_t> pixels;
    uint64_t bytes = uint64_t(width) * height * 3;
    if (bytes > (uint64_t(1) << 32)) {
        PrintError(WideToUtf8(args[0]) + ": picture too large");
        return 1;
    }
    pixels.resize(static_cast<size_t>(bytes));
    int depth = DecodeP2(source.data(), source.size(), pixels.data(), pixels.size(), 0);
    if (depth < 0) {
        PrintError(WideToUtf8(args[0]) + ": cannot decode (depth not 8, 15 or 24)");
        return 1;
    }
    if (!WriteBgr(args[1], width, height, pixels)) {
        PrintError(WideToUtf8(args[1]) + ": cannot write the file");
        return 1;
    }
    PrintLine(WideToUtf8(args[0]) + ": " + std::to_string(width) + " x " + std::to_string(height) + ", " +
              std::to_string(depth) + " bits");
    return 0;
}
