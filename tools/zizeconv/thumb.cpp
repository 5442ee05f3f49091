// zizeconv thumb: the 80 x 80 thumbnail of a picture in one of the own
// formats, made by the thumbnail loader's own-decoder road, written as .bgr
// or .bmp by the output's extension.
#include <cwctype>

#include "cli.h"
#include "image/bmp.h"
#include "image/classify.h"
#include "image/load_image.h"
#include "platform/file_write.h"

namespace {

// The output's extension in lower case, "" when it has none.
std::wstring LowerExtension(const std::wstring& path)
{
    std::wstring ext = FindPathExtension(path.c_str());
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

// Writes the thumbnail in the .bgr form: width and height as LE32, then the
// rows. Returns false when the file cannot be written.
bool WriteThumbBgr(const ThumbnailBlock& thumb, const std::wstring& path)
{
    uint8_t head[8] = {};
    head[0] = head[4] = static_cast<uint8_t>(kThumbnailSide);
    ScopedFile out(FileCreateForWrite(path.c_str()));
    return out.valid() && FileWriteAll(out.get(), head, sizeof head) &&
           FileWriteAll(out.get(), thumb.pixels, sizeof thumb.pixels);
}

}  // namespace

int CmdThumb(const Args& args)
{
    if (args.size() != 2) {
        PrintError("thumb: usage: thumb FILE OUT.bgr|OUT.bmp");
        return 2;
    }
    const std::wstring& in = args[0];
    const std::wstring& outPath = args[1];
    std::wstring ext = LowerExtension(outPath);
    if (ext != L".bgr" && ext != L".bmp") {
        PrintError("thumb: the output must end in .bgr or .bmp");
        return 2;
    }

    // The loader's steps: classify, read the whole file, decode and scale.
    FileKind kind = KindNone;
    ScopedFile file(OpenAndClassify(in.c_str(), &kind));
    if (!file.valid()) {
        PrintError(WideToUtf8(in) + ": not a picture Zize reads");
        return 1;
    }
    if (kind <= KindTiff || kind >= KindZip) {
        PrintError(WideToUtf8(in) + ": " + FileKindName(kind) + " is not one of the own formats");
        return 1;
    }
    int64_t size = FileSize(file.get());
    MemoryBlock block = size > 0 ? ReadThumbnailImage(in.c_str(), file.get(), uint64_t(size), &kind) : nullptr;
    ThumbnailBlock thumb;
    ImageInfo info{};
    if (!block || LoadOwnImageThumbnail(block, &thumb, &info) != 0) {
        PrintError(WideToUtf8(in) + ": cannot be decoded");
        return 1;
    }

    // 80 rows of 240 bytes are already the 24-bit form: no padding.
    bool written = ext == L".bgr" ? WriteThumbBgr(thumb, outPath) : [&] {
        DecodedImage image{kThumbnailSide, kThumbnailSide, 24, thumb.pixels};
        return WriteBmpFile(&image, outPath.c_str()) == 0;
    }();
    if (!written) {
        PrintError(WideToUtf8(outPath) + ": cannot be written");
        return 1;
    }
    PrintLine(WideToUtf8(in) + ": " + std::to_string(info.width) + " x " + std::to_string(info.height) + ", " +
              std::to_string(info.bitsPerPixel) + " bits -> " + WideToUtf8(outPath));
    return 0;
}
