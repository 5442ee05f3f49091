// zizeconv decode FILE OUT: decodes a picture of one of Zize's own formats
// and writes it as OUT's extension asks: ".bgr" (width and height as 32-bit
// little-endian numbers, then rows of blue, green, red from the top) or, in
// the native build, ".png".
#include <cstdio>
#include <new>
#include <vector>

#include "cli.h"
#include "own_picture.h"
#include "platform/file.h"

#ifdef ZIZE_HAVE_PNG
#include <png.h>
#endif

namespace {

// Pictures whose 24-bit pixels would pass this are refused rather than
// allocated: no own format needs more, and hostile headers ask for far more.
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;

// Reads the whole file into bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::unique_ptr<uint8_t[]>* bytes, size_t* size, std::string* why)
{
    ScopedFile file(FileOpenRead(path.c_str()));
    if (!file.valid()) {
        *why = "cannot open the file";
        return false;
    }
    int64_t length = FileSize(file.get());
    if (length < 0 || uint64_t(length) > SIZE_MAX - 1) {
        *why = "cannot read the file";
        return false;
    }
    bytes->reset(new (std::nothrow) uint8_t[size_t(length) + 1]);
    if (!*bytes) {
        *why = "not enough memory for the file";
        return false;
    }
    if (FileRead(file.get(), bytes->get(), size_t(length)) != length) {
        *why = "cannot read the file";
        return false;
    }
    *size = size_t(length);
    return true;
}

// Returns the extension of path in lower case ("" when it has none).
std::string LowerExtension(const std::wstring& path)
{
    size_t dot = path.find_last_of(L'.');
    size_t slash = path.find_last_of(L"/\\");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && slash > dot))
        return "";
    std::string ext;
    for (size_t i = dot; i < path.size(); ++i) {
        wchar_t c = path[i];
        ext += char(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    return ext;
}

// Opens a file for writing (creating or truncating it); nullptr on failure.
FILE* OpenForWriting(const std::wstring& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wb");
#else
    return fopen(WideToUtf8(path).c_str(), "wb");
#endif
}

void RemoveFile(const std::wstring& path)
{
#ifdef _WIN32
    _wremove(path.c_str());
#else
    remove(WideToUtf8(path).c_str());
#endif
}

// Writes the picture in the .bgr form; false on a write error.
bool WriteBgr(FILE* out, const OwnPicture& picture)
{
    uint8_t header[8];
    for (int i = 0; i < 4; ++i) {
        header[i] = uint8_t(picture.width >> (8 * i));
        header[4 + i] = uint8_t(picture.height >> (8 * i));
    }
    size_t bytes = size_t(picture.width) * picture.height * 3;
    return fwrite(header, 1, 8, out) == 8 && fwrite(picture.bgr.get(), 1, bytes, out) == bytes;
}

#ifdef ZIZE_HAVE_PNG
// Writes the picture as an 8-bit RGB PNG; false on any libpng error. Holds
// only plain locals, as libpng reports errors by longjmp.
bool WritePng(FILE* out, const OwnPicture& picture)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);  // the rows are blue, green, red
    const size_t stride = size_t(picture.width) * 3;
    for (uint32_t y = 0; y < picture.height; ++y)
        png_write_row(png, picture.bgr.get() + y * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
#endif

// Writes the picture to path in the format of its extension. On failure the
// file is removed and why says what went wrong.
bool WritePicture(const std::wstring& path, const std::string& ext, const OwnPicture& picture, std::string* why)
{
    FILE* out = OpenForWriting(path);
    if (!out) {
        *why = "cannot create " + WideToUtf8(path);
        return false;
    }
    bool written = false;
#ifdef ZIZE_HAVE_PNG
    if (ext == ".png")
        written = WritePng(out, picture);
#endif
    if (ext == ".bgr")
        written = WriteBgr(out, picture);
    if (fclose(out) != 0)
        written = false;
    if (!written) {
        RemoveFile(path);
        *why = "cannot write " + WideToUtf8(path);
    }
    return written;
}

}  // namespace

std::string LoadOwnPicture(const std::wstring& path, bool decode, OwnPicture* picture)
{
    std::string why;
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    if (!ReadWholeFile(path, &bytes, &size, &why))
        return why;

    // Detect, size, allocate, decode: the road of the loading pipeline.
    ImageDecoder decoder;
    picture->type = DetectDecoderType(&decoder, bytes.get(), size);
    if (picture->type == DecoderNone)
        return "not a picture of Zize's own formats";
    picture->sized = GetImageSize(&decoder, &picture->width, &picture->height);
    if (!picture->sized)
        return std::string("no picture size from the ") + DecoderTypeName(picture->type) + " header";
    if (picture->width == 0 || picture->height == 0)
        return "the picture is empty";
    if (!decode)
        return "";
    uint64_t pixels = uint64_t(picture->width) * picture->height;
    if (pixels > kMaxPixelBytes / 3)
        return "the picture is too large";
    size_t dstSize = size_t(pixels) * 3;
    picture->bgr.reset(new (std::nothrow) uint8_t[dstSize]);
    if (!picture->bgr)
        return "not enough memory for the picture";
    picture->depth = DecodeImage(&decoder, picture->bgr.get(), dstSize, 0);
    if (picture->depth == 0)
        return std::string("the ") + DecoderTypeName(picture->type) + " decoder cannot decode it";
    return "";
}

int CmdDecode(const Args& args)
{
    // --alpha asks for the 32-bit form; it and .bmp go through the loader.
    Args rest;
    bool alpha = false;
    for (const std::wstring& a : args) {
        if (a == L"--alpha")
            alpha = true;
        else
            rest.push_back(a);
    }
    if (rest.size() != 2) {
        PrintError("decode: usage: decode FILE OUT [--alpha]");
        return 2;
    }
    const std::wstring& in = rest[0];
    const std::wstring& out = rest[1];

    // The output format comes from OUT's extension, checked before any work.
    std::string ext = LowerExtension(out);
    if (alpha || ext == ".bmp" || ext == ".bgra")
        return DecodeThroughLoader(in, out, ext, alpha);
#ifdef ZIZE_HAVE_PNG
    bool known = ext == ".bgr" || ext == ".png";
#else
    bool known = ext == ".bgr";
#endif
    if (!known) {
        PrintError("decode: " + WideToUtf8(out) + ": cannot write '" + ext + "' files (use .bgr" +
#ifdef ZIZE_HAVE_PNG
                   " or .png"
#endif
                   ")");
        return 2;
    }

    OwnPicture picture;
    std::string why = LoadOwnPicture(in, true, &picture);
    if (why.empty())
        WritePicture(out, ext, picture, &why);
    if (!why.empty()) {
        PrintError("decode: " + WideToUtf8(in) + ": " + why);
        return 1;
    }
    return 0;
}
