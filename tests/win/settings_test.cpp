// The settings file, read and written through the real profile functions.
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/browser_state.h"
#include "app/settings.h"
#include "support/fixtures.h"
#include "platform/utf8.h"
#include "support/windows_harness.h"

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ini = dir.Path(L"Zize.ini");
    }
    void TearDown() override
    {
        CoTaskMemFree(read.startFolder);
        CoUninitialize();
    }

    void Put(const wchar_t* key, const wchar_t* value)
    {
        WritePrivateProfileStringW(L"WINDOW", key, value, ini.c_str());
    }
    // A complete file as the program writes it.
    void PutAll()
    {
        Put(L"LEFT", L"100");
        Put(L"TOP", L"80");
        Put(L"WIDTH", L"500");
        Put(L"HEIGHT", L"300");
        Put(L"DIV", L"150");
        Put(L"COLOR", L"255");
        Put(L"OPTION", L"5");
    }
    bool Read()
    {
        CoTaskMemFree(read.startFolder);
        read = Settings{};
        return ReadSettingsFile(ini.c_str(), &read);
    }
    std::vector<BYTE> FolderBytes(size_t count) const
    {
        const BYTE* p = reinterpret_cast<const BYTE*>(read.startFolder);
        return p ? std::vector<BYTE>(p, p + count) : std::vector<BYTE>();
    }

    TempDir dir;
    std::wstring ini;
    Settings read = {};
};

TEST_F(SettingsFile, NoFileGivesEveryDefault)
{
    EXPECT_FALSE(Read());
    EXPECT_FALSE(read.geometryComplete);
    EXPECT_EQ(DefaultColour, read.colour);
    EXPECT_EQ(0u, read.options);
    EXPECT_EQ(288, read.splitPosition);
    EXPECT_EQ(nullptr, read.startFolder);
}

TEST_F(SettingsFile, AnyMissingGeometryKeyMakesTheGeometryIncompleteButKeepsTheRest)
{
    for (const wchar_t* key : {L"LEFT", L"TOP", L"WIDTH", L"HEIGHT"}) {
        PutAll();
        Put(key, nullptr);
        EXPECT_FALSE(Read()) << WideToUtf8(key);
        EXPECT_FALSE(read.geometryComplete);
        EXPECT_EQ(150, read.splitPosition);
        EXPECT_EQ(255u, read.colour);
        EXPECT_EQ(5u, read.options);
    }

    // "LEFT" alone is not a geometry.
    DeleteFileW(ini.c_str());
    Put(L"LEFT", L"10");
    EXPECT_FALSE(Read());
}

TEST_F(SettingsFile, ValuesAreCutToTenCharactersAndParsedLeniently)
{
    PutAll();
    Put(L"LEFT", L"12345678901234");   // first 10 characters
    Put(L"TOP", L"-99999999999");     // "-999999999"
    Put(L"WIDTH", L"abc");            // no digit: 0
    Put(L"HEIGHT", L"42px");          // digits up to the first other character
    Put(L"DIV", L"");                 // present and empty: 0
    Put(L"OPTION", L"@3");            // a leading '@' counts as missing
    EXPECT_TRUE(Read());
    EXPECT_EQ(1234567890, read.left);
    EXPECT_EQ(-999999999, read.top);
    EXPECT_EQ(0, read.width);
    EXPECT_EQ(42, read.height);
    EXPECT_EQ(0, read.splitPosition);
    EXPECT_EQ(0u, read.options);
}

TEST(SettingNumber, WrapsInThirtyTwoBitsWithoutAnOverflowCheck)
{
    EXPECT_EQ(-1, ParseSettingNumber(L"4294967295"));
    EXPECT_EQ(0, ParseSettingNumber(L"4294967296"));
    EXPECT_EQ(-2147483647 - 1, ParseSettingNumber(L"2147483648"));
    EXPECT_EQ(0, ParseSettingNumber(L"-"));
    EXPECT_EQ(0, ParseSettingNumber(L""));
    EXPECT_EQ(0, ParseSettingNumber(L"+5"));
    EXPECT_EQ(-12, ParseSettingNumber(L"-12-3"));
}

TEST_F(SettingsFile, ColourWithAHighSpareByteRoundTripsThroughANegativeNumber)
{
    Settings values = {};
    values.colour = 0x80112233;
    values.splitPosition = 288;
    WriteSettingsFile(ini.c_str(), values);
    EXPECT_EQ(L"-2146360781", ReadSettingValue(ini, L"COLOR"));
    Read();
    EXPECT_EQ(0x80112233u, read.colour);

    // Every spare byte survives, the shortest and the longest negatives too.
    for (uint32_t colour : {0xFFFFFFFFu, 0x80000000u, 0xC4FFFFFFu, 0x7F123456u}) {
        values.colour = colour;
        WriteSettingsFile(ini.c_str(), values);
        Read();
        EXPECT_EQ(colour, read.colour);
    }

    // Longer colour values are still cut, after 11 characters.
    Put(L"COLOR", L"-21474836480");
    Read();
    EXPECT_EQ(static_cast<uint32_t>(-2147483647 - 1), read.colour);
}

TEST_F(SettingsFile, WrittenFileHasEveryKeyAndStartsAsUnicode)
{
    Settings values = {};
    values.left = -8;
    values.top = 20;
    values.width = 700;
    values.height = 500;
    values.splitPosition = 200;
    values.colour = 0x00C08040;
    values.options = 7;
    WriteSettingsFile(ini.c_str(), values);

    EXPECT_EQ(L"-8", ReadSettingValue(ini, L"LEFT"));
    EXPECT_EQ(L"20", ReadSettingValue(ini, L"TOP"));
    EXPECT_EQ(L"700", ReadSettingValue(ini, L"WIDTH"));
    EXPECT_EQ(L"500", ReadSettingValue(ini, L"HEIGHT"));
    EXPECT_EQ(L"200", ReadSettingValue(ini, L"DIV"));
    EXPECT_EQ(L"12615744", ReadSettingValue(ini, L"COLOR"));
    EXPECT_EQ(L"7", ReadSettingValue(ini, L"OPTION"));
    EXPECT_EQ(L"0", ReadSettingValue(ini, L"CNTFOLDER"));
    EXPECT_EQ(L"", ReadSettingValue(ini, L"SELFOLDER"));

    HANDLE file = CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    BYTE head[2] = {};
    DWORD got = 0;
    ReadFile(file, head, 2, &got, nullptr);
    CloseHandle(file);
    EXPECT_EQ(0xFF, head[0]);
    EXPECT_EQ(0xFE, head[1]);

    // Read back, with no folder.
    EXPECT_TRUE(Read());
    EXPECT_EQ(-8, read.left);
    EXPECT_EQ(700, read.width);
    EXPECT_EQ(7u, read.options);
    EXPECT_EQ(nullptr, read.startFolder);
}

TEST_F(SettingsFile, FolderOfNBytesIsWrittenAsTwoNDigitsAndReadBack)
{
    LPITEMIDLIST folder = FolderOfPath(L"C:\\windows", nullptr);
    ASSERT_NE(nullptr, folder);
    UINT size = ILGetSize(folder);
    ASSERT_GT(size, 2u);

    Settings values = {};
    values.startFolder = folder;
    WriteSettingsFile(ini.c_str(), values);
    EXPECT_EQ(std::to_wstring(size), ReadSettingValue(ini, L"CNTFOLDER"));
    std::wstring digits = ReadSettingValue(ini, L"SELFOLDER");
    EXPECT_EQ(2 * size, digits.size());
    EXPECT_EQ(L"0000", digits.substr(digits.size() - 4));
    EXPECT_EQ(std::wstring::npos, digits.find_first_not_of(L"0123456789ABCDEF"));

    Read();
    ASSERT_NE(nullptr, read.startFolder);
    EXPECT_EQ(size, ILGetSize(read.startFolder));
    EXPECT_EQ(0, std::memcmp(folder, read.startFolder, size));
    CoTaskMemFree(folder);
}

TEST_F(SettingsFile, ShortSavedFolderDecodesMissingDigitsAsZero)
{
    Put(L"CNTFOLDER", L"6");
    Put(L"SELFOLDER", L"0400AB");
    Read();
    EXPECT_EQ((std::vector<BYTE>{0x04, 0x00, 0xAB, 0x00, 0x00, 0x00}), FolderBytes(6));

    // 2N - 1 digits arrive; the last one is the terminator's low digit.
    Put(L"CNTFOLDER", L"5");
    Put(L"SELFOLDER", L"0300120000");
    Read();
    EXPECT_EQ((std::vector<BYTE>{0x03, 0x00, 0x12, 0x00, 0x00}), FolderBytes(5));

    // Lower-case and other characters are not digits.
    Put(L"CNTFOLDER", L"4");
    Put(L"SELFOLDER", L"0a0Z");
    Read();
    EXPECT_EQ((std::vector<BYTE>{0x00, 0x00, 0x00, 0x00}), FolderBytes(4));
}

TEST_F(SettingsFile, SavedFolderWhoseIdsRunPastItsEndIsCutAtTheBadId)
{
    // The second ID claims 0x50 bytes of a 10-byte list.
    Put(L"CNTFOLDER", L"10");
    Put(L"SELFOLDER", L"040011225000AABB0000");
    Read();
    ASSERT_NE(nullptr, read.startFolder);
    EXPECT_EQ((std::vector<BYTE>{0x04, 0x00, 0x11, 0x22, 0x00, 0x00}), FolderBytes(6));
    EXPECT_EQ(6u, ILGetSize(read.startFolder));

    // A size field of 1 is no ID either.
    Put(L"CNTFOLDER", L"4");
    Put(L"SELFOLDER", L"01000000");
    Read();
    EXPECT_EQ(2u, ILGetSize(read.startFolder));
}

TEST_F(SettingsFile, NoSavedFolderForAZeroNegativeHugeOrNonNumericCount)
{
    for (const wchar_t* count : {L"0", L"-4", L"abc", L"1", L"999999999"}) {
        Put(L"CNTFOLDER", count);
        Put(L"SELFOLDER", L"0000");
        Read();
        EXPECT_EQ(nullptr, read.startFolder) << WideToUtf8(count);
    }
    Put(L"CNTFOLDER", L"2");
    Put(L"SELFOLDER", nullptr);
    Read();
    EXPECT_EQ(nullptr, read.startFolder);
}

class SettingsWithPath : public SettingsFile {
protected:
    void SetUp() override
    {
        SettingsFile::SetUp();
        ResetBrowserState();
        exeDir = dir.Path(L"");
        if (exeDir.empty() || exeDir.back() != L'\\')
            exeDir += L'\\';
        Browser.exeDir = &exeDir[0];
        // A saved folder that a path on the command line must override.
        Put(L"CNTFOLDER", L"2");
        Put(L"SELFOLDER", L"0000");
    }
    void TearDown() override
    {
        Browser.exeDir = nullptr;
        ClearPendingPath();
        SettingsFile::TearDown();
    }
    bool ReadWithPath(const std::wstring& path)
    {
        SetPendingPath(path.c_str(), path.size() + 1);
        CoTaskMemFree(read.startFolder);
        read = Settings{};
        return ReadSettings(&read);
    }
    bool SameFolder(const wchar_t* path)
    {
        LPITEMIDLIST expected = FolderOfPath(path, nullptr);
        bool same = expected && read.startFolder && ILIsEqual(expected, read.startFolder);
        CoTaskMemFree(expected);
        return same;
    }
    std::wstring exeDir;
};

TEST_F(SettingsWithPath, DirectoryOnTheCommandLineIsTheStartFolderAndNothingStaysPending)
{
    ReadWithPath(L"C:\\windows");
    EXPECT_TRUE(SameFolder(L"C:\\windows"));
    EXPECT_EQ(L'\0', PendingPath[0]);
}

TEST_F(SettingsWithPath, FileOnTheCommandLineStartsInItsFolderAndStaysPending)
{
    std::wstring file = dir.Write(L"写真.png", {1, 2, 3});
    ReadWithPath(file);
    EXPECT_TRUE(SameFolder(exeDir.c_str()));
    EXPECT_EQ(file, std::wstring(PendingPath));
}

TEST_F(SettingsWithPath, PathThatDoesNotExistIsClearedAndTheSavedFolderIsRead)
{
    ReadWithPath(dir.Path(L"nothing-here.png"));
    EXPECT_EQ(L'\0', PendingPath[0]);
    ASSERT_NE(nullptr, read.startFolder);
    EXPECT_EQ(2u, ILGetSize(read.startFolder));  // the saved (desktop) list
}

// Where the settings live: beside the program while the file can be
// written there, else in the application data. Under Wine run as root
// neither a folder's permissions nor the read-only attribute stop a write;
// a file that another holds open without sharing it for writing, and a
// folder named "Zize.ini", are what cannot be written there, as the
// program folder under Program Files cannot.
class SettingsPlace : public ::testing::Test {
protected:
    static std::wstring Folder(const TempDir& d)
    {
        std::wstring folder = d.Path(L"");
        if (folder.empty() || folder.back() != L'\\')
            folder += L'\\';
        return folder;
    }
    std::wstring Choose(SettingsUse use) const
    {
        wchar_t path[MAX_PATH + 16] = L"?";
        if (!ChooseSettingsFile(exe.c_str(), appData.c_str(), use, path, MAX_PATH + 16))
            return L"none";
        return path;
    }
    static bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static int32_t Written(const std::wstring& ini, int32_t left)
    {
        Settings values = {};
        values.left = left;
        WriteSettingsFile(ini.c_str(), values);
        Settings read = {};
        ReadSettingsFile(ini.c_str(), &read);
        return read.left;
    }

    TempDir exeDir, dataDir;
    const std::wstring exe = Folder(exeDir);
    const std::wstring appData = Folder(dataDir) + L"Zize\\";
    const std::wstring besideProgram = exe + L"Zize.ini";
    const std::wstring inAppData = appData + L"Zize.ini";
};

TEST_F(SettingsPlace, AWritableProgramFolderKeepsTheFileAndTheProbeLeavesNothing)
{
    EXPECT_EQ(besideProgram, Choose(SettingsUse::Read));
    EXPECT_EQ(besideProgram, Choose(SettingsUse::Write));
    EXPECT_FALSE(Exists(besideProgram));
    EXPECT_FALSE(Exists(appData));

    // Also when the application data has a file of an earlier install.
    ASSERT_TRUE(CreateDirectoryW(appData.c_str(), nullptr));
    EXPECT_EQ(7, Written(inAppData, 7));
    EXPECT_EQ(besideProgram, Choose(SettingsUse::Read));
    EXPECT_EQ(1, Written(besideProgram, 1));
    EXPECT_EQ(besideProgram, Choose(SettingsUse::Write));
}

TEST_F(SettingsPlace, AFileThatCannotBeWrittenBesideTheProgramSendsTheSettingsToTheApplicationData)
{
    // Settings left beside the program that can no longer be written
    // there: still read.
    ASSERT_EQ(5, Written(besideProgram, 5));
    HANDLE holder = CreateFileW(besideProgram.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ASSERT_FALSE(WritePrivateProfileStringW(L"WINDOW", L"LEFT", L"6", besideProgram.c_str()));
    EXPECT_EQ(besideProgram, Choose(SettingsUse::Read));

    // Written to the application data, whose folder is made, and read from
    // there next time; the file beside the program stays as it was.
    EXPECT_EQ(inAppData, Choose(SettingsUse::Write));
    EXPECT_EQ(9, Written(inAppData, 9));
    EXPECT_EQ(inAppData, Choose(SettingsUse::Read));
    CloseHandle(holder);
    EXPECT_EQ(L"5", ReadSettingValue(besideProgram, L"LEFT"));

    // A folder named like the file cannot be written either.
    DeleteFileW(besideProgram.c_str());
    ASSERT_TRUE(CreateDirectoryW(besideProgram.c_str(), nullptr));
    EXPECT_EQ(inAppData, Choose(SettingsUse::Write));
    EXPECT_EQ(inAppData, Choose(SettingsUse::Read));
    RemoveDirectoryW(besideProgram.c_str());
}

TEST_F(SettingsPlace, WithoutAFolderBesideTheProgramOnlyTheApplicationDataIsUsed)
{
    wchar_t path[MAX_PATH + 16];
    EXPECT_TRUE(ChooseSettingsFile(nullptr, appData.c_str(), SettingsUse::Read, path, MAX_PATH + 16));
    EXPECT_EQ(inAppData, path);
    EXPECT_FALSE(ChooseSettingsFile(nullptr, L"", SettingsUse::Write, path, MAX_PATH + 16));
    EXPECT_FALSE(ChooseSettingsFile(exe.c_str(), appData.c_str(), SettingsUse::Write, path, 8));
}

// The program's own road: WriteSettings and ReadSettings find the user's
// application data through the shell.
TEST_F(SettingsPlace, WriteSettingsAndReadSettingsUseTheUsersApplicationData)
{
    wchar_t base[MAX_PATH];
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base));
    const std::wstring folder = std::wstring(base) + L"\\Zize";
    const std::wstring file = folder + L"\\Zize.ini";
    ASSERT_FALSE(Exists(file)) << "an earlier run left " << WideToUtf8(file);
    const bool folderWasThere = Exists(folder);

    ResetBrowserState();
    std::wstring exeText = exe;
    Browser.exeDir = &exeText[0];
    ASSERT_TRUE(CreateDirectoryW(besideProgram.c_str(), nullptr));
    SetBrowserColourValue(0x00123456);
    WriteSettings();
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(std::to_wstring(0x00123456), ReadSettingValue(file, L"COLOR"));
    Settings read = {};
    ReadSettings(&read);
    EXPECT_EQ(0x00123456u, read.colour);
    CoTaskMemFree(read.startFolder);

    Browser.exeDir = nullptr;
    ResetBrowserState();
    DeleteFileW(file.c_str());
    if (!folderWasThere)
        RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(besideProgram.c_str());
}

}  // namespace
