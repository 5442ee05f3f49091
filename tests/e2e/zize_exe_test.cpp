// Zize.exe started from outside, as a user would: each test runs its own
// copy from a fresh folder, so the settings file is the test's own.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/windows_harness.h"

namespace {

constexpr DWORD StartTimeoutMs = 30000;
constexpr DWORD ExitTimeoutMs = 20000;

class ZizeExe : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.Path(L"");
        exe = CopyFileInto(WindowsPath(ZIZE_EXE), folder);
        ASSERT_FALSE(exe.empty()) << "cannot copy Zize.exe";
        ini = dir.Path(L"Zize.ini");
        ASSERT_EQ(nullptr, FindWindowW(L"ZaVuvi", nullptr)) << "another Zize is running";
    }

    // Starts the copy and waits for its main window.
    HWND Start(ChildProcess* process, const std::wstring& arguments = L"")
    {
        if (!process->Start(exe, arguments))
            return nullptr;
        HWND window = WaitForWindow(process->Id(), L"ZaVuvi", StartTimeoutMs);
        if (window)
            process->WaitForIdle(StartTimeoutMs);
        return window;
    }
    // Closes a main window and returns the exit code of its process.
    DWORD Close(HWND window, const ChildProcess& process)
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return process.WaitForExit(ExitTimeoutMs);
    }

    TempDir dir;
    std::wstring folder;
    std::wstring exe;
    std::wstring ini;
};

TEST_F(ZizeExe, FirstStartOpensTheDefaultWindowAndWritesTheSettingsOnClose)
{
    ChildProcess zize;
    HWND window = Start(&zize);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(L"ZaVuvi", WindowClassName(window));
    EXPECT_EQ(L"Zize", WindowTitle(window));
    SIZE client = ClientSize(window);
    EXPECT_EQ(640, client.cx);
    EXPECT_EQ(448, client.cy);

    // The two panes above the status bar, the tree and the list inside them.
    HWND status = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
    HWND left = FindWindowExW(window, nullptr, L"ZaraZaduz", L"LEFT");
    HWND right = FindWindowExW(window, nullptr, L"ZaraZaduz", L"RIGHT");
    ASSERT_NE(nullptr, status);
    ASSERT_NE(nullptr, left);
    ASSERT_NE(nullptr, right);
    EXPECT_EQ(20, GetDlgCtrlID(status));
    EXPECT_NE(nullptr, FindWindowExW(left, nullptr, L"SysTreeView32", nullptr));
    EXPECT_NE(nullptr, FindWindowExW(right, nullptr, L"SysListView32", nullptr));
    RECT l = {}, r = {}, s = {};
    GetWindowRect(left, &l);
    GetWindowRect(right, &r);
    GetWindowRect(status, &s);
    EXPECT_EQ(288, l.right - l.left);
    EXPECT_EQ(640 - 288, r.right - r.left);
    EXPECT_EQ(l.right, r.left);
    EXPECT_EQ(s.top, l.bottom);

    // A picture of the window for a person to look at.
    std::wstring artifacts = WindowsPath(ZIZE_ARTIFACT_DIR);
    CreateDirectoryW(artifacts.c_str(), nullptr);
    Sleep(300);
    EXPECT_TRUE(SaveWindowPng(window, artifacts + L"\\zize_main_window.png"));

    ASSERT_EQ(0u, Close(window, zize));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(L"640", ReadSettingValue(ini, L"WIDTH"));
    EXPECT_EQ(L"448", ReadSettingValue(ini, L"HEIGHT"));
    EXPECT_EQ(L"288", ReadSettingValue(ini, L"DIV"));
    EXPECT_EQ(L"16777215", ReadSettingValue(ini, L"COLOR"));
    EXPECT_EQ(L"0", ReadSettingValue(ini, L"OPTION"));
    // The listed folder, the program's own without a saved one, is kept.
    const std::wstring count = ReadSettingValue(ini, L"CNTFOLDER");
    const std::wstring folder = ReadSettingValue(ini, L"SELFOLDER");
    EXPECT_LT(2, _wtoi(count.c_str()));
    EXPECT_EQ(2u * _wtoi(count.c_str()), folder.size());
    EXPECT_EQ(L"0000", folder.substr(folder.size() - 4));
    EXPECT_NE(L"@missing", ReadSettingValue(ini, L"LEFT"));
    EXPECT_NE(L"@missing", ReadSettingValue(ini, L"TOP"));
}

TEST_F(ZizeExe, SavedGeometryAndOptionsAreUsedAndWrittenBack)
{
    for (auto [key, value] : {std::pair<const wchar_t*, const wchar_t*>{L"LEFT", L"120"}, {L"TOP", L"90"},
                              {L"WIDTH", L"500"}, {L"HEIGHT", L"320"}, {L"DIV", L"150"},
                              {L"COLOR", L"-2146360781"}, {L"OPTION", L"6"}})
        WritePrivateProfileStringW(L"WINDOW", key, value, ini.c_str());

    ChildProcess zize;
    HWND window = Start(&zize);
    ASSERT_NE(nullptr, window);
    SIZE client = ClientSize(window);
    EXPECT_EQ(500, client.cx);
    EXPECT_EQ(320, client.cy);
    RECT outer = {};
    GetWindowRect(window, &outer);
    EXPECT_EQ(120, outer.left);
    EXPECT_EQ(90, outer.top);
    RECT left = {};
    GetWindowRect(FindWindowExW(window, nullptr, L"ZaraZaduz", L"LEFT"), &left);
    EXPECT_EQ(150, left.right - left.left);

    // Maximised at the end: the restored place is what is kept.
    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_EQ(0u, Close(window, zize));
    EXPECT_EQ(L"120", ReadSettingValue(ini, L"LEFT"));
    EXPECT_EQ(L"90", ReadSettingValue(ini, L"TOP"));
    EXPECT_EQ(L"500", ReadSettingValue(ini, L"WIDTH"));
    EXPECT_EQ(L"320", ReadSettingValue(ini, L"HEIGHT"));
    EXPECT_EQ(L"150", ReadSettingValue(ini, L"DIV"));
    EXPECT_EQ(L"-2146360781", ReadSettingValue(ini, L"COLOR"));
    EXPECT_EQ(L"6", ReadSettingValue(ini, L"OPTION"));
}

TEST_F(ZizeExe, SecondStartHandsItsPathOverAndEndsWithZeroWhileTheFirstRuns)
{
    ChildProcess first;
    HWND window = Start(&first);
    ASSERT_NE(nullptr, window);
    RECT before = {};
    GetWindowRect(window, &before);

    // A folder handed over is shown in the running window's list.
    ASSERT_TRUE(CreateDirectoryW(dir.Path(L"other").c_str(), nullptr));
    dir.Write(L"other\\shown.txt", std::vector<uint8_t>(8, 'x'));
    ChildProcess withPath;
    ASSERT_TRUE(withPath.Start(exe, L"\"" + dir.Path(L"other") + L"\""));
    EXPECT_EQ(0u, withPath.WaitForExit(ExitTimeoutMs));
    HWND right = FindWindowExW(window, nullptr, L"ZaraZaduz", L"RIGHT");
    HWND list = right ? FindWindowExW(right, nullptr, L"SysListView32", nullptr) : nullptr;
    ASSERT_NE(nullptr, list);
    bool shown = false;
    for (int i = 0; i < 500 && !shown; ++i) {
        shown = ListViewItemTexts(list) == std::vector<std::wstring>{L"shown.txt"};
        if (!shown)
            Sleep(20);
    }
    EXPECT_TRUE(shown) << "the handed-over folder was not listed";

    ChildProcess withNothing;
    ASSERT_TRUE(withNothing.Start(exe, L""));
    EXPECT_EQ(0u, withNothing.WaitForExit(ExitTimeoutMs));

    // The first keeps running, its window where it was, and it is the only one.
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(window, FindWindowW(L"ZaVuvi", nullptr));
    RECT after = {};
    GetWindowRect(window, &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
    EXPECT_EQ(before.right, after.right);
    EXPECT_EQ(before.bottom, after.bottom);
    EXPECT_EQ(L"Zize", WindowTitle(window));

    EXPECT_EQ(0u, Close(window, first));
}

// An uncompressed 24-bit TGA of one colour.
std::vector<uint8_t> PlainTga(uint16_t width, uint16_t height, uint8_t shade)
{
    std::vector<uint8_t> file(18, 0);
    file[2] = 2;
    file[12] = uint8_t(width);
    file[13] = uint8_t(width >> 8);
    file[14] = uint8_t(height);
    file[15] = uint8_t(height >> 8);
    file[16] = 24;
    file.resize(18 + size_t(width) * height * 3, shade);
    return file;
}

TEST_F(ZizeExe, FilesOpenedTogetherFromOutsideEachOpenInAViewer)
{
    // As Explorer does for five selected files: five starts in a row, each
    // with one file of a folder that is not listed yet.
    ChildProcess first;
    HWND window = Start(&first);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(CreateDirectoryW(dir.Path(L"five").c_str(), nullptr));
    std::vector<std::wstring> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(dir.Write(L"five\\" + std::to_wstring(i) + L".tga", PlainTga(16, 8, uint8_t(40 * i))));
    for (const std::wstring& path : paths) {
        ChildProcess second;
        ASSERT_TRUE(second.Start(exe, L"\"" + path + L"\""));
        EXPECT_EQ(0u, second.WaitForExit(ExitTimeoutMs));
    }

    // Every file gets its viewer, not only the last.
    for (const std::wstring& path : paths) {
        HWND viewer = nullptr;
        for (int i = 0; i < 1000 && !viewer; ++i) {
            viewer = FindWindowW(L"RezaDiz", path.c_str());
            if (!viewer)
                Sleep(20);
        }
        EXPECT_NE(nullptr, viewer) << "no viewer for the handed-over file";
    }
    EXPECT_EQ(0u, Close(window, first));
}

}  // namespace
