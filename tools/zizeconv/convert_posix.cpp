// zizeconv convert, the native build: POSIX files and folders, the own
// decoders only, PNG through libpng.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "convert.h"
#include "image/load_image.h"
#include "platform/utf8.h"

namespace {

std::string Narrow(const std::wstring& path)
{
    return WideToUtf8(path);
}

}  // namespace

bool StatPath(const std::wstring& path, PathInfo* info, std::string* why)
{
    struct stat st;
    if (stat(Narrow(path).c_str(), &st) != 0) {
        *why = errno == ELOOP ? "a loop of links" : strerror(errno);
        return false;
    }
    info->type = S_ISREG(st.st_mode) ? PathType::File : S_ISDIR(st.st_mode) ? PathType::Folder : PathType::Other;
    info->volume = uint64_t(st.st_dev);
    info->id = uint64_t(st.st_ino);
    return true;
}

bool ListFolder(const std::wstring& path, std::vector<FolderEntry>* entries, std::string* why)
{
    DIR* dir = opendir(Narrow(path).c_str());
    if (!dir) {
        *why = strerror(errno);
        return false;
    }
    errno = 0;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // A name that is not UTF-8 cannot be reached again through wide text.
        std::wstring wide = Utf8ToWide(name);
        entries->push_back({wide, WideToUtf8(wide) == name});
    }
    bool ok = errno == 0;
    if (!ok)
        *why = strerror(errno);
    closedir(dir);
    return ok;
}

bool MakeFolders(const std::wstring& path)
{
    std::string p = Narrow(path);
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i < p.size() && p[i] != '/')
            continue;
        std::string part = p.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExistingFile(const std::wstring& path)
{
    struct stat st;
    return stat(Narrow(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RenameReplacing(const std::wstring& from, const std::wstring& to)
{
    return rename(Narrow(from).c_str(), Narrow(to).c_str()) == 0;
}

void RemoveFileQuietly(const std::wstring& path)
{
    unlink(Narrow(path).c_str());
}

bool StderrIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

bool StartConvertServices()
{
    return true;
}

void StopConvertServices() {}

bool BuildReadsKind(FileKind kind)
{
    return kind >= KindTga && kind < KindZip;
}

int LoadPictureBlock(const std::wstring&, MemoryBlock block, DecodedImage* image, int withAlpha)
{
    return LoadOwnImageBlock(block, image, withAlpha);
}

namespace {

// Writes the rows through libpng; false on any libpng error. Holds only
// plain locals, as libpng reports errors by longjmp.
bool WritePngRows(FILE* out, const DecodedImage& image, bool alpha)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, image.width, image.height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);  // the rows are blue, green, red (, alpha)
    const size_t stride = alpha ? size_t(image.width) * 4 : size_t(Stride24(image.width));
    for (uint32_t y = 0; y < image.height; ++y)
        png_write_row(png, image.pixels + y * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePngFile(const DecodedImage& image, bool alpha, const std::wstring& path)
{
    FILE* out = fopen(Narrow(path).c_str(), "wb");
    if (!out)
        return false;
    bool written = WritePngRows(out, image, alpha);
    if (fclose(out) != 0)
        written = false;
    return written;
}

std::wstring MemberNameFrom932(const wchar_t* readerName)
{
    return readerName;
}

std::wstring OutputFolderPath(const std::wstring& path)
{
    return path;
}
