// Browsing with Zize.exe as a user does: a folder given on the command line
// is listed and its pictures appear as thumbnails; a file given on the
// command line, or handed over by a second start, opens in a viewer; the
// listed folder is shown again at the next start.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/load_image_win.h"
#include "image/thumbnail.h"
#include "platform/file.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"

namespace {

constexpr DWORD StartTimeoutMs = 30000;
constexpr DWORD ExitTimeoutMs = 20000;

class Browse : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_FIXTURES();
        exe = CopyFileInto(WindowsPath(ZIZE_EXE), dir.Path(L""));
        ASSERT_FALSE(exe.empty());
        pictures = dir.Path(L"pictures");
        ASSERT_TRUE(CreateDirectoryW(pictures.c_str(), nullptr));
        CreateDirectoryW((pictures + L"\\sub").c_str(), nullptr);
        for (const char* fixture : {"mag/s01_grad_640x400_mag16.mag", "pi/s02_plasma_320x200_pi16.pi",
                                    "p2/s07_text_123x77_p2ss_24.p2", "maki01/s10_stripe2_640x400_maki.mki"})
            names.push_back(CopyFileInto(FixturePath(fixture), pictures));
        CopyFileInto(FixturePath("archives/z01_stored.zip"), pictures);
        HANDLE text = CreateFileW((pictures + L"\\readme.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(text);
        ASSERT_EQ(nullptr, FindWindowW(L"ZaVuvi", nullptr)) << "another Zize is running";
    }

    HWND Start(ChildProcess* process, const std::wstring& arguments)
    {
        if (!process->Start(exe, arguments))
            return nullptr;
        HWND window = WaitForWindow(process->Id(), L"ZaVuvi", StartTimeoutMs);
        if (window)
            process->WaitForIdle(StartTimeoutMs);
        return window;
    }
    static HWND ListOf(HWND window)
    {
        HWND pane = FindWindowExW(window, nullptr, L"ZaraZaduz", L"RIGHT");
        return pane ? FindWindowExW(pane, nullptr, L"SysListView32", nullptr) : nullptr;
    }
    // Waits until the list shows count items.
    static bool WaitForItems(HWND list, size_t count)
    {
        for (int i = 0; i < 3000; ++i) {
            if (ListViewItemTexts(list).size() == count)
                return true;
            Sleep(10);
        }
        return false;
    }
    static int IndexOf(HWND list, const std::wstring& name)
    {
        const std::vector<std::wstring> texts = ListViewItemTexts(list);
        for (size_t i = 0; i < texts.size(); ++i)
            if (texts[i] == name)
                return static_cast<int>(i);
        return -1;
    }

    TempDir dir;
    std::wstring exe;
    std::wstring pictures;
    std::vector<std::wstring> names;
};

// The 80 x 80 thumbnail of a picture file as 0xRRGGBB, top row first.
std::vector<uint32_t> ExpectedThumbnail(const std::wstring& path)
{
    std::vector<uint32_t> pixels;
    FileHandle file = FileOpenRead(path.c_str());
    DecodedImage picture = {};
    const int loaded = LoadImageFile(path.c_str(), file, &picture, 0);
    FileClose(file);
    if (loaded != 0)
        return pixels;
    ThumbnailBlock thumb;
    ScaleToThumbnail(&thumb, picture.pixels, picture.width, picture.height, (picture.width * 3 + 3) & ~3u);
    ReleaseDecodedImage(&picture);
    for (int i = 0; i < 80 * 80; ++i)
        pixels.push_back(uint32_t(thumb.pixels[i * 3 + 2]) << 16 | uint32_t(thumb.pixels[i * 3 + 1]) << 8 |
                         thumb.pixels[i * 3]);
    return pixels;
}

// Whether the screen shows the thumbnail anywhere inside the icon rectangle.
bool ShowsThumbnail(const std::vector<uint32_t>& screen, SIZE size, RECT icon, const std::vector<uint32_t>& thumb)
{
    for (LONG y = icon.top; y + 80 <= icon.bottom + 2 && y + 80 <= size.cy; ++y)
        for (LONG x = icon.left; x + 80 <= icon.right && x + 80 <= size.cx; ++x) {
            if (x < 0 || y < 0)
                continue;
            bool same = true;
            for (int row = 0; same && row < 80; ++row)
                for (int column = 0; same && column < 80; ++column)
                    same = screen[(y + row) * size.cx + x + column] == thumb[row * 80 + column];
            if (same)
                return true;
        }
    return false;
}

TEST_F(Browse, AFolderOnTheCommandLineShowsItsPicturesAsThumbnails)
{
    ChildProcess zize;
    HWND window = Start(&zize, L"\"" + pictures + L"\"");
    ASSERT_NE(nullptr, window);
    HWND list = ListOf(window);
    ASSERT_NE(nullptr, list);

    // The folder first, then the files with the archive and the text file.
    ASSERT_TRUE(WaitForItems(list, 7)) << ListViewItemTexts(list).size() << " items";
    EXPECT_EQ(L"sub", ListViewItemTexts(list)[0]);

    // Every picture's icon turns into its thumbnail.
    bool all = false;
    for (int attempt = 0; attempt < 300 && !all; ++attempt) {
        SIZE size = {};
        const std::vector<uint32_t> screen = CaptureClient(list, &size);
        all = true;
        for (const std::wstring& path : names) {
            const std::wstring name = path.substr(path.rfind(L'\\') + 1);
            const int index = IndexOf(list, name);
            const std::vector<uint32_t> thumb = ExpectedThumbnail(path);
            all = all && index >= 0 && !thumb.empty() && ShowsThumbnail(screen, size, ListViewIconRect(list, index), thumb);
        }
        if (!all)
            Sleep(100);
    }
    EXPECT_TRUE(all) << "not every picture shows its thumbnail";
    std::wstring artifacts = WindowsPath(ZIZE_ARTIFACT_DIR);
    CreateDirectoryW(artifacts.c_str(), nullptr);
    SaveWindowPng(window, artifacts + L"\\browser_folder.png");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, zize.WaitForExit(ExitTimeoutMs));
}

TEST_F(Browse, AFileOnTheCommandLineOpensAndTheFolderIsShownAgainAtTheNextStart)
{
    // The file's folder is listed and the file opens in a viewer.
    ChildProcess zize;
    HWND window = Start(&zize, L"\"" + names[1] + L"\"");
    ASSERT_NE(nullptr, window);
    HWND viewer = WaitForWindow(zize.Id(), L"RezaDiz", StartTimeoutMs);
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(names[1], WindowTitle(viewer));
    EXPECT_EQ(320, ClientSize(viewer).cx);
    EXPECT_EQ(200, ClientSize(viewer).cy);

    // A second start hands its file over: the running instance opens it.
    ChildProcess second;
    ASSERT_TRUE(second.Start(exe, L"\"" + names[2] + L"\""));
    EXPECT_EQ(0u, second.WaitForExit(ExitTimeoutMs));
    HWND other = nullptr;
    for (int i = 0; i < 3000 && !other; ++i) {
        other = FindWindowW(L"RezaDiz", names[2].c_str());
        if (!other)
            Sleep(10);
    }
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(123, ClientSize(other).cx);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, zize.WaitForExit(ExitTimeoutMs));
    const std::wstring ini = dir.Path(L"Zize.ini");
    EXPECT_NE(L"0", ReadSettingValue(ini, L"CNTFOLDER"));

    // Without a path the saved folder is listed again.
    ChildProcess again;
    window = Start(&again, L"");
    ASSERT_NE(nullptr, window);
    HWND list = ListOf(window);
    EXPECT_TRUE(WaitForItems(list, 7));
    EXPECT_GE(IndexOf(list, L"readme.txt"), 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, again.WaitForExit(ExitTimeoutMs));
}

}  // namespace
