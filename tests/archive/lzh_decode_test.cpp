#include "archive/lzh_decode.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"
#include "support/test_data.h"

namespace {

TEST(LzhDecode, MakeLhTableRefusesLongIncompleteAndOverfullCodes)
{
    std::unique_ptr<LzhTables> t(new LzhTables());
    uint8_t lengths[kLhPtCount] = {};
    lengths[0] = 17;
    lengths[1] = 1;
    EXPECT_EQ(-1, MakeLhTable(t.get(), kLhPtCount, lengths, kLhPtTableBits, t->ptTable));
    lengths[0] = 1;
    lengths[2] = 0;
    EXPECT_EQ(0, MakeLhTable(t.get(), kLhPtCount, lengths, kLhPtTableBits, t->ptTable));
    lengths[2] = 2;
    EXPECT_EQ(-2, MakeLhTable(t.get(), kLhPtCount, lengths, kLhPtTableBits, t->ptTable));
    uint8_t none[kLhPtCount] = {};
    EXPECT_EQ(-2, MakeLhTable(t.get(), kLhPtCount, none, kLhPtTableBits, t->ptTable));
}

TEST(LzhDecode, LongCodesWalkTheTree)
{
    // Lengths 1, 2, ..., 15, 16, 16: a complete code deeper than the table.
    std::unique_ptr<LzhTables> t(new LzhTables());
    uint8_t lengths[kLhCharCount] = {};
    for (int i = 0; i < 16; ++i)
        lengths[i] = static_cast<uint8_t>(i + 1);
    lengths[16] = 16;
    ASSERT_EQ(0, MakeLhTable(t.get(), kLhCharCount, lengths, kLhCTableBits, t->cTable));
    EXPECT_EQ(0, t->cTable[0]);
    EXPECT_EQ(11, t->cTable[0xFFE]);
    uint32_t node = t->cTable[0xFFF];
    ASSERT_GE(node, uint32_t(kLhCharCount));
    for (int depth = 0; depth < 3; ++depth)
        node = t->right[node];
    EXPECT_EQ(15u, t->left[node]);
    EXPECT_EQ(16u, t->right[node]);
}

TEST(LzhDecode, OutputCountEndsTheStreamAndCutStreamsStayInside)
{
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadTestData("lzh/lh5.lzh", &bytes));
    ArchiveReader reader;
    reader.file = FileOpenMemory(bytes.data(), bytes.size());
    ASSERT_EQ(kLzhDirOk, ReadLzhDirectory(&reader, reader.file, 0));
    const ArchiveEntry& e = reader.entries[2];  // runs: long matches
    std::vector<uint8_t> whole(e.uncompressedSize);
    ASSERT_EQ(kLzhExtractOk, ExtractLzhMember(&reader, 2, whole.data(), 0, 0));
    EXPECT_EQ(std::vector<uint8_t>(3000, 'A'), std::vector<uint8_t>(whole.begin(), whole.begin() + 3000));

    // 18 bytes stop inside the first match; a cut stream reads zeros past its end.
    const uint8_t* data = bytes.data() + e.dataPosition;
    std::vector<uint8_t> part(18);
    EXPECT_EQ(18u, DecodeLh(reader.lzhTables, data, e.compressedSize, part.data(), 18, '5'));
    EXPECT_EQ(std::vector<uint8_t>(18, 'A'), part);
    for (size_t cut = 0; cut < e.compressedSize; cut += 7) {
        std::vector<uint8_t> copy(data, data + cut);
        std::vector<uint8_t> out(e.uncompressedSize);
        uint32_t n = DecodeLh(reader.lzhTables, copy.data(), copy.size(), out.data(), e.uncompressedSize, '5');
        EXPECT_TRUE(n == 0 || n == e.uncompressedSize) << cut;
    }
    CloseArchive(&reader);
}

// Every compressed member of the committed archives: its bytes, method and size.
struct LhMember {
    std::vector<uint8_t> data;
    uint32_t method;
    uint32_t size;
};

std::vector<LhMember> CommittedMembers()
{
    std::vector<LhMember> members;
    for (const char* name : {"lzh/lh5.lzh", "lzh/lh6.lzh", "lzh/lh7.lzh"}) {
        std::vector<uint8_t> bytes;
        if (!ReadTestData(name, &bytes))
            continue;
        ArchiveReader reader;
        reader.file = FileOpenMemory(bytes.data(), bytes.size());
        if (ReadLzhDirectory(&reader, reader.file, 0) == kLzhDirOk) {
            for (uint32_t i = 0; i < reader.count; ++i) {
                const ArchiveEntry& e = reader.entries[i];
                if (e.method == '0' || e.method == 'd')
                    continue;
                const uint8_t* at = bytes.data() + e.dataPosition;
                members.push_back({std::vector<uint8_t>(at, at + e.compressedSize), e.method, e.uncompressedSize});
            }
        }
        CloseArchive(&reader);
    }
    return members;
}

TEST(LzhDecode, EveryOutputCountGivesAPrefixOfTheWhole)
{
    // Counts near the start, near the end and in between: the main loop
    // changes from bulk decoding to careful decoding within the last match
    // of the output, and must neither stop early nor write past the count.
    std::vector<LhMember> members = CommittedMembers();
    ASSERT_GE(members.size(), 7u);
    std::unique_ptr<LzhTables> t(new LzhTables());
    for (const LhMember& m : members) {
        std::vector<uint8_t> whole(m.size);
        ASSERT_EQ(m.size, DecodeLh(t.get(), m.data.data(), m.data.size(), whole.data(), m.size, m.method));
        std::vector<uint32_t> counts;
        for (uint32_t n = 1; n <= 300 && n <= m.size; ++n)
            counts.push_back(n);
        for (uint32_t n = m.size > 600 ? m.size - 600 : 1; n <= m.size; n += 3)
            counts.push_back(n);
        for (uint32_t n = 301; n < m.size; n += 997)
            counts.push_back(n);
        for (uint32_t n : counts) {
            std::unique_ptr<uint8_t[]> out(new uint8_t[n]);
            ASSERT_EQ(n, DecodeLh(t.get(), m.data.data(), m.data.size(), out.get(), n, m.method)) << n;
            ASSERT_EQ(0, memcmp(whole.data(), out.get(), n)) << "count " << n << " of " << m.size;
        }
    }
}

TEST(LzhDecode, CutStreamsReadZeroBitsPastTheirEnd)
{
    // Whatever a stream cut anywhere decodes, the same cut followed by zero
    // bytes decodes identically: past the end the reader yields zeros, and
    // it never reads the bytes that follow the cut (the copy is exactly as
    // long as the cut). The cut alone fails where a block head no longer
    // fits in it.
    std::vector<LhMember> members = CommittedMembers();
    ASSERT_FALSE(members.empty());
    std::unique_ptr<LzhTables> t(new LzhTables());
    for (const LhMember& m : members) {
        size_t step = m.data.size() / 40 + 1;
        for (size_t cut = 0; cut <= m.data.size(); cut += (cut + 16 < m.data.size() ? step : 1)) {
            std::unique_ptr<uint8_t[]> exact(new uint8_t[cut]);
            memcpy(exact.get(), m.data.data(), cut);
            std::vector<uint8_t> padded(m.data.begin(), m.data.begin() + static_cast<std::ptrdiff_t>(cut));
            padded.resize(cut + 64, 0);
            std::vector<uint8_t> a(m.size, 0xCD);
            std::vector<uint8_t> b(m.size, 0xCD);
            uint32_t na = DecodeLh(t.get(), exact.get(), cut, a.data(), m.size, m.method);
            uint32_t nb = DecodeLh(t.get(), padded.data(), padded.size(), b.data(), m.size, m.method);
            if (na != 0) {
                ASSERT_EQ(m.size, nb) << cut;
                ASSERT_TRUE(a == b) << "cut " << cut << " of " << m.data.size();
            }
        }
    }
}

TEST(LzhDecode, MatchesBeforeTheFirstByteCopyBlanks)
{
    // One block: code-length code of one symbol, literal/length code of the
    // single symbol 256+10 (a match of 13), position code of the single symbol 0.
    // 16 bits block size 1, then 5+5 bits (0, 0), 9+9 bits (0, 266), 4+4 bits (0, 0).
    const uint8_t stream[] = {0x00, 0x01, 0x00, 0x00, 0x10, 0xA0, 0x00, 0x00};
    std::unique_ptr<LzhTables> t(new LzhTables());
    std::vector<uint8_t> out(13, 0);
    ASSERT_EQ(13u, DecodeLh(t.get(), stream, sizeof stream, out.data(), 13, '5'));
    EXPECT_EQ(std::vector<uint8_t>(13, 0x20), out);

    // A count of 0 with a symbol past the code is a table error.
    const uint8_t bad[] = {0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
    EXPECT_EQ(0u, DecodeLh(t.get(), bad, sizeof bad, out.data(), 13, '5'));
}

}  // namespace
