#include "platform/file_write.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace {

std::vector<uint8_t> ReadBack(const std::wstring& path)
{
    ScopedFile f(FileOpenRead(path.c_str()));
    std::vector<uint8_t> bytes(size_t(FileSize(f.get()) > 0 ? FileSize(f.get()) : 0));
    if (!bytes.empty()) {
        EXPECT_EQ(int64_t(bytes.size()), FileRead(f.get(), bytes.data(), bytes.size()));
    }
    return bytes;
}

TEST(FileWrite, CreatesAndReplacesFiles)
{
    TempDir dir;
    std::wstring path = dir.Write(L"out.bin", std::vector<uint8_t>(500, 'x'));
    std::vector<uint8_t> data(3 * 65536 + 7);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 31);
    {
        ScopedFile f(FileCreateForWrite(path.c_str()));
        ASSERT_TRUE(f.valid());
        EXPECT_TRUE(FileWriteAll(f.get(), data.data(), 10));
        EXPECT_TRUE(FileWriteAll(f.get(), data.data() + 10, data.size() - 10));
        EXPECT_TRUE(FileWriteAll(f.get(), data.data(), 0));
    }
    EXPECT_EQ(data, ReadBack(path));
}

TEST(FileWrite, FailsForAMissingFolderAndAnInvalidHandle)
{
    TempDir dir;
    std::wstring path = dir.Path(L"no-such-folder") + L"/f.bin";
    EXPECT_EQ(kInvalidFile, FileCreateForWrite(path.c_str()));
    uint8_t byte = 1;
    EXPECT_FALSE(FileWriteAll(kInvalidFile, &byte, 1));
}

}  // namespace
