#include "platform/file.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace {

std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    return v;
}

TEST(PlatformFile, ReadsSeeksAndReportsSize)
{
    TempDir dir;
    std::vector<uint8_t> bytes = Pattern(100000);
    ScopedFile f(FileOpenRead(dir.Write(L"data.bin", bytes).c_str()));
    ASSERT_TRUE(f.valid());
    EXPECT_EQ(100000, FileSize(f.get()));

    std::vector<uint8_t> got(100000);
    EXPECT_EQ(100000, FileRead(f.get(), got.data(), got.size()));
    EXPECT_EQ(bytes, got);

    // At the end a read returns 0; a seek goes back.
    EXPECT_EQ(0, FileRead(f.get(), got.data(), 10));
    ASSERT_TRUE(FileSeek(f.get(), 99990));
    EXPECT_EQ(10, FileRead(f.get(), got.data(), 100));  // only what is there
    EXPECT_EQ(bytes[99990], got[0]);
    ASSERT_TRUE(FileSeek(f.get(), 0));
    EXPECT_EQ(3, FileRead(f.get(), got.data(), 3));
    EXPECT_EQ(bytes[2], got[2]);

    // A position past the end reads nothing.
    ASSERT_TRUE(FileSeek(f.get(), 200000));
    EXPECT_EQ(0, FileRead(f.get(), got.data(), 10));
}

TEST(PlatformFile, EmptyFileAndFailures)
{
    TempDir dir;
    ScopedFile empty(FileOpenRead(dir.Write(L"empty", {}).c_str()));
    ASSERT_TRUE(empty.valid());
    EXPECT_EQ(0, FileSize(empty.get()));
    uint8_t b;
    EXPECT_EQ(0, FileRead(empty.get(), &b, 1));

    EXPECT_EQ(kInvalidFile, FileOpenRead(dir.Path(L"missing").c_str()));
    EXPECT_EQ(kInvalidFile, FileOpenRead(dir.Path(L"").c_str()));  // a folder
    EXPECT_EQ(-1, FileSize(kInvalidFile));
    EXPECT_EQ(-1, FileRead(kInvalidFile, &b, 1));
    FileClose(kInvalidFile);  // harmless
}

TEST(PlatformFile, ScopedFileReleases)
{
    TempDir dir;
    std::wstring path = dir.Write(L"x", {1, 2, 3});
    FileHandle raw;
    {
        ScopedFile f(FileOpenRead(path.c_str()));
        ASSERT_TRUE(f.valid());
        raw = f.release();
        EXPECT_FALSE(f.valid());
    }
    uint8_t b[3];
    EXPECT_EQ(3, FileRead(raw, b, 3));  // still open after the owner went away
    FileClose(raw);
}

}  // namespace

TEST(PlatformFile, MemoryFilesReadLikeFiles)
{
    std::vector<uint8_t> bytes = Pattern(1000);
    FileHandle f = FileOpenMemory(bytes.data(), bytes.size());
    ASSERT_NE(kInvalidFile, f);
    EXPECT_EQ(1000, FileSize(f));
    std::vector<uint8_t> got(600);
    EXPECT_EQ(600, FileRead(f, got.data(), 600));
    EXPECT_EQ(400, FileRead(f, got.data(), 600));  // only what is left
    EXPECT_EQ(bytes[600], got[0]);
    EXPECT_EQ(0, FileRead(f, got.data(), 1));
    ASSERT_TRUE(FileSeek(f, 5000));
    EXPECT_EQ(0, FileRead(f, got.data(), 1));
    ASSERT_TRUE(FileSeek(f, 999));
    EXPECT_EQ(1, FileRead(f, got.data(), 10));
    EXPECT_EQ(bytes[999], got[0]);
    FileClose(f);

    // An empty memory file, and no memory at all.
    uint8_t b;
    FileHandle empty = FileOpenMemory(&b, 0);
    EXPECT_EQ(0, FileSize(empty));
    EXPECT_EQ(0, FileRead(empty, &b, 1));
    FileClose(empty);
    EXPECT_EQ(kInvalidFile, FileOpenMemory(nullptr, 10));
}
