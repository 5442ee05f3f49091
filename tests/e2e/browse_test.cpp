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
    if (thumb.size() != 80 * 80 || screen.size() != size_t(size.cx) * size.cy)
        return false;
    const LONG top = icon.top > 4 ? icon.top - 4 : 0;
    const LONG left = icon.left > 4 ? icon.left - 4 : 0;
    for (LONG y = top; y + 80 <= icon.bottom + 4 && y + 80 <= size.cy; ++y)
        for (LONG x = left; x + 80 <= icon.right + 4 && x + 80 <= size.cx; ++x) {
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

    // The selected picture's name and size on the status bar.
    const std::wstring first = names[0].substr(names[0].rfind(L'\\') + 1);
    SelectListViewItem(list, IndexOf(list, first));
    HWND status = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
    std::wstring text;
    for (int i = 0; i < 500 && text.find(L" : 640 x 400 4bit") == std::wstring::npos; ++i) {
        text = StatusBarText(status);
        if (text.find(L" : 640 x 400 4bit") == std::wstring::npos)
            Sleep(10);
    }
    EXPECT_EQ(first + L" : 640 x 400 4bit", text);
    zize.WaitForIdle(StartTimeoutMs);  // painted before the picture is taken
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

TEST_F(Browse, AnArchiveOnTheCommandLineOpensItsWindowWithItsMembers)
{
    const std::wstring archive = CopyFileInto(FixturePath("archives/l02_lh5_lv0.lzh"), pictures);
    ChildProcess zize;
    HWND window = Start(&zize, L"\"" + archive + L"\"");
    ASSERT_NE(nullptr, window);
    HWND archiveWindow = WaitForWindow(zize.Id(), L"ZuzeDod", StartTimeoutMs);
    ASSERT_NE(nullptr, archiveWindow);
    HWND members = FindWindowExW(archiveWindow, nullptr, L"SysListView32", nullptr);
    ASSERT_TRUE(WaitForItems(members, 3));
    const std::vector<std::wstring> texts = ListViewItemTexts(members);
    EXPECT_EQ(L"s07_text_123x77_mag16.mag", texts[0]);
    EXPECT_EQ(L"readme.txt", texts[2]);
    std::wstring artifacts = WindowsPath(ZIZE_ARTIFACT_DIR);
    CreateDirectoryW(artifacts.c_str(), nullptr);
    SaveWindowPng(archiveWindow, artifacts + L"\\archive_window_from_command_line.png");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, zize.WaitForExit(ExitTimeoutMs));
}

// Writes bytes to a file in a folder; returns its path.
std::wstring WriteBytes(const std::wstring& folder, const std::wstring& name, const std::vector<uint8_t>& bytes)
{
    const std::wstring path = folder + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        if (!bytes.empty())
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

TEST_F(Browse, DamagedFilesKeepTheirIconsAndTheGoodOnesStillGetThumbnails)
{
    // Every fixture picture cut in half and bit-flipped, under names that
    // sort among the good pictures.
    const std::wstring damaged = dir.Path(L"damaged");
    ASSERT_TRUE(CreateDirectoryW(damaged.c_str(), nullptr));
    int n = 0;
    for (const ManifestRow& row : ReadManifest()) {
        std::vector<uint8_t> bytes;
        if (row.format.rfind("ZIP", 0) == 0 || row.format.rfind("LZH", 0) == 0 || !ReadFixture(row.path, &bytes))
            continue;
        const std::string dot = row.path.substr(row.path.rfind('.'));
        const std::wstring extension(dot.begin(), dot.end());
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + bytes.size() / 2);
        WriteBytes(damaged, L"c" + std::to_wstring(n) + extension, cut);
        for (size_t i = 17; i < bytes.size(); i += 97)
            bytes[i] ^= 0x5A;
        WriteBytes(damaged, L"f" + std::to_wstring(n) + extension, bytes);
        ++n;
    }
    ASSERT_GT(n, 10);

    // A header that claims 65,535 x 65,535, an empty file, a ZIP that is
    // none, a long name, and a file that cannot be opened while it is listed.
    std::vector<uint8_t> huge(18, 0);
    huge[2] = 2;
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
    huge[16] = 24;
    WriteBytes(damaged, L"huge.tga", huge);
    WriteBytes(damaged, L"empty.mag", {});
    WriteBytes(damaged, L"fake.zip", std::vector<uint8_t>{'P', 'K', 3, 4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    WriteBytes(damaged, std::wstring(150, L'x') + L".pi", {'P', 'i', 0x1A});
    const std::wstring locked = CopyFileInto(FixturePath("pi/s07_text_123x77_pi16.pi"), damaged);
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);

    // Good pictures among them, one with a Japanese name.
    const std::wstring japanese = damaged + L"\\\u65E5\u672C\u8A9E\u306E\u7D75.mag";
    ASSERT_TRUE(CopyFileW(names[0].c_str(), japanese.c_str(), FALSE));
    const std::wstring last = CopyFileInto(names[2], damaged);

    ChildProcess zize;
    HWND window = Start(&zize, L"\"" + damaged + L"\"");
    ASSERT_NE(nullptr, window);
    HWND list = ListOf(window);
    const size_t items = 2 * n + 7;
    ASSERT_TRUE(WaitForItems(list, items)) << ListViewItemTexts(list).size() << " of " << items;

    bool shown = true;
    for (const std::wstring& path : {japanese, last}) {
        const int index = IndexOf(list, path.substr(path.rfind(L'\\') + 1));
        ASSERT_GE(index, 0);
        bool found = false;
        for (int attempt = 0; attempt < 600 && !found && zize.Running(); ++attempt) {
            SendMessageW(list, LVM_ENSUREVISIBLE, index, FALSE);
            SIZE size = {};
            const std::vector<uint32_t> screen = CaptureClient(list, &size);
            found = ShowsThumbnail(screen, size, ListViewIconRect(list, index), ExpectedThumbnail(path));
            if (!found)
                Sleep(100);
        }
        shown = shown && found;
    }
    EXPECT_TRUE(shown) << "the good pictures among the damaged ones got no thumbnails";
    CloseHandle(hold);
    ASSERT_TRUE(zize.Running());
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, zize.WaitForExit(ExitTimeoutMs));
}

}  // namespace
