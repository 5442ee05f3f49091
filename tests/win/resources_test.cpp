// The resources compiled into Zize.exe.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/utf8.h"

namespace {

std::wstring ExePath()
{
    std::string path = ZIZE_EXE;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;  // the Unix root is drive Z: under Wine
    return Utf8ToWide(path);
}

class ZizeExeResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExW(ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << "cannot load Zize.exe as data, error " << GetLastError();
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }
    HMODULE module = nullptr;
};

TEST_F(ZizeExeResources, ProgramIconInTheUsualSizes)
{
    ASSERT_NE(nullptr, FindResourceW(module, L"ZAVUVI", reinterpret_cast<LPCWSTR>(RT_GROUP_ICON)));
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageW(module, L"ZAVUVI", IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm = {};
        ASSERT_TRUE(GetObjectW(info.hbmColor, sizeof bm, &bm));
        EXPECT_EQ(size, bm.bmWidth);
        EXPECT_EQ(size, bm.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST_F(ZizeExeResources, VersionRecordNamesTheProduct)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), reinterpret_cast<LPCWSTR>(RT_VERSION));
    ASSERT_NE(nullptr, found);
    const void* data = LockResource(LoadResource(module, found));
    ASSERT_NE(nullptr, data);
    const VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    // VerQueryValueW needs a writable copy.
    std::string copy(static_cast<const char*>(data), SizeofResource(module, found));
    ASSERT_TRUE(VerQueryValueW(&copy[0], L"\\", reinterpret_cast<void**>(const_cast<VS_FIXEDFILEINFO**>(&fixed)), &length));
    EXPECT_EQ(0x00000008u, fixed->dwFileVersionMS);  // 0.8
    wchar_t* name = nullptr;
    ASSERT_TRUE(VerQueryValueW(&copy[0], L"\\StringFileInfo\\041104B0\\ProductName", reinterpret_cast<void**>(&name), &length));
    EXPECT_EQ(std::wstring(L"Zize"), std::wstring(name));
}

}  // namespace
