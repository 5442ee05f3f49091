#include "archive/lzh_directory.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/archive_members.h"
#include "support/fixtures.h"
#include "support/test_data.h"

namespace {

// The wide reading of ANSI bytes, with '/' as the LZH backslash.
std::wstring LzhName(std::vector<uint8_t> bytes)
{
    for (uint8_t& b : bytes)
        if (b == '/')
            b = '\\';
    std::string s(bytes.begin(), bytes.end());
    std::vector<wchar_t> w(s.size() + 1);
    int n = AnsiToWide(s.c_str(), -1, w.data(), static_cast<int>(w.size()));
    return n > 0 ? std::wstring(w.data()) : std::wstring();
}

void Put16(std::vector<uint8_t>* v, uint32_t x)
{
    v->push_back(static_cast<uint8_t>(x));
    v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x)
{
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// One extension header: type and data (its size goes before it).
struct Ext {
    uint8_t type;
    std::string data;
};

// A member header of level 0, 1 or 2 followed by its data.
std::vector<uint8_t> Member(int level, char letter, const std::string& name, const std::string& data,
                            const std::vector<Ext>& exts = {})
{
    std::vector<uint8_t> h = {0, 0, '-', 'l', 'h', static_cast<uint8_t>(letter), '-'};
    uint32_t extTotal = 0;
    for (const Ext& e : exts)
        extTotal += static_cast<uint32_t>(e.data.size()) + 3;
    Put32(&h, static_cast<uint32_t>(data.size()) + (level == 1 ? extTotal : 0));
    Put32(&h, static_cast<uint32_t>(data.size()));
    Put32(&h, 0);
    h.push_back(0x20);
    h.push_back(static_cast<uint8_t>(level));
    if (level < 2) {
        h.push_back(static_cast<uint8_t>(name.size()));
        h.insert(h.end(), name.begin(), name.end());
        Put16(&h, 0);
        if (level == 1) {
            h.push_back('U');
            Put16(&h, exts.empty() ? 0 : static_cast<uint32_t>(exts[0].data.size()) + 3);
        }
        h[0] = static_cast<uint8_t>(h.size() - 2);
        for (size_t i = 0; i < exts.size(); ++i) {
            h.push_back(exts[i].type);
            h.insert(h.end(), exts[i].data.begin(), exts[i].data.end());
            Put16(&h, i + 1 < exts.size() ? static_cast<uint32_t>(exts[i + 1].data.size()) + 3 : 0);
        }
    } else {
        Put16(&h, 0);
        h.push_back('U');
        for (const Ext& e : exts) {
            Put16(&h, static_cast<uint32_t>(e.data.size()) + 3);
            h.push_back(e.type);
            h.insert(h.end(), e.data.begin(), e.data.end());
        }
        Put16(&h, 0);
        h[0] = static_cast<uint8_t>(h.size());
        h[1] = static_cast<uint8_t>(h.size() >> 8);
    }
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// An archive in memory with its directory read.
struct Listed {
    explicit Listed(const std::vector<uint8_t>& b) : bytes(b)
    {
        reader.file = FileOpenMemory(bytes.data(), bytes.size());
        code = ReadLzhDirectory(&reader, reader.file, 0);
    }
    ~Listed() { CloseArchive(&reader); }
    std::vector<uint8_t> bytes;
    ArchiveReader reader;
    int code;
};

TEST(LzhDirectory, LevelsNamesPositionsAndSizes)
{
    std::vector<uint8_t> a = Join({Member(0, '0', "zero.txt", "abc"),
                                   Member(1, '5', "base", "12345", {{2, "pics\xFF"}, {1, "a.mag"}, {0x41, "xx"}}),
                                   Member(1, '5', "b.pi", "678", {{2, "d\xFF" "e\xFF"}}),
                                   Member(2, '7', "", "9", {{1, "f.p2"}, {2, "sub\xFF"}}),
                                   Member(2, 'd', "", "", {{2, "dir\xFF"}}), Member(2, '0', "", "x"), {0}});
    Listed t(a);
    ASSERT_EQ(kLzhDirOk, t.code);
    ASSERT_EQ(6u, t.reader.count);
    const ArchiveEntry* e = t.reader.entries;
    EXPECT_EQ(std::wstring(L"zero.txt"), e[0].name);
    EXPECT_EQ(uint32_t('0'), e[0].method);
    EXPECT_EQ(3u, e[0].compressedSize);
    EXPECT_EQ('a', a[e[0].dataPosition]);

    // Level 1: directory then file name; sizes less the extension headers.
    EXPECT_EQ(std::wstring(L"pics\\a.mag"), e[1].name);
    EXPECT_EQ(5u, e[1].compressedSize);
    EXPECT_EQ('1', a[e[1].dataPosition]);
    EXPECT_EQ(e[0].dataPosition + 3, e[1].headerPosition);
    EXPECT_EQ(std::wstring(L"d\\e\\b.pi"), e[2].name);
    EXPECT_EQ('6', a[e[2].dataPosition]);

    // Level 2: the directory joins the file name whatever their order.
    EXPECT_EQ(std::wstring(L"sub\\f.p2"), e[3].name);
    EXPECT_EQ(uint32_t('7'), e[3].method);
    EXPECT_EQ('9', a[e[3].dataPosition]);
    EXPECT_EQ(std::wstring(L"dir\\"), e[4].name);
    EXPECT_EQ(0u, e[4].uncompressedSize);
    EXPECT_EQ(std::wstring(L""), e[5].name);
    EXPECT_EQ('x', a[e[5].dataPosition]);
}

TEST(LzhDirectory, ChainEndsAtAnythingWithoutAHeader)
{
    Listed trailing(Join({Member(0, '5', "a", "q"), {'x', 'y', 'z', 'l', 'h', '5', '-', 0, 0, 0, 0, 0, 0, 0, 0,
                                                      0, 0, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(kLzhDirOk, trailing.code);
    EXPECT_EQ(1u, trailing.reader.count);
    Listed empty(std::vector<uint8_t>{0});
    EXPECT_EQ(kLzhDirOk, empty.code);
    EXPECT_EQ(0u, empty.reader.count);
}

TEST(LzhDirectory, UnknownMethodsAndLevelsFailTheWholeDirectory)
{
    EXPECT_EQ(kLzhDirUnsupported, Listed(Join({Member(0, '5', "a", "q"), Member(0, '1', "b", "r")})).code);
    std::vector<uint8_t> level3 = Member(2, '5', "", "q");
    level3[20] = 3;
    EXPECT_EQ(kLzhDirUnsupported, Listed(Join({Member(0, '5', "a", "q"), level3})).code);
}

TEST(LzhDirectory, InconsistentHeadersAreShort)
{
    // A level-2 header smaller than its fixed part.
    std::vector<uint8_t> tiny = Member(2, '5', "", "q");
    tiny[0] = 22;
    tiny[1] = 0;
    EXPECT_EQ(kLzhDirShortHeader, Listed(tiny).code);

    // A level-2 extension header running past the header's end.
    std::vector<uint8_t> past = Member(2, '5', "", "q", {{1, "name"}});
    past[24] = 0x40;
    EXPECT_EQ(kLzhDirShortHeader, Listed(past).code);

    // Extension sizes of 1 or 2, and extension headers larger than the compressed size.
    std::vector<uint8_t> one = Member(1, '5', "n", "q", {{1, "name"}});
    one[22 + 1 + 3] = 2;
    EXPECT_EQ(kLzhDirShortHeader, Listed(one).code);
    std::vector<uint8_t> over = Member(1, '5', "n", "q", {{1, "name"}});
    over[7] = 2;
    EXPECT_EQ(kLzhDirShortHeader, Listed(over).code);
}

TEST(LzhDirectory, EveryTruncationFailsCleanlyOrListsAPrefix)
{
    std::vector<uint8_t> a = Join({Member(1, '5', "base", "12345", {{2, "pics\xFF"}, {1, "a.mag"}}),
                                   Member(2, '7', "", "9", {{1, "f.p2"}})});
    for (size_t n = 0; n < a.size(); ++n) {
        Listed t(std::vector<uint8_t>(a.begin(), a.begin() + n));
        EXPECT_TRUE(t.code == kLzhDirOk || t.code == kLzhDirShortHeader) << n;
        EXPECT_LE(t.reader.count, 2u) << n;
    }
}

TEST(LzhDirectory, FixturesListAsTheirManifestSays)
{
    REQUIRE_FIXTURES();
    std::vector<ArchiveMemberRow> rows = ReadArchiveMembers();
    ASSERT_FALSE(rows.empty());
    for (const char* archive : {"archives/l02_lh5_lv0.lzh", "archives/l03_lh5_lv1_dir.lzh",
                                "archives/l06_lh7_lv2.lzh", "archives/l10_sjis_lh5_lv2.lzh"}) {
        ArchiveReader reader;
        reader.file = FileOpenRead(FixturePath(archive).c_str());
        ASSERT_NE(kInvalidFile, reader.file) << archive;
        ASSERT_EQ(kLzhDirOk, ReadLzhDirectory(&reader, reader.file, 0)) << archive;
        uint32_t i = 0;
        for (const ArchiveMemberRow& row : rows) {
            if (row.archive != archive)
                continue;
            ASSERT_LT(i, reader.count) << archive;
            const ArchiveEntry& e = reader.entries[i++];
            EXPECT_EQ(LzhName(row.nameBytes), e.name) << archive << " member " << i;
            EXPECT_EQ(row.size, e.uncompressedSize) << archive << " member " << i;
            EXPECT_EQ(row.packedSize, e.compressedSize) << archive << " member " << i;
            EXPECT_EQ(static_cast<uint32_t>(row.method[3]), e.method) << archive << " member " << i;
        }
        EXPECT_EQ(i, reader.count) << archive;
        CloseArchive(&reader);
    }
}

TEST(LzhDirectory, CommittedArchivesList)
{
    for (const char* name : {"lzh/lh5.lzh", "lzh/lh6.lzh", "lzh/lh7.lzh"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadTestData(name, &bytes)) << name;
        Listed t(bytes);
        EXPECT_EQ(kLzhDirOk, t.code) << name;
        EXPECT_EQ(3u, t.reader.count) << name;
    }
}

}  // namespace
