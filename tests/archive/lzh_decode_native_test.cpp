// The LZH decoder against liblhasa on every member of the test archives.
#include "archive/lzh_decode.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <lhasa.h>
}

#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"
#include "support/fixtures.h"
#include "support/test_data.h"

namespace {

// Every member's bytes as liblhasa extracts them, in archive order.
std::vector<std::vector<uint8_t>> LhasaMembers(const std::vector<uint8_t>& archive)
{
    std::vector<std::vector<uint8_t>> members;
    FILE* f = fmemopen(const_cast<uint8_t*>(archive.data()), archive.size(), "rb");
    if (!f)
        return members;
    LHAInputStream* stream = lha_input_stream_from_FILE(f);
    LHAReader* reader = lha_reader_new(stream);
    while (LHAFileHeader* h = lha_reader_next_file(reader)) {
        std::vector<uint8_t> data(h->length);
        size_t got = 0;
        while (got < data.size()) {
            size_t n = lha_reader_read(reader, data.data() + got, data.size() - got);
            if (n == 0)
                break;
            got += n;
        }
        data.resize(got);
        members.push_back(data);
    }
    lha_reader_free(reader);
    lha_input_stream_free(stream);
    fclose(f);
    return members;
}

// Compares every member of one archive with liblhasa's reading.
void CompareWithLhasa(const std::string& label, const std::vector<uint8_t>& bytes)
{
    std::vector<std::vector<uint8_t>> expected = LhasaMembers(bytes);
    ArchiveReader reader;
    reader.file = FileOpenMemory(bytes.data(), bytes.size());
    ASSERT_EQ(kLzhDirOk, ReadLzhDirectory(&reader, reader.file, 0)) << label;
    ASSERT_EQ(expected.size(), reader.count) << label;
    for (uint32_t i = 0; i < reader.count; ++i) {
        std::vector<uint8_t> out(reader.entries[i].uncompressedSize);
        ASSERT_EQ(kLzhExtractOk, ExtractLzhMember(&reader, i, out.data(), 0, 0)) << label << " " << i;
        EXPECT_TRUE(expected[i] == out) << label << " member " << i;
    }
    CloseArchive(&reader);
}

TEST(LzhDecodeLhasa, CommittedArchivesDecodeAsLhasaDoes)
{
    for (const char* name : {"lzh/lh5.lzh", "lzh/lh6.lzh", "lzh/lh7.lzh"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadTestData(name, &bytes)) << name;
        CompareWithLhasa(name, bytes);
    }
}

TEST(LzhDecodeLhasa, FixturesDecodeAsLhasaDoes)
{
    REQUIRE_FIXTURES();
    for (const char* name : {"archives/l02_lh5_lv0.lzh", "archives/l03_lh5_lv1_dir.lzh",
                             "archives/l06_lh7_lv2.lzh", "archives/l10_sjis_lh5_lv2.lzh"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(name, &bytes)) << name;
        CompareWithLhasa(name, bytes);
    }
}

}  // namespace
