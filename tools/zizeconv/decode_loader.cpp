// zizeconv decode, the forms that go through the loading pipeline itself:
// OUT.bmp (the 24-bit form, written by the program's own BMP writer) and,
// with --alpha, the 32-bit form as OUT.bgra (the .bgr layout with a fourth,
// alpha, byte per pixel) or, natively, an RGBA OUT.png.
#include <cstdio>

#include "cli.h"
#include "image/bmp.h"
#include "image/classify.h"
#include "image/load_image.h"
#include "platform/file_write.h"

#ifdef ZIZE_HAVE_PNG
#include <png.h>
#endif

namespace {

// Writes the 32-bit form as .bgra; false on a write error.
bool WriteBgra(const DecodedImage& image, const std::wstring& path)
{
    uint8_t header[8];
    for (int i = 0; i < 4; ++i) {
        header[i] = uint8_t(image.width >> (8 * i));
        header[4 + i] = uint8_t(image.height >> (8 * i));
    }
    ScopedFile out(FileCreateForWrite(path.c_str()));
    return out.valid() && FileWriteAll(out.get(), header, sizeof header) &&
           FileWriteAll(out.get(), image.pixels, size_t(image.width) * image.height * 4);
}

#ifdef ZIZE_HAVE_PNG
// Writes the 32-bit form as an 8-bit RGBA PNG; false on any libpng error.
// Holds only plain locals, as libpng reports errors by longjmp.
bool WriteRgbaPng(const DecodedImage& image, const std::wstring& path)
{
    FILE* out = fopen(WideToUtf8(path).c_str(), "wb");
    if (!out)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        fclose(out);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);  // the rows are blue, green, red, alpha
    for (uint32_t y = 0; y < image.height; ++y)
        png_write_row(png, image.pixels + size_t(y) * image.width * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(out) == 0;
}
#endif

// Reads the file and decodes it through the own-decoder road. Returns an
// empty text, or why it failed.
std::string LoadThroughPipeline(const std::wstring& path, int withAlpha, DecodedImage* image)
{
    FileKind kind = KindNone;
    ScopedFile file(OpenAndClassify(path.c_str(), &kind));
    if (!file.valid() || kind <= KindTiff || kind >= KindZip)
        return "not a picture of Zize's own formats";
    int64_t size = FileSize(file.get());
    MemoryBlock block = size > 0 ? ReadFileImage(file.get(), uint64_t(size)) : nullptr;
    if (!block)
        return "cannot read the file";
    if (LoadOwnImageBlock(block, image, withAlpha) != 0)
        return "cannot be decoded";
    return "";
}

}  // namespace

int DecodeThroughLoader(const std::wstring& in, const std::wstring& out, const std::string& ext, bool alpha)
{
#ifdef ZIZE_HAVE_PNG
    bool known = alpha ? ext == ".bgra" || ext == ".png" : ext == ".bmp";
#else
    bool known = alpha ? ext == ".bgra" : ext == ".bmp";
#endif
    if (!known) {
        PrintError("decode: " + WideToUtf8(out) + ": " +
                   (alpha ? "--alpha writes .bgra (or .png natively)" : "cannot write '" + ext + "' files"));
        return 2;
    }

    DecodedImage image{};
    std::string why = LoadThroughPipeline(in, alpha ? 1 : 0, &image);
    if (why.empty()) {
        bool written = false;
        if (ext == ".bmp")
            written = WriteBmpFile(&image, out.c_str()) == 0;
        else if (ext == ".bgra")
            written = WriteBgra(image, out);
#ifdef ZIZE_HAVE_PNG
        else
            written = WriteRgbaPng(image, out);
#endif
        if (!written)
            why = "cannot write " + WideToUtf8(out);
        ReleaseDecodedImage(&image);
    }
    if (!why.empty()) {
        PrintError("decode: " + WideToUtf8(in) + ": " + why);
        return 1;
    }
    return 0;
}
