// Classification checks that need Windows itself (run under Wine).
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/classify.h"
#include "support/fixtures.h"

namespace {

TEST(FindPathExtensionWin, AgreesWithTheShell)
{
    const wchar_t* paths[] = {
        L"a.tga", L"b.tar.gz", L"C:\\a.b\\c", L"C:\\a.b\\c.d", L".hidden", L"noext", L"",
        L"trailing.", L"a.b c", L"a b.c", L"dir/x.tga", L"a.b/c", L"\\\\server\\share.x\\f",
        L"C:\\dir\\.tga", L"x..tga", L"\x753B\x50CF.JPG", L"a.\x3000" L"b", L"dir\\sub\\picture.TGA",
    };
    for (const wchar_t* p : paths)
        EXPECT_EQ(PathFindExtensionW(p), FindPathExtension(p)) << "path index " << (&p - paths);
}

TEST(OpenAndClassifyWin, RefusesAFileLockedForReading)
{
    TempDir dir;
    std::vector<uint8_t> bytes(64, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    std::wstring path = dir.Write(L"locked.bmp", bytes);

    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    FileKind kind = 99;
    EXPECT_EQ(kInvalidFile, OpenAndClassify(path.c_str(), &kind));
    EXPECT_EQ(99u, kind);
    CloseHandle(lock);

    ScopedFile f(OpenAndClassify(path.c_str(), &kind));
    EXPECT_TRUE(f.valid());
    EXPECT_EQ(KindBmp, kind);
}

// After a refusal no handle may stay open: an exclusive open must succeed.
TEST(OpenAndClassifyWin, LeavesNothingOpenOnFailure)
{
    TempDir dir;
    std::wstring shortFile = dir.Write(L"short.bmp", std::vector<uint8_t>(16, 'B'));
    std::wstring unknown = dir.Write(L"unknown.bin", std::vector<uint8_t>(64, 'x'));
    for (const std::wstring& path : {shortFile, unknown}) {
        EXPECT_EQ(kInvalidFile, OpenAndClassify(path.c_str(), nullptr));
        HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
        if (exclusive != INVALID_HANDLE_VALUE)
            CloseHandle(exclusive);
    }
}

// The handle it returns lets others read but not write, as CreateFileW with
// FILE_SHARE_READ does.
TEST(OpenAndClassifyWin, SharesTheFileForReadingOnly)
{
    TempDir dir;
    std::vector<uint8_t> bytes(64, 0);
    memcpy(bytes.data(), "8BPS", 4);
    std::wstring path = dir.Write(L"doc.psd", bytes);
    ScopedFile f(OpenAndClassify(path.c_str(), nullptr));
    ASSERT_TRUE(f.valid());
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
}

}  // namespace
