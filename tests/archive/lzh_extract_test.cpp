#include "archive/lzh_extract.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/lzh_directory.h"
#include "support/archive_members.h"
#include "support/fixtures.h"
#include "support/sha256.h"
#include "support/test_data.h"

namespace {

// An archive in memory with its directory read.
struct Archive {
    explicit Archive(const std::vector<uint8_t>& b) : bytes(b)
    {
        reader.file = FileOpenMemory(bytes.data(), bytes.size());
        directory = ReadLzhDirectory(&reader, reader.file, 0);
    }
    ~Archive() { CloseArchive(&reader); }

    // Extracts member index; code and bytes.
    int Extract(uint32_t index, std::vector<uint8_t>* out, uint32_t compressedLimit = 0, uint32_t outputLimit = 0)
    {
        uint32_t size = index < reader.count ? reader.entries[index].uncompressedSize : 0;
        uint32_t n = outputLimit && outputLimit < size ? outputLimit : size;
        out->assign(n, 0xCD);
        return ExtractLzhMember(&reader, index, out->data(), compressedLimit, outputLimit);
    }

    std::vector<uint8_t> bytes;
    ArchiveReader reader;
    int directory;
};

TEST(LzhExtract, FixturesExtractToTheirChecksums)
{
    REQUIRE_FIXTURES();
    std::vector<ArchiveMemberRow> rows = ReadArchiveMembers();
    std::string current;
    std::unique_ptr<Archive> a;
    uint32_t i = 0;
    int checked = 0;
    for (const ArchiveMemberRow& row : rows) {
        if (row.archive.size() < 4 || row.archive.compare(row.archive.size() - 4, 4, ".lzh") != 0)
            continue;
        if (row.archive != current) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(ReadFixture(row.archive, &bytes)) << row.archive;
            a.reset(new Archive(bytes));
            ASSERT_EQ(kLzhDirOk, a->directory);
            current = row.archive;
            i = 0;
        }
        std::vector<uint8_t> out;
        ASSERT_EQ(kLzhExtractOk, a->Extract(i, &out)) << row.archive << " " << i;
        EXPECT_EQ(row.sha256, Sha256Hex(out)) << row.archive << " " << i;

        // The preview: 18 bytes from at most 768 compressed ones.
        std::vector<uint8_t> head;
        ASSERT_EQ(kLzhExtractOk, a->Extract(i, &head, 768, 18)) << row.archive << " " << i;
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 18), head);
        ++i;
        ++checked;
    }
    EXPECT_EQ(12, checked);
}

TEST(LzhExtract, IndexPastTheEndAndEmptyCompressedMembers)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestData("lzh/lh5.lzh", &bytes));
    Archive a(bytes);
    ASSERT_EQ(kLzhDirOk, a.directory);
    std::vector<uint8_t> out;
    EXPECT_EQ(kLzhExtractBadIndex, a.Extract(a.reader.count, &out));

    // An -lh5- member of no bytes: the decoder delivers nothing.
    a.reader.entries[0].uncompressedSize = 0;
    EXPECT_EQ(kLzhExtractDecodeFailed, a.Extract(0, &out));
}

TEST(LzhExtract, DataCutShortIsReportedAndTruncationNeverFaults)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestData("lzh/lh7.lzh", &bytes));
    for (size_t n = 0; n <= bytes.size(); n += (n < 200 ? 1 : 97)) {
        Archive a(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        for (uint32_t i = 0; i < a.reader.count; ++i) {
            std::vector<uint8_t> out;
            int r = a.Extract(i, &out);
            EXPECT_TRUE(r == kLzhExtractOk || r == kLzhExtractShortData || r == kLzhExtractDecodeFailed) << n;
            if (a.reader.entries[i].dataPosition + a.reader.entries[i].compressedSize > n) {
                EXPECT_NE(kLzhExtractOk, r) << n << " member " << i;
            }
        }
    }
}

// The bound of each method, and members beyond it refused before any
// buffer is looked at.
TEST(LzhExtract, SizesTheCompressedDataCannotGiveAreRefusedBeforeReading)
{
    auto possible = [](uint32_t method, uint32_t compressed, uint32_t size) {
        ArchiveEntry e;
        e.method = method;
        e.compressedSize = compressed;
        e.uncompressedSize = size;
        return LzhMemberSizePossible(e);
    };
    EXPECT_TRUE(possible('0', 100, 100));
    EXPECT_FALSE(possible('0', 100, 101));
    EXPECT_TRUE(possible('d', 0, 0));
    EXPECT_FALSE(possible('d', 10, 1));
    // 13 bytes hold two 52-bit block heads, 27 bytes four 54-bit ones.
    EXPECT_TRUE(possible('5', 13, 2 * 16776960));
    EXPECT_FALSE(possible('5', 13, 2 * 16776960 + 1));
    EXPECT_TRUE(possible('4', 6, 16776960));
    EXPECT_FALSE(possible('6', 0, 1));
    EXPECT_TRUE(possible('7', 27, 4 * 16776960));
    EXPECT_FALSE(possible('7', 27, 4 * 16776960 + 1));

    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestData("lzh/lh5.lzh", &bytes));
    Archive a(bytes);
    ASSERT_EQ(kLzhDirOk, a.directory);
    a.reader.entries[0].compressedSize = 200;
    a.reader.entries[0].uncompressedSize = 0xFFFFFFFFu;
    EXPECT_EQ(kLzhExtractImpossibleSize, ExtractLzhMember(&a.reader, 0, nullptr, 0, 0));
    EXPECT_EQ(kLzhExtractImpossibleSize, ExtractLzhMember(&a.reader, 0, nullptr, 768, 18));
}

// A size within the bound but beyond what the data holds: the decoder stops
// at the first block that would begin past the data instead of decoding zeros.
TEST(LzhExtract, AClaimBeyondTheDataStopsAtTheNextBlock)
{
    for (const char* name : {"lzh/lh5.lzh", "lzh/lh6.lzh", "lzh/lh7.lzh"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadTestData(name, &bytes));
        Archive a(bytes);
        ASSERT_EQ(kLzhDirOk, a.directory);
        std::vector<uint8_t> whole;
        ASSERT_EQ(kLzhExtractOk, a.Extract(0, &whole)) << name;
        a.reader.entries[0].uncompressedSize = static_cast<uint32_t>(whole.size()) * 4;
        std::vector<uint8_t> more;
        EXPECT_EQ(kLzhExtractDecodeFailed, a.Extract(0, &more)) << name;
        std::vector<uint8_t> head;
        EXPECT_EQ(kLzhExtractOk, a.Extract(0, &head, 768, 18)) << name;
        EXPECT_EQ(std::vector<uint8_t>(whole.begin(), whole.begin() + 18), head) << name;
    }
}

// One bit flipped in the data of an -lh0-, an -lh5- and an -lh7- member,
// where the data still decodes to the member's size: the whole member is
// delivered with kLzhExtractChecksumMismatch and marked; its first bytes
// alone are not checked.
TEST(LzhExtract, AFlippedBitThatStillDecodesIsAChecksumMismatch)
{
    const struct {
        const char* file;
        uint32_t index;
        uint32_t method;
    } cases[] = {{"lzh/lh5.lzh", 1, '0'}, {"lzh/lh5.lzh", 0, '5'}, {"lzh/lh7.lzh", 0, '7'}};
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadTestData(c.file, &bytes));
        Archive clean(bytes);
        ASSERT_EQ(kLzhDirOk, clean.directory);
        const ArchiveEntry& e = clean.reader.entries[c.index];
        ASSERT_EQ(c.method, e.method);
        std::vector<uint8_t> whole;
        ASSERT_EQ(kLzhExtractOk, clean.Extract(c.index, &whole));
        EXPECT_FALSE(e.checksumMismatch);

        // The first bit past the middle of the data whose flip still gives other bytes.
        bool found = false;
        for (uint64_t bit = (e.dataPosition + e.compressedSize / 2) * 8;
             bit < (e.dataPosition + e.compressedSize) * 8 && !found; ++bit) {
            std::vector<uint8_t> damaged = bytes;
            damaged[bit / 8] ^= uint8_t(1u << (bit % 8));
            Archive a(damaged);
            ASSERT_EQ(kLzhDirOk, a.directory);
            std::vector<uint8_t> out;
            int r = a.Extract(c.index, &out);
            if ((r != kLzhExtractOk && r != kLzhExtractChecksumMismatch) || out == whole)
                continue;
            found = true;
            EXPECT_EQ(kLzhExtractChecksumMismatch, r) << c.file << " bit " << bit;
            EXPECT_TRUE(a.reader.entries[c.index].checksumMismatch) << c.file;
            std::vector<uint8_t> head;
            EXPECT_EQ(kLzhExtractOk, a.Extract(c.index, &head, 768, 18)) << c.file;
        }
        EXPECT_TRUE(found) << c.file << " " << c.index;
    }
}

}  // namespace
