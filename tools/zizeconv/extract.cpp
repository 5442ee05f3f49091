// zizeconv extract: one ZIP or LZH member into a file, whole or its first bytes as
// the thumbnail worker reads them.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"
#include "archive/zip_directory.h"
#include "image/classify.h"
#include "archive/zip_extract.h"
#include "cli.h"

namespace {

// The compressed bytes read for a member's first bytes, as for thumbnails.
constexpr uint32_t kHeadCompressedLimit = 768;

// Parses a whole unsigned decimal number; false when it is not one.
bool ParseNumber(const std::wstring& text, uint32_t* value)
{
    std::string s = WideToUtf8(text);
    if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long long v = std::strtoull(s.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull)
        return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

// Writes the bytes to path; false when the file cannot be written.
bool WriteFile(const std::wstring& path, const uint8_t* bytes, size_t size)
{
    std::ofstream out(std::filesystem::u8path(WideToUtf8(path)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

// True when the archive's first bytes classify as LZH; leaves the position anywhere.
bool IsLzh(const std::wstring& path, FileHandle file)
{
    uint8_t header[kClassifyHeaderSize] = {};
    if (!FileSeek(file, 0) || FileRead(file, header, sizeof header) != static_cast<int64_t>(sizeof header))
        return false;
    return ClassifyHeader(path.c_str(), header) == KindLzh;
}

}  // namespace

int CmdExtract(const Args& args)
{
    // ARCHIVE INDEX OUT, and --head N anywhere.
    Args plain;
    uint32_t head = 0;
    bool keepDamaged = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--keep-damaged") {
            keepDamaged = true;
        } else if (args[i] == L"--head") {
            if (i + 1 >= args.size() || !ParseNumber(args[i + 1], &head) || head == 0) {
                PrintError("extract: --head needs a number above 0");
                return 2;
            }
            ++i;
        } else {
            plain.push_back(args[i]);
        }
    }
    uint32_t index = 0;
    if (plain.size() != 3 || !ParseNumber(plain[1], &index)) {
        PrintError("extract: give ARCHIVE INDEX OUT");
        return 2;
    }

    ArchiveReader reader;
    reader.file = FileOpenRead(plain[0].c_str());
    if (reader.file == kInvalidFile) {
        PrintError(WideToUtf8(plain[0]) + ": cannot open the file");
        return 1;
    }
    bool lzh = IsLzh(plain[0], reader.file);
    int r = lzh ? ReadLzhDirectory(&reader, reader.file, 0) : ReadZipDirectory(&reader, reader.file, 0);
    if (r != 0 || index >= reader.count) {
        PrintError(WideToUtf8(plain[0]) + (r != 0 ? ": cannot read the archive directory (code " +
                                                                std::to_string(r) + ")"
                                                          : ": no member " + std::to_string(index)));
        CloseArchive(&reader);
        return 1;
    }

    // A size that the compressed data cannot give is damage: refused
    // before anything is allocated or decoded.
    const ArchiveEntry& entry = reader.entries[index];
    if (entry.tooLarge) {
        PrintError(WideToUtf8(plain[0]) + ": member " + std::to_string(index) + " is too large: 4 GB or more");
        CloseArchive(&reader);
        return 1;
    }
    if (lzh ? !LzhMemberSizePossible(entry) : !ZipMemberSizePossible(entry)) {
        PrintError(WideToUtf8(plain[0]) + ": member " + std::to_string(index) + " claims " +
                   std::to_string(entry.uncompressedSize) + " bytes, more than its " +
                   std::to_string(entry.compressedSize) + " compressed bytes can hold");
        CloseArchive(&reader);
        return 1;
    }

    // The member into memory, then into the file.
    uint32_t size = entry.uncompressedSize;
    uint32_t out = head && head < size ? head : size;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[out ? out : 1]);
    if (!bytes) {
        PrintError("extract: out of memory");
        CloseArchive(&reader);
        return 1;
    }
    r = lzh ? ExtractLzhMember(&reader, index, bytes.get(), head ? kHeadCompressedLimit : 0, head)
            : ExtractZipMember(&reader, index, bytes.get(), head ? kHeadCompressedLimit : 0, head);
    CloseArchive(&reader);

    // Bytes that do not match the stored checksum are written only when asked for.
    const bool damaged = (lzh ? r == kLzhExtractChecksumMismatch : r == kZipExtractChecksumMismatch);
    const std::string member = WideToUtf8(plain[0]) + ": member " + std::to_string(index);
    if (damaged && !keepDamaged) {
        PrintError(member + ": checksum mismatch (--keep-damaged writes its bytes all the same)");
        return 1;
    }
    if (r != 0 && !damaged) {
        PrintError(member + " cannot be extracted (code " + std::to_string(r) + ")");
        return 1;
    }
    if (!WriteFile(plain[2], bytes.get(), out)) {
        PrintError(WideToUtf8(plain[2]) + ": cannot write the file");
        return 1;
    }
    if (damaged)
        PrintError(member + ": checksum mismatch, its bytes kept as --keep-damaged asks");
    return 0;
}
