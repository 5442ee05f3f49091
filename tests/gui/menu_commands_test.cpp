// The main window's "&Option" menu: the options dialog with its colour
// swatch and packed result, the version box and the manual. The modal
// dialogs run on the test's thread; a driver thread works them by messages
// as a user's clicks would, and the colour dialog by typing into its red,
// green and blue fields.
#include <windows.h>
#include <colordlg.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/startup.h"
#include "dialogs/options_dialog.h"
#include "dialogs/version_box.h"
#include "gui/viewer_test_support.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "ui/browser_state.h"
#include "viewer/open_path.h"
#include "viewer/viewer_window.h"

namespace {

const wchar_t* const ClassNames[] = {L"ZaVuvi", L"ZaraZaduz", L"RezaDiz", L"ZuzeDod"};

// Polls until done() holds; false after ten seconds.
bool WaitUntil(const std::function<bool()>& done)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10))
        if (done())
            return true;
    return false;
}

// The first visible dialog that owner owns, within ten seconds.
HWND WaitForOwnedDialog(HWND owner)
{
    struct Search {
        HWND owner;
        HWND found;
    } search = {owner, nullptr};
    WaitUntil([&] {
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                Search* s = reinterpret_cast<Search*>(param);
                if (GetWindow(window, GW_OWNER) != s->owner || !IsWindowVisible(window) ||
                    WindowClassName(window) != L"#32770")
                    return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    return search.found;
}

void Click(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool IsChecked(HWND dialog, int id)
{
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The colour the swatch shows in its middle, 0xRRGGBB.
uint32_t SwatchColour(HWND dialog)
{
    SIZE size = {};
    const std::vector<uint32_t> pixels = CaptureClient(GetDlgItem(dialog, OptionSwatch), &size);
    return pixels.empty() ? 0xDEADBEEF : pixels[size_t(size.cy / 2) * size.cx + size.cx / 2];
}

// Opens the colour dialog from the swatch, types red, green and blue into
// it and confirms or cancels it. Returns false when it did not appear or
// did not close.
bool UseColourDialog(HWND options, int red, int green, int blue, WORD answer)
{
    PostMessageW(options, WM_COMMAND, MAKEWPARAM(OptionSwatch, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(options, OptionSwatch)));
    HWND colour = WaitForOwnedDialog(options);
    if (!colour)
        return false;
    const int fields[3][2] = {{COLOR_RED, red}, {COLOR_GREEN, green}, {COLOR_BLUE, blue}};
    for (const auto& field : fields) {
        HWND edit = GetDlgItem(colour, field[0]);
        SetWindowTextW(edit, std::to_wstring(field[1]).c_str());
        SendMessageW(colour, WM_COMMAND, MAKEWPARAM(field[0], EN_UPDATE), reinterpret_cast<LPARAM>(edit));
    }
    PostMessageW(colour, WM_COMMAND, answer, 0);
    return WaitUntil([&] { return !IsWindow(colour); });
}

std::wstring ArtifactPath(const wchar_t* name)
{
    std::wstring folder = WindowsPath(ZIZE_ARTIFACT_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

std::wstring DialogText(HWND dialog, int id)
{
    wchar_t text[128] = {};
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
}

class MenuCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterZizeClasses(instance));
        OleInitialize(nullptr);
        ASSERT_TRUE(PrepareBrowserState());
        LocalFree(Browser.exeDir);
        exeDir = dir.Path(L"");
        if (exeDir.back() != L'\\')
            exeDir += L'\\';
        Browser.exeDir = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, (exeDir.size() + 1) * sizeof(wchar_t)));
        wcscpy(Browser.exeDir, exeDir.c_str());
        Settings settings = {};
        window = CreateZizeWindow(settings);
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOWNORMAL);
        PumpMessages();
    }
    void TearDown() override
    {
        for (HWND viewer; (viewer = FindWindowW(L"RezaDiz", nullptr)) != nullptr;)
            DestroyWindow(viewer);
        if (window && IsWindow(window)) {
            SendMessageW(window, WM_CLOSE, 0, 0);
            RunMessageLoop();
        }
        ReleaseBrowserState();
        OleUninitialize();
        for (const wchar_t* name : ClassNames)
            UnregisterClassW(name, instance);
        ResetBrowserState();
    }
    // Runs drive on a thread with the first dialog of this process while
    // the test's thread runs the dialog itself in run.
    template <typename Run>
    void WithDialog(const std::function<void(HWND)>& drive, Run run)
    {
        std::thread driver([&] {
            HWND dialog = WaitForWindow(GetCurrentProcessId(), L"#32770", 10000);
            if (!dialog) {
                ADD_FAILURE() << "no dialog appeared";
                return;
            }
            drive(dialog);
            // Whatever happened, the modal loop must end for the test to go on.
            if (IsWindow(dialog))
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        run();
        driver.join();
    }

    HINSTANCE instance = nullptr;
    TempDir dir;
    std::wstring exeDir;
    HWND window = nullptr;
};

TEST_F(MenuCommands, OptionsCancelChangesNothingEvenAfterAColourWasChosen)
{
    Browser.flags |= FitToWindow | OpenAnyFile;
    const uint32_t colour = BrowserColourValue();
    WithDialog(
        [](HWND options) {
            // The controls start from the options.
            EXPECT_FALSE(IsChecked(options, OptionActualSize));
            EXPECT_TRUE(IsChecked(options, OptionFitToWindow));
            EXPECT_TRUE(IsChecked(options, OptionOpenAnyFile));
            EXPECT_TRUE(IsChecked(options, OptionNoFill));
            EXPECT_FALSE(IsChecked(options, OptionFill));

            // A colour chosen shows on the swatch; clicks check by hand.
            EXPECT_TRUE(UseColourDialog(options, 0, 0, 255, IDOK));
            EXPECT_TRUE(WaitUntil([&] { return SwatchColour(options) == 0x0000FF; })) << std::hex << SwatchColour(options);
            Click(options, OptionOpenAnyFile);
            EXPECT_FALSE(IsChecked(options, OptionOpenAnyFile));
            Click(options, OptionFill);
            EXPECT_TRUE(IsChecked(options, OptionFill));
            EXPECT_FALSE(IsChecked(options, OptionNoFill));
            Click(options, IDCANCEL);
        },
        [&] { SendMessageW(window, WM_COMMAND, CommandOptions, 0); });
    EXPECT_EQ(FitToWindow | OpenAnyFile, Browser.flags & OptionFlagsMask);
    EXPECT_EQ(colour, BrowserColourValue());

    // The result itself.
    INT_PTR result = 0;
    WithDialog([](HWND options) { Click(options, IDCANCEL); }, [&] { result = RunOptionsDialog(window, &Browser); });
    EXPECT_EQ(-1, result);
}

TEST_F(MenuCommands, OptionsOkPacksColourAndOptionsAndTheNextPictureIsFittedOverTheColour)
{
    Browser.flags |= OpenAnyFile;
    INT_PTR result = 0;
    WithDialog(
        [](HWND options) {
            // A colour dialog cancelled leaves the swatch white.
            EXPECT_TRUE(UseColourDialog(options, 0, 255, 0, IDCANCEL));
            EXPECT_EQ(0xFFFFFFu, SwatchColour(options));

            Click(options, OptionFitToWindow);
            Click(options, OptionOpenAnyFile);
            Click(options, OptionFill);
            EXPECT_TRUE(UseColourDialog(options, 255, 0, 0, IDOK));
            EXPECT_TRUE(WaitUntil([&] { return SwatchColour(options) == 0xFF0000; }));
            EXPECT_TRUE(SaveWindowPng(options, ArtifactPath(L"options_dialog.png")));
            Click(options, IDOK);
        },
        [&] { result = RunOptionsDialog(window, &Browser); });
    EXPECT_EQ(0x050000FF, result);

    // Stored as the main window stores it, the next picture follows it.
    StoreOptionsResult(&Browser, result);
    EXPECT_EQ(FitToWindow | FillBackground, Browser.flags & OptionFlagsMask);
    EXPECT_EQ(0x0000FFu, BrowserColourValue());
    const std::wstring path = dir.Write(L"half.tga", TgaFile(
        40, 30, [](uint32_t, uint32_t) { return 0x00FF00u; }, [](uint32_t x, uint32_t) { return x < 20 ? 0 : 255; }));
    ASSERT_EQ(0, OpenPath(path.c_str()));
    HWND viewer = FindWindowW(L"RezaDiz", path.c_str());
    ASSERT_NE(nullptr, viewer);
    const ViewerImage* image = ViewerOf(viewer);
    EXPECT_EQ(1, image->fitMode);
    EXPECT_EQ(0xFF0000u, PixelAt(image->picture, 5, 10));
    EXPECT_EQ(0x00FF00u, PixelAt(image->picture, 30, 10));
}

TEST_F(MenuCommands, TheVersionBoxShowsTheScreenAnd64)
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    const std::wstring expected = std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" +
                                  std::to_wstring(GetSystemMetrics(SM_CYSCREEN)) + L" (" +
                                  std::to_wstring(mode.dmBitsPerPel) + L"bit)";
    WithDialog(
        [&](HWND box) {
            EXPECT_EQ(L"ﾊﾞｰｼﾞｮﾝ情報", WindowTitle(box));
            EXPECT_EQ(expected, DialogText(box, VersionScreen));
            EXPECT_EQ(L"64", DialogText(box, VersionBits));
            EXPECT_TRUE(SaveWindowPng(box, ArtifactPath(L"version_box.png")));
            Click(box, IDOK);
        },
        [&] { SendMessageW(window, WM_COMMAND, CommandVersion, 0); });
}

// The id of a running process of the image name, or 0.
DWORD FindProcess(const wchar_t* name)
{
    DWORD id = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !id; more = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, name) == 0)
            id = entry.th32ProcessID;
    CloseHandle(snapshot);
    return id;
}

TEST_F(MenuCommands, TheManualOpensWithTheShellsViewer)
{
    // Under Wine the shell opens a .chm with hh.exe; only its start can be
    // seen here (its pages need a browser engine that Wine lacks).
    ASSERT_EQ(0u, FindProcess(L"hh.exe")) << "a help viewer is running already";
    dir.Write(L"Zize.chm", std::vector<uint8_t>{'I', 'T', 'S', 'F'});
    SendMessageW(window, WM_COMMAND, CommandManual, 0);
    DWORD viewer = 0;
    EXPECT_TRUE(WaitUntil([&] { return (viewer = FindProcess(L"hh.exe")) != 0; })) << "hh.exe was not started";
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, viewer)) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

}  // namespace
