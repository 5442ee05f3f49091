#include "archive/zip_directory.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/archive_members.h"
#include "support/fixtures.h"
#include "support/test_data.h"
#include "support/zip_builder.h"

namespace {

// A reader over bytes in memory, closed at the end of the scope.
class MemoryArchive {
public:
    explicit MemoryArchive(const std::vector<uint8_t>& bytes) : bytes_(bytes)
    {
        reader.file = FileOpenMemory(bytes_.data(), bytes_.size());
    }
    ~MemoryArchive() { CloseArchive(&reader); }
    int Read(uint64_t start = 0) { return ReadZipDirectory(&reader, reader.file, start); }

    ArchiveReader reader;

private:
    std::vector<uint8_t> bytes_;
};

std::wstring Wide(const std::vector<uint8_t>& bytes)
{
    std::string s(bytes.begin(), bytes.end());
    s.push_back(0);
    std::vector<wchar_t> w(s.size() * 2 + 1);
    int n = AnsiToWide(s.c_str(), -1, w.data(), static_cast<int>(w.size()));
    return n > 0 ? std::wstring(w.data()) : std::wstring();
}

std::vector<ZipMember> SampleMembers()
{
    std::vector<ZipMember> m(4);
    m[0].name = "pics/";
    m[1].name = "pics/a.mag";
    m[1].data = std::vector<uint8_t>(300, 'a');
    m[1].method = 8;
    m[2].name = "b.pi";
    m[2].data = {1, 2, 3, 4, 5};
    m[2].versionNeeded = 10;
    m[2].extra = {9, 9, 9, 9};
    m[2].comment = "member comment";
    m[3].name = "z.txt";
    m[3].data = {'z'};
    return m;
}

TEST(ZipDirectory, ListsEveryMemberInStoredOrder)
{
    std::vector<uint8_t> zip = BuildZip(SampleMembers());
    MemoryArchive a(zip);
    ASSERT_EQ(kZipDirOk, a.Read());
    ASSERT_EQ(4u, a.reader.count);
    const ArchiveEntry* e = a.reader.entries;
    EXPECT_STREQ(L"pics/", e[0].name);
    EXPECT_EQ(0u, e[0].uncompressedSize);
    EXPECT_STREQ(L"pics/a.mag", e[1].name);
    EXPECT_EQ(10u, e[1].nameLength);
    EXPECT_EQ(8u, e[1].method);
    EXPECT_EQ(300u, e[1].uncompressedSize);
    EXPECT_LT(e[1].compressedSize, 300u);
    EXPECT_EQ(10u, e[2].versionNeeded);
    EXPECT_EQ(5u, e[2].compressedSize);
    EXPECT_STREQ(L"z.txt", e[3].name);

    // Each header position points at a local header.
    for (uint32_t i = 0; i < a.reader.count; ++i) {
        ASSERT_LT(e[i].headerPosition + 4, zip.size());
        EXPECT_EQ(0x50, zip[e[i].headerPosition]);
        EXPECT_EQ(3, zip[e[i].headerPosition + 2]);
    }
}

TEST(ZipDirectory, ArchiveInsideAFileKeepsAbsolutePositions)
{
    ZipOptions o;
    o.prefix = std::vector<uint8_t>(1001, 0x11);
    MemoryArchive a(BuildZip(SampleMembers(), o));
    ASSERT_EQ(kZipDirOk, a.Read(1001));
    ASSERT_EQ(4u, a.reader.count);
    EXPECT_EQ(1001u, a.reader.entries[0].headerPosition);
    EXPECT_GT(a.reader.entries[3].headerPosition, 1001u);
}

TEST(ZipDirectory, CommentEmptyArchiveAndEmptyName)
{
    ZipOptions o;
    o.comment = "a comment after the end record";
    MemoryArchive withComment(BuildZip(SampleMembers(), o));
    EXPECT_EQ(kZipDirOk, withComment.Read());
    EXPECT_EQ(4u, withComment.reader.count);

    MemoryArchive empty(BuildZip({}));
    EXPECT_EQ(kZipDirOk, empty.Read());
    EXPECT_EQ(0u, empty.reader.count);

    std::vector<ZipMember> m(1);
    m[0].data = {7};
    MemoryArchive noName(BuildZip(m));
    ASSERT_EQ(kZipDirOk, noName.Read());
    ASSERT_NE(nullptr, noName.reader.entries[0].name);
    EXPECT_EQ(0, noName.reader.entries[0].name[0]);
    EXPECT_EQ(0u, noName.reader.entries[0].nameLength);
}

TEST(ZipDirectory, ShiftJisNamesAreConverted)
{
    // 画像.mag in code page 932.
    std::vector<ZipMember> m(1);
    m[0].name = "\x89\xe6\x91\x9c.mag";
    m[0].data = {1};
    MemoryArchive a(BuildZip(m));
    ASSERT_EQ(kZipDirOk, a.Read());
    EXPECT_EQ(std::wstring(L"\u753b\u50cf.mag"), a.reader.entries[0].name);
    EXPECT_EQ(6u, a.reader.entries[0].nameLength);
}

TEST(ZipDirectory, DamagedDirectoriesGiveTheirCodes)
{
    std::vector<uint8_t> zip = BuildZip(SampleMembers());
    size_t end = FindEndRecord(zip);

    // Cut before the end record: no end record anywhere.
    MemoryArchive cut(std::vector<uint8_t>(zip.begin(), zip.begin() + end));
    EXPECT_EQ(kZipDirNoEnd, cut.Read());

    // An end record of fewer than 20 bytes.
    MemoryArchive shortEnd(std::vector<uint8_t>(zip.begin(), zip.begin() + end + 19));
    EXPECT_EQ(kZipDirShortEnd, shortEnd.Read());

    // A spanned archive.
    ZipOptions spanned;
    spanned.disk = 1;
    MemoryArchive disk(BuildZip(SampleMembers(), spanned));
    EXPECT_EQ(kZipDirSpanned, disk.Read());

    // A central header with a wrong signature; one more entry than there are.
    std::vector<uint8_t> bad = zip;
    uint32_t central = bad[end + 16] | (bad[end + 17] << 8) | (bad[end + 18] << 16) | (bad[end + 19] << 24);
    bad[central + 2] = 9;
    MemoryArchive badSig(bad);
    EXPECT_EQ(kZipDirBadCentral, badSig.Read());
    ZipOptions more;
    more.countOverride = 5;
    MemoryArchive tooMany(BuildZip(SampleMembers(), more));
    EXPECT_EQ(kZipDirBadCentral, tooMany.Read());
    ZipOptions huge;
    huge.countOverride = 65535;
    MemoryArchive farTooMany(BuildZip(SampleMembers(), huge));
    EXPECT_EQ(kZipDirBadCentral, farTooMany.Read());
}

TEST(ZipDirectory, EveryTruncationEndsCleanly)
{
    std::vector<uint8_t> zip = BuildZip(SampleMembers());
    for (size_t n = 0; n < zip.size(); ++n) {
        MemoryArchive a(std::vector<uint8_t>(zip.begin(), zip.begin() + n));
        int r = a.Read();
        EXPECT_TRUE(r == kZipDirNoEnd || r == kZipDirShortEnd || r == kZipDirBadCentral || r == kZipDirOk) << n;
        CloseArchive(&a.reader);  // and once more in the destructor
    }
}

TEST(ZipDirectory, StreamedArchivesAreFoundFromTheBack)
{
    // A member whose sizes come only after its 1,001 bytes of data: the
    // walk cannot cross it, the search from the end finds the directory.
    std::vector<ZipMember> m(2);
    m[0].name = "first.bin";
    m[0].data = std::vector<uint8_t>(1001, 0x5A);
    m[0].descriptor = true;
    m[1].name = "second.txt";
    m[1].data = {'h', 'i'};
    m[1].descriptor = true;
    ZipOptions o;
    o.comment = "streamed";
    MemoryArchive a(BuildZip(m, o));
    ASSERT_EQ(kZipDirOk, a.Read());
    ASSERT_EQ(2u, a.reader.count);
    EXPECT_STREQ(L"second.txt", a.reader.entries[1].name);

    // Archives that Info-ZIP zip and Python wrote to pipes.
    for (const char* name : {"zip/infozip_pipe.zip", "zip/infozip_stdin.zip", "zip/python_streamed.zip"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadTestData(name, &bytes)) << name;
        MemoryArchive t(bytes);
        EXPECT_EQ(kZipDirOk, t.Read()) << name;
        EXPECT_GE(t.reader.count, 1u) << name;
    }
}

TEST(ZipDirectory, FixturesListAsTheirManifestSays)
{
    REQUIRE_FIXTURES();
    std::vector<ArchiveMemberRow> rows = ReadArchiveMembers();
    ASSERT_FALSE(rows.empty());
    for (const char* archive : {"archives/z01_stored.zip", "archives/z03_mixed_dirs_comment.zip",
                                "archives/z04_sjis_names.zip"}) {
        ArchiveReader reader;
        reader.file = FileOpenRead(FixturePath(archive).c_str());
        ASSERT_NE(kInvalidFile, reader.file) << archive;
        ASSERT_EQ(kZipDirOk, ReadZipDirectory(&reader, reader.file, 0)) << archive;
        uint32_t i = 0;
        for (const ArchiveMemberRow& row : rows) {
            if (row.archive != archive)
                continue;
            ASSERT_LT(i, reader.count) << archive;
            const ArchiveEntry& e = reader.entries[i++];
            EXPECT_EQ(Wide(row.nameBytes), e.name) << archive << " member " << i;
            EXPECT_EQ(row.size, e.uncompressedSize) << archive << " member " << i;
            EXPECT_EQ(row.packedSize, e.compressedSize) << archive << " member " << i;
            EXPECT_EQ(row.method == "deflated" ? 8u : 0u, e.method) << archive << " member " << i;
        }
        EXPECT_EQ(i, reader.count) << archive;
        CloseArchive(&reader);
        EXPECT_EQ(kInvalidFile, reader.file);
        EXPECT_EQ(nullptr, reader.entries);
    }
}

}  // namespace
