// Archives as today's tools write them: Zip64 records and sizes, and UTF-8
// names by flag bit 11 or by the Info-ZIP Unicode Path field.
#include "archive/zip_fields.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/zip_directory.h"
#include "archive/zip_extract.h"
#include "platform/codepage.h"
#include "support/sample_data.h"
#include "support/zip_builder.h"

namespace {

// An archive in memory with its directory read.
struct Archive {
    explicit Archive(const std::vector<uint8_t>& b) : bytes(b)
    {
        reader.file = FileOpenMemory(bytes.data(), bytes.size());
        directory = ReadZipDirectory(&reader, reader.file, 0);
    }
    ~Archive() { CloseArchive(&reader); }

    // Extracts member index whole; the code, and the bytes in *out.
    int Extract(uint32_t index, std::vector<uint8_t>* out)
    {
        out->assign(index < reader.count ? reader.entries[index].uncompressedSize : 0, 0xCD);
        return ExtractZipMember(&reader, index, out->data(), 0, 0);
    }

    std::vector<uint8_t> bytes;
    ArchiveReader reader;
    int directory;
};

// Offset of the first record with the signature PK c d at or after from.
size_t FindRecord(const std::vector<uint8_t>& zip, uint8_t c, uint8_t d, size_t from = 0)
{
    for (size_t i = from; i + 4 <= zip.size(); ++i)
        if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == c && zip[i + 3] == d)
            return i;
    return SIZE_MAX;
}

void Put64At(std::vector<uint8_t>* v, size_t at, uint64_t x)
{
    for (int b = 0; b < 8; ++b)
        (*v)[at + b] = uint8_t(x >> (8 * b));
}

// Streamed Zip64 members, Zip64 sizes and offsets in the directory, and a
// Zip64 end record that the end record only points to: all read with the
// members' own sizes and bytes.
TEST(ZipFields, Zip64MembersAndEndRecordRead)
{
    const std::vector<uint8_t> text = TextLikeBytes(5000, 1), small = {1, 2, 3};
    ZipMember streamed = MakeZipMember("streamed.txt", text, 8);
    streamed.streamed = true;
    ZipMember streamedStored = MakeZipMember("s.bin", small, 0);
    streamedStored.streamed = true;
    ZipMember large = MakeZipMember("large.txt", text, 8);
    large.zip64 = true;
    ZipMember plain = MakeZipMember("plain.bin", small, 0);
    ZipOptions end64;
    end64.zip64End = true;
    for (const ZipOptions& options : {ZipOptions(), end64}) {
        Archive a(BuildZip({streamed, streamedStored, large, plain}, options));
        ASSERT_EQ(kZipDirOk, a.directory) << options.zip64End;
        ASSERT_EQ(4u, a.reader.count);
        const std::vector<uint8_t>* want[] = {&text, &small, &text, &small};
        for (uint32_t i = 0; i < 4; ++i) {
            const ArchiveEntry& e = a.reader.entries[i];
            EXPECT_EQ(want[i]->size(), e.uncompressedSize) << i;
            EXPECT_FALSE(e.tooLarge) << i;
            std::vector<uint8_t> out;
            EXPECT_EQ(kZipExtractOk, a.Extract(i, &out)) << options.zip64End << " " << i;
            EXPECT_TRUE(out == *want[i]) << i;
        }
        EXPECT_EQ(45u, a.reader.entries[0].versionNeeded);
        EXPECT_STREQ(L"large.txt", a.reader.entries[2].name);
    }

    // The Zip64 end record of a second disk is a spanned archive.
    std::vector<uint8_t> spanned = BuildZip({plain}, end64);
    spanned[FindRecord(spanned, 6, 6) + 16] = 1;
    Archive s(spanned);
    EXPECT_EQ(kZipDirSpanned, s.directory);

    // A locator that points to no Zip64 end record leaves the end record's
    // own values, here good ones.
    std::vector<uint8_t> stray = BuildZip({plain});
    size_t endAt = FindRecord(stray, 5, 6);
    const uint8_t locator[20] = {'P', 'K', 6, 7, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    stray.insert(stray.begin() + static_cast<std::ptrdiff_t>(endAt), locator, locator + 20);
    Archive t(stray);
    ASSERT_EQ(kZipDirOk, t.directory);
    EXPECT_EQ(1u, t.reader.count);
}

// A Zip64 size past 32 bits cannot be held in memory: listed as too large
// and refused before anything is read; a Zip64 local size that disagrees
// with the directory is a mismatch.
TEST(ZipFields, Zip64SizesBeyondMemoryOrDisagreeingAreRefused)
{
    const std::vector<uint8_t> text = TextLikeBytes(300, 2);
    ZipMember m = MakeZipMember("huge.bin", text, 8);
    m.zip64 = true;
    std::vector<uint8_t> zip = BuildZip({m, MakeZipMember("next", {7}, 0)});
    std::vector<uint8_t> huge = zip;
    size_t central = FindRecord(huge, 1, 2);
    Put64At(&huge, central + 46 + 8 + 4, 5000000000ull);  // the Zip64 block's uncompressed size
    Archive a(huge);
    ASSERT_EQ(kZipDirOk, a.directory);
    ASSERT_EQ(2u, a.reader.count);
    EXPECT_TRUE(a.reader.entries[0].tooLarge);
    EXPECT_EQ(0xFFFFFFFFu, a.reader.entries[0].uncompressedSize);
    EXPECT_EQ(kZipExtractTooLarge, ExtractZipMember(&a.reader, 0, nullptr, 768, 18));
    EXPECT_STREQ(L"next", a.reader.entries[1].name);

    std::vector<uint8_t> local = zip;
    Put64At(&local, 30 + 8 + 4, 301);  // the local Zip64 block's uncompressed size
    Archive b(local);
    ASSERT_EQ(kZipDirOk, b.directory);
    std::vector<uint8_t> out;
    EXPECT_EQ(kZipExtractMismatch, b.Extract(0, &out));
}

// Bit 11 names are UTF-8; a Unicode Path field names the member when its
// CRC-32 is that of the stored name; other names are code page 932.
TEST(ZipFields, Utf8NamesByFlagAndByUnicodePathField)
{
    const std::vector<uint8_t> data = {1, 2, 3, 4};
    const std::string sjis = "\x8a\x47.mag";  // 絵.mag in code page 932
    ZipMember flagged = MakeZipMember("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e/\xe7\xb5\xb5.mag", data, 0);  // 日本語/絵.mag
    flagged.flags = kZipFlagUtf8;
    ZipMember field = MakeZipMember(sjis, data, 0);
    field.extra = UnicodePathExtra("\xe7\x94\xbb\xe5\x83\x8f/\xe7\xb5\xb5.mag", sjis);  // 画像/絵.mag
    ZipMember stale = MakeZipMember(sjis, data, 0);
    stale.extra = UnicodePathExtra("other.mag", "a name before a rename");
    ZipMember overlong = MakeZipMember("a\xc0\xaf" "b", data, 0);  // an overlong '/'
    overlong.flags = kZipFlagUtf8;
    ZipMember cased = MakeZipMember(sjis, data, 0);
    cased.extra = field.extra;
    cased.localName = "\x8a\x47.MAG";

    Archive a(BuildZip({flagged, field, stale, overlong, cased}));
    ASSERT_EQ(kZipDirOk, a.directory);
    wchar_t cp932[16] = {};
    ASSERT_GT(AnsiToWide(sjis.c_str(), -1, cp932, 16), 0);
    const struct {
        const wchar_t* name;
        uint8_t source;
        int extract;
    } want[] = {{L"日本語/絵.mag", kNameUtf8, kZipExtractOk},
                {L"画像/絵.mag", kNameUnicodeField, kZipExtractOk},
                {cp932, kNameCodePage, kZipExtractOk},
                {L"a\xFFFD\xFFFD" L"b", kNameUtf8, kZipExtractOk},
                {L"画像/絵.mag", kNameUnicodeField, kZipExtractMismatch}};
    for (uint32_t i = 0; i < 5; ++i) {
        const ArchiveEntry& e = a.reader.entries[i];
        EXPECT_STREQ(want[i].name, e.name) << i;
        EXPECT_EQ(wcslen(want[i].name), e.nameLength) << i;
        EXPECT_EQ(want[i].source, e.nameSource) << i;
        std::vector<uint8_t> out;
        EXPECT_EQ(want[i].extract, a.Extract(i, &out)) << i;
    }
}

// The extra field's walk stays inside it and takes only what is there.
TEST(ZipFields, ExtraFieldBlocksAreFoundWithinTheirBounds)
{
    const uint8_t extra[] = {0x55, 0x54, 2, 0, 9, 9, 0x01, 0x00, 12, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x75,
                             0x70, 200, 0};
    const uint8_t* data = nullptr;
    size_t length = 0;
    ASSERT_TRUE(FindZipExtra(extra, sizeof extra, 1, &data, &length));
    EXPECT_EQ(extra + 10, data);
    EXPECT_EQ(12u, length);
    EXPECT_FALSE(FindZipExtra(extra, sizeof extra, 0x7075, &data, &length));  // its length runs past the field

    // The block holds the uncompressed size and half of the compressed one.
    uint64_t uncompressed = kZip64Marker, compressed = kZip64Marker, offset = 77;
    ReadZip64Sizes(extra, sizeof extra, &uncompressed, &compressed, &offset);
    EXPECT_EQ(1u, uncompressed);
    EXPECT_EQ(kZip64Marker, compressed);
    EXPECT_EQ(77u, offset);
    uint64_t only = kZip64Marker;
    ReadZip64Sizes(extra, 4, &only, nullptr, nullptr);
    EXPECT_EQ(kZip64Marker, only);
}

}  // namespace
