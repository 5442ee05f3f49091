#include "archive/zip_extract.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/zip_directory.h"
#include "support/archive_members.h"
#include "support/deflate_writer.h"
#include "support/fixtures.h"
#include "support/sample_data.h"
#include "support/sha256.h"
#include "support/test_data.h"
#include "support/zip_builder.h"

namespace {

// An archive in memory with its directory read.
class Archive {
public:
    explicit Archive(const std::vector<uint8_t>& bytes) : bytes_(bytes)
    {
        reader.file = FileOpenMemory(bytes_.data(), bytes_.size());
        directory = ReadZipDirectory(&reader, reader.file, 0);
    }
    ~Archive() { CloseArchive(&reader); }

    // Extracts member index; code and bytes.
    int Extract(uint32_t index, std::vector<uint8_t>* out, uint32_t compressedLimit = 0, uint32_t outputLimit = 0)
    {
        uint32_t size = index < reader.count ? reader.entries[index].uncompressedSize : 0;
        uint32_t n = outputLimit && outputLimit < size ? outputLimit : size;
        out->assign(n, 0xCD);
        return ExtractZipMember(&reader, index, out->data(), compressedLimit, outputLimit);
    }

    ArchiveReader reader;
    int directory;

private:
    std::vector<uint8_t> bytes_;
};

TEST(ZipExtract, StoredAndDeflatedMembersWithLimits)
{
    std::vector<uint8_t> text = TextLikeBytes(100, 1);
    std::vector<uint8_t> big = RandomBytes(20000, 2);  // compresses to well over 768 bytes
    Archive a(BuildZip({MakeZipMember("s.txt", text, 0), MakeZipMember("d.bin", big, 8), MakeZipMember("e", {}, 0)}));
    ASSERT_EQ(kZipDirOk, a.directory);
    std::vector<uint8_t> out;

    EXPECT_EQ(kZipExtractOk, a.Extract(0, &out));
    EXPECT_EQ(text, out);
    EXPECT_EQ(kZipExtractOk, a.Extract(0, &out, 0, 18));
    EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.begin() + 18), out);

    EXPECT_EQ(kZipExtractOk, a.Extract(1, &out));
    EXPECT_TRUE(big == out);
    ASSERT_GT(a.reader.entries[1].compressedSize, 768u);
    EXPECT_EQ(kZipExtractOk, a.Extract(1, &out, 768, 18));
    EXPECT_EQ(std::vector<uint8_t>(big.begin(), big.begin() + 18), out);

    // An empty member reads nothing; an index past the end is refused.
    EXPECT_EQ(kZipExtractOk, ExtractZipMember(&a.reader, 2, nullptr, 0, 0));
    EXPECT_EQ(kZipExtractBadIndex, a.Extract(3, &out));
}

TEST(ZipExtract, DataDescriptorMembersUseTheDirectorysSizes)
{
    ZipMember zeroLocal = MakeZipMember("a.bin", RandomBytes(1001, 3), 8);
    zeroLocal.descriptor = true;
    // Flag bit 3 with the local uncompressed size filled in and the
    // compressed size 0, as Info-ZIP writes to a pipe.
    ZipMember partial = MakeZipMember("b.txt", TextLikeBytes(3000, 4), 8);
    partial.descriptor = true;
    partial.localUncompressed = 3000;
    Archive a(BuildZip({zeroLocal, partial}));
    ASSERT_EQ(kZipDirOk, a.directory);
    std::vector<uint8_t> out;
    EXPECT_EQ(kZipExtractOk, a.Extract(0, &out));
    EXPECT_TRUE(zeroLocal.data == out);
    EXPECT_EQ(kZipExtractOk, a.Extract(1, &out));
    EXPECT_TRUE(partial.data == out);

    // Without flag bit 3, sizes that differ and are not both 0 disagree.
    ZipMember plain = MakeZipMember("c.txt", TextLikeBytes(500, 5), 8);
    plain.localUncompressed = 500;
    plain.localCompressed = 0;
    Archive b(BuildZip({plain}));
    EXPECT_EQ(kZipExtractMismatch, b.Extract(0, &out));
}

TEST(ZipExtract, UnsupportedMembersAreRefusedBeforeReading)
{
    std::vector<uint8_t> data = {1, 2, 3};
    ZipMember encrypted = MakeZipMember("e", data, 0);
    encrypted.flags = 1;
    ZipMember v46 = MakeZipMember("v", data, 0);
    v46.versionNeeded = 46;
    ZipMember bit4 = MakeZipMember("f", data, 0);
    bit4.flags = 0x10;
    ZipMember method12 = MakeZipMember("m", data, 0);
    method12.method = 12;
    method12.compressed = {9, 9};
    ZipMember deflate64 = MakeZipMember("d", data, 0);
    deflate64.method = 9;
    deflate64.compressed = {9, 9};
    Archive a(BuildZip({encrypted, v46, bit4, method12, deflate64}));
    ASSERT_EQ(kZipDirOk, a.directory);
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(kZipExtractUnsupported, a.Extract(i, &out)) << i;
}

TEST(ZipExtract, LocalHeaderMustAgreeWithTheDirectory)
{
    std::vector<uint8_t> data = {1, 2, 3, 4};
    ZipMember caseOnly = MakeZipMember("Pic.mag", data, 0);
    caseOnly.localName = "pic.mag";
    ZipMember version = MakeZipMember("v", data, 0);
    version.localVersion = 10;
    ZipMember flags = MakeZipMember("f", data, 0);
    flags.localFlags = 2;
    ZipMember method = MakeZipMember("m", data, 0);
    method.localMethod = 8;
    ZipMember longerName = MakeZipMember("n", data, 0);
    longerName.localName = "n2";
    Archive a(BuildZip({caseOnly, version, flags, method, longerName}));
    ASSERT_EQ(kZipDirOk, a.directory);
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(kZipExtractMismatch, a.Extract(i, &out)) << i;
}

TEST(ZipExtract, DamagedMembersGiveTheirCodes)
{
    std::vector<uint8_t> text = TextLikeBytes(4000, 6);
    std::vector<uint8_t> zip = BuildZip({MakeZipMember("a.txt", text, 0), MakeZipMember("b.txt", text, 8)});
    std::vector<uint8_t> out;

    // A local header whose signature is wrong.
    std::vector<uint8_t> badSig = zip;
    badSig[1] = 'X';
    Archive a(badSig);
    ASSERT_EQ(kZipDirOk, a.directory);
    EXPECT_EQ(kZipExtractBadLocal, a.Extract(0, &out));

    // Deflate data that is not Deflate.
    Archive b(zip);
    ASSERT_EQ(kZipDirOk, b.directory);
    std::vector<uint8_t> broken = zip;
    broken[b.reader.entries[1].headerPosition + 30 + 5] ^= 0x04;  // block type 3
    Archive c(broken);
    ASSERT_EQ(kZipDirOk, c.directory);
    EXPECT_EQ(kZipExtractInflateFailed, c.Extract(1, &out));

    // A deflated member whose stream ends before its stated size.
    ZipMember shortStream = MakeZipMember("s", text, 8);
    shortStream.compressed = DeflateFixed(std::vector<uint8_t>(text.begin(), text.begin() + 3000));
    Archive d(BuildZip({shortStream}));
    EXPECT_EQ(kZipExtractInflateFailed, d.Extract(0, &out));

    // A stored member whose data is shorter than its size cannot give
    // even its beginning: its size is impossible.
    ZipMember shortStored = MakeZipMember("t", text, 0);
    shortStored.compressed = std::vector<uint8_t>(text.begin(), text.begin() + 10);
    Archive e(BuildZip({shortStored}));
    EXPECT_EQ(kZipExtractImpossibleSize, e.Extract(0, &out));
    EXPECT_EQ(kZipExtractImpossibleSize, e.Extract(0, &out, 0, 10));
}

TEST(ZipExtract, DeflatedMemberOfEqualSizesIsStillInflated)
{
    // Stored blocks make a stream 5 bytes longer than its data; cut the data
    // so that the sizes come out equal.
    std::vector<uint8_t> data = RandomBytes(600, 7);
    ZipMember m = MakeZipMember("eq.bin", data, 8);
    m.compressed = DeflateStored(std::vector<uint8_t>(data.begin(), data.begin() + 595));
    ASSERT_EQ(m.compressed.size(), 600u);
    Archive a(BuildZip({m}));
    ASSERT_EQ(a.reader.entries[0].compressedSize, a.reader.entries[0].uncompressedSize);
    std::vector<uint8_t> out;
    // 595 bytes of stream output cannot fill 600: the member is damaged,
    // and its raw Deflate bytes are never handed out as its content.
    EXPECT_EQ(kZipExtractInflateFailed, a.Extract(0, &out));
    EXPECT_EQ(kZipExtractOk, a.Extract(0, &out, 0, 595));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

TEST(ZipExtract, EveryTruncationOfTheFileEndsCleanly)
{
    std::vector<uint8_t> zip = BuildZip({MakeZipMember("a.txt", TextLikeBytes(700, 8), 0),
                                         MakeZipMember("b.bin", TextLikeBytes(5000, 9), 8)});
    Archive full(zip);
    ASSERT_EQ(kZipDirOk, full.directory);
    std::vector<uint8_t> expect0, expect1;
    ASSERT_EQ(kZipExtractOk, full.Extract(0, &expect0));
    ASSERT_EQ(kZipExtractOk, full.Extract(1, &expect1));

    // The directory stays; the file under it is cut.
    for (size_t n = 0; n < zip.size(); n += 7) {
        std::vector<uint8_t> part(zip.begin(), zip.begin() + n);
        FileClose(full.reader.file);
        full.reader.file = FileOpenMemory(part.data(), part.size());
        for (uint32_t i = 0; i < 2; ++i) {
            std::vector<uint8_t> out;
            int r = full.Extract(i, &out);
            EXPECT_TRUE(r == kZipExtractOk || r == kZipExtractShortData || r == kZipExtractBadLocal ||
                        r == kZipExtractInflateFailed)
                << n;
            if (r == kZipExtractOk) {
                EXPECT_TRUE(out == (i ? expect1 : expect0)) << n;
            }
        }
        FileClose(full.reader.file);
        full.reader.file = kInvalidFile;
    }
}

TEST(ZipExtract, ArchivesWrittenToPipesExtract)
{
    // Made from the same two files (see tests/data/README.md).
    const std::string notes = "b2dc3654778ba94df5e58d34d3b22899e2c55d3b192d6649c0948aa93d2fd7e4";
    const std::string odd = "2a625c1f6ee261f8ce73bc2bc9f153c158da4a53dd0b82ecd3e2bed174c52a39";
    struct Case {
        const char* file;
        std::vector<std::string> sums;
    } cases[] = {{"zip/infozip_pipe.zip", {notes, odd}},
                 {"zip/infozip_stdin.zip", {notes}},
                 {"zip/infozip_stdin_zip64.zip", {notes}},
                 {"zip/infozip_file_zip64.zip", {notes}},
                 {"zip/python_streamed.zip", {notes, odd, Sha256Hex({'a', 'b', 'c'})}}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadTestData(c.file, &bytes)) << c.file;
        Archive a(bytes);
        ASSERT_EQ(kZipDirOk, a.directory) << c.file;
        ASSERT_EQ(c.sums.size(), a.reader.count) << c.file;
        for (uint32_t i = 0; i < a.reader.count; ++i) {
            std::vector<uint8_t> out;
            EXPECT_EQ(kZipExtractOk, a.Extract(i, &out)) << c.file << " " << i;
            EXPECT_EQ(c.sums[i], Sha256Hex(out)) << c.file << " " << i;
        }
    }
}

TEST(ZipExtract, FixtureMembersMatchTheirChecksums)
{
    REQUIRE_FIXTURES();
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Sha256Hex({}));
    std::vector<ArchiveMemberRow> rows = ReadArchiveMembers();
    for (const char* archive : {"archives/z01_stored.zip", "archives/z03_mixed_dirs_comment.zip",
                                "archives/z04_sjis_names.zip"}) {
        ArchiveReader reader;
        reader.file = FileOpenRead(FixturePath(archive).c_str());
        ASSERT_EQ(kZipDirOk, ReadZipDirectory(&reader, reader.file, 0)) << archive;
        uint32_t i = 0;
        for (const ArchiveMemberRow& row : rows) {
            if (row.archive != archive)
                continue;
            ASSERT_LT(i, reader.count);
            std::vector<uint8_t> out(reader.entries[i].uncompressedSize);
            EXPECT_EQ(kZipExtractOk, ExtractZipMember(&reader, i, out.data(), 0, 0)) << archive << " " << i;
            if (row.kind == "file") {
                EXPECT_EQ(row.sha256, Sha256Hex(out)) << archive << " " << i;
            }

            // The thumbnail worker's preview: the first 18 bytes from at most 768.
            std::vector<uint8_t> head(18);
            if (out.size() >= 18) {
                EXPECT_EQ(kZipExtractOk, ExtractZipMember(&reader, i, head.data(), 768, 18));
                EXPECT_TRUE(std::equal(head.begin(), head.end(), out.begin())) << archive << " " << i;
            }
            ++i;
        }
        CloseArchive(&reader);
    }
}

// Deflate gives at most 1,032 bytes a byte and a stored member its own
// size; beyond that a member is refused before anything is read.
TEST(ZipExtract, SizesTheCompressedDataCannotGiveAreRefusedBeforeReading)
{
    ArchiveEntry e;
    e.method = 8;
    e.compressedSize = 10;
    e.uncompressedSize = 10320;
    EXPECT_TRUE(ZipMemberSizePossible(e));
    e.uncompressedSize = 10321;
    EXPECT_FALSE(ZipMemberSizePossible(e));
    e.method = 0;
    e.uncompressedSize = 10;
    EXPECT_TRUE(ZipMemberSizePossible(e));
    e.uncompressedSize = 11;
    EXPECT_FALSE(ZipMemberSizePossible(e));

    std::vector<uint8_t> data(5000, 'z');
    Archive a(BuildZip({MakeZipMember("z.bin", data, 8), MakeZipMember("s.bin", data, 0)}));
    ASSERT_EQ(kZipDirOk, a.directory);
    a.reader.entries[0].uncompressedSize = 0xFFFFFFFFu;
    EXPECT_EQ(kZipExtractImpossibleSize, ExtractZipMember(&a.reader, 0, nullptr, 0, 0));
    a.reader.entries[1].uncompressedSize = 5001;
    EXPECT_EQ(kZipExtractImpossibleSize, ExtractZipMember(&a.reader, 1, nullptr, 768, 18));
}

}  // namespace


namespace {

// One bit flipped in the data of a stored, a deflated and a streamed
// deflated member, where the data still decodes to the member's size: the
// whole member is delivered with kZipExtractChecksumMismatch and marked;
// a part of it is not checked, and an intact member is not marked.
TEST(ZipExtract, AFlippedBitThatStillDecodesIsAChecksumMismatch)
{
    const std::vector<uint8_t> data = TextLikeBytes(3000, 4);
    const std::vector<uint8_t> stream = DeflateFixed(data);
    auto flipped = [](std::vector<uint8_t> bytes, size_t bit) {
        bytes[bit / 8] ^= uint8_t(1u << (bit % 8));
        return bytes;
    };
    for (int kind = 0; kind < 3; ++kind) {
        ZipMember m = MakeZipMember("m.txt", data, kind == 0 ? 0 : 8);
        m.streamed = kind == 2;
        const std::vector<uint8_t>& clean = kind == 0 ? data : stream;
        // The first bit past the middle whose flip still gives 3000 other bytes.
        bool found = false;
        for (size_t bit = clean.size() * 4; bit < clean.size() * 8 && !found; ++bit) {
            m.compressed = flipped(clean, bit);
            Archive a(BuildZip({m, MakeZipMember("intact.txt", data, 8)}));
            ASSERT_EQ(kZipDirOk, a.directory);
            std::vector<uint8_t> out;
            int r = a.Extract(0, &out);
            if ((r != kZipExtractOk && r != kZipExtractChecksumMismatch) || out == data)
                continue;
            found = true;
            EXPECT_EQ(kZipExtractChecksumMismatch, r) << kind << " bit " << bit;
            EXPECT_TRUE(a.reader.entries[0].checksumMismatch) << kind;
            std::vector<uint8_t> head;
            EXPECT_EQ(kZipExtractOk, a.Extract(0, &head, 768, 18)) << kind;
            EXPECT_EQ(kZipExtractOk, a.Extract(1, &out)) << kind;
            EXPECT_FALSE(a.reader.entries[1].checksumMismatch) << kind;
        }
        EXPECT_TRUE(found) << kind;
    }
}

}  // namespace
