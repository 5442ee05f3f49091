#include "archive/archive_reader.h"

#include <new>

#include <gtest/gtest.h>

namespace {

TEST(ArchiveReader, CloseReleasesPartlyFilledReadersAndIsSafeTwice)
{
    // Three entries of which only the first got its name, as after a failed read.
    static const uint8_t kBytes[] = {'a', 'b'};
    ArchiveReader reader;
    reader.file = FileOpenMemory(kBytes, sizeof kBytes);
    reader.entries = new (std::nothrow) ArchiveEntry[3];
    ASSERT_NE(nullptr, reader.entries);
    reader.count = 3;
    reader.entries[0].name = ConvertArchiveName(kBytes, 2, &reader.entries[0].nameLength);
    CloseArchive(&reader);
    EXPECT_EQ(kInvalidFile, reader.file);
    EXPECT_EQ(nullptr, reader.entries);
    CloseArchive(&reader);
    CloseArchive(nullptr);
}

TEST(ArchiveReader, NamesStopAtAZeroByteAndMayBeEmpty)
{
    static const uint8_t kBytes[] = {'a', 'b', 0, 'c'};
    uint32_t length = 99;
    wchar_t* name = ConvertArchiveName(kBytes, 4, &length);
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ(L"ab", name);
    EXPECT_EQ(2u, length);
    delete[] name;

    name = ConvertArchiveName(kBytes, 0, &length);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ(0, name[0]);
    EXPECT_EQ(0u, length);
    delete[] name;
}

}  // namespace
