// Start-up: the window classes, the hand-over to a running instance, the
// message loop and the exit codes of failed starts.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "ui/browser_state.h"
#include "app/startup.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"

namespace {

const wchar_t* const ClassNames[] = {L"ZaVuvi", L"ZaraZaduz", L"RezaDiz", L"ZuzeDod"};

class ZizeClasses : public ::testing::Test {
protected:
    void SetUp() override { instance = GetModuleHandleW(nullptr); }
    void TearDown() override
    {
        for (const wchar_t* name : ClassNames)
            UnregisterClassW(name, instance);
        ResetBrowserState();
    }
    bool Registered(const wchar_t* name, WNDCLASSEXW* wc)
    {
        wc->cbSize = sizeof *wc;
        return GetClassInfoExW(instance, name, wc) != 0;
    }
    HINSTANCE instance = nullptr;
};

TEST_F(ZizeClasses, FourClassesWithTheirStylesIconsCursorsBrushesAndMenu)
{
    ASSERT_TRUE(RegisterZizeClasses(instance));
    EXPECT_EQ(instance, Browser.instance);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);

    struct Expected {
        UINT style;
        bool icon;
        bool cursor;
        INT_PTR brush;
        bool menu;
    } expected[] = {
        {0, true, true, COLOR_WINDOW + 1, true},
        {CS_HREDRAW | CS_VREDRAW, false, false, COLOR_BTNFACE + 1, false},
        {0, true, true, COLOR_WINDOW + 1, false},
        {CS_HREDRAW | CS_VREDRAW, false, false, COLOR_WINDOW + 1, false},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        WNDCLASSEXW wc = {};
        ASSERT_TRUE(Registered(ClassNames[i], &wc));
        EXPECT_EQ(expected[i].style, wc.style);
        EXPECT_EQ(expected[i].icon, wc.hIcon != nullptr);
        EXPECT_EQ(expected[i].cursor ? arrow : nullptr, wc.hCursor);
        EXPECT_EQ(expected[i].brush, reinterpret_cast<INT_PTR>(wc.hbrBackground));
        EXPECT_EQ(0, wc.cbClsExtra);
        EXPECT_EQ(0, wc.cbWndExtra);
        if (expected[i].menu) {
            ASSERT_FALSE(IS_INTRESOURCE(wc.lpszMenuName));
            EXPECT_EQ(std::wstring(L"ZAVUVI"), wc.lpszMenuName);
        } else {
            EXPECT_EQ(nullptr, wc.lpszMenuName);
        }
    }
}

TEST_F(ZizeClasses, RegistrationStopsAtTheFirstFailureInTableOrder)
{
    WNDCLASSEXW taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcW;
    taken.hInstance = instance;
    taken.lpszClassName = L"RezaDiz";
    ASSERT_TRUE(RegisterClassExW(&taken));

    EXPECT_FALSE(RegisterZizeClasses(instance));
    EXPECT_EQ(nullptr, Browser.instance);
    WNDCLASSEXW wc = {};
    EXPECT_TRUE(Registered(L"ZaVuvi", &wc));
    EXPECT_TRUE(Registered(L"ZaraZaduz", &wc));
    EXPECT_FALSE(Registered(L"ZuzeDod", &wc));
}

TEST_F(ZizeClasses, MainClassMenuHasTheOptionPopUp)
{
    HMENU menu = LoadMenuW(instance, L"ZAVUVI");
    ASSERT_NE(nullptr, menu);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(L"&Option"), text);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, popup);
    ASSERT_EQ(4, GetMenuItemCount(popup));
    EXPECT_EQ(31u, GetMenuItemID(popup, 0));
    EXPECT_EQ(MF_SEPARATOR, GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(32u, GetMenuItemID(popup, 2));
    EXPECT_EQ(33u, GetMenuItemID(popup, 3));
    GetMenuStringW(popup, 31, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(L"設定(&S)\tCtrl+S"), text);
    GetMenuStringW(popup, 32, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(L"マニュアル(&M)\tCtrl+M"), text);
    GetMenuStringW(popup, 33, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(L"バージョン(&V)\tCtrl+V"), text);
    DestroyMenu(menu);
}

// A message-only window that records the WM_COPYDATA it gets.
struct CopyDataSeen {
    int count = 0;
    ULONG_PTR dwData = 0;
    DWORD cbData = 0;
    std::wstring text;
};
CopyDataSeen copySeen;

LRESULT CALLBACK RecordCopyData(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        ++copySeen.count;
        copySeen.dwData = data->dwData;
        copySeen.cbData = data->cbData;
        copySeen.text.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / 2);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(HandOver, SendsTheTerminatedPathWithDataOneAndAlsoAnEmptyOne)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordCopyData;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZizeTestCopyData";
    ASSERT_TRUE(RegisterClassExW(&wc));
    HWND receiver = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, receiver);

    copySeen = CopyDataSeen{};
    SetPendingPath(L"C:\\写真\\猫.jpg", 64);
    HandOverPendingPath(receiver);
    EXPECT_EQ(1, copySeen.count);
    EXPECT_EQ(1u, copySeen.dwData);
    EXPECT_EQ(24u, copySeen.cbData);
    EXPECT_EQ(std::wstring(L"C:\\写真\\猫.jpg", 12), copySeen.text);

    ClearPendingPath();
    HandOverPendingPath(receiver);
    EXPECT_EQ(2, copySeen.count);
    EXPECT_EQ(2u, copySeen.cbData);
    EXPECT_EQ(std::wstring(1, L'\0'), copySeen.text);

    DestroyWindow(receiver);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// The running instance has a current folder of its own, so what a second
// start hands over must not depend on the second start's.
TEST(HandOver, RelativeAndSlashedPathsBecomeFullPathsOfTheStartingFolder)
{
    TempDir dir;
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path(L"").c_str()));
    wchar_t here[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, here);
    std::wstring base = here;
    if (base.back() != L'\\')
        base += L'\\';

    const struct {
        const wchar_t* argument;
        std::wstring expected;
    } cases[] = {
        {L"a.mag", base + L"a.mag"},
        {L"sub/猫 1.mag", base + L"sub\\猫 1.mag"},
        {L".\\sub\\..\\b.mag", base + L"b.mag"},
        {L"C:/pics/c.mag", L"C:\\pics\\c.mag"},
        {L"C:\\pics\\d.mag", L"C:\\pics\\d.mag"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t path[PendingPathCapacity] = L"?";
        EXPECT_TRUE(AbsoluteArgumentPath(c.argument, path, PendingPathCapacity));
        EXPECT_EQ(c.expected, path);
    }

    // A name that fits only while relative is refused.
    const std::wstring longName(PendingPathCapacity - 2, L'x');
    wchar_t path[PendingPathCapacity] = L"?";
    EXPECT_FALSE(AbsoluteArgumentPath(longName.c_str(), path, PendingPathCapacity));
    EXPECT_EQ(L'\0', path[0]);

    // The first argument after the program name reaches PendingPath so.
    ReadPathFromCommandLine(L"Zize.exe \"sub dir/e f.mag\" second");
    EXPECT_EQ(base + L"sub dir\\e f.mag", PendingPath);
    ReadPathFromCommandLine((L"Zize.exe " + longName).c_str());
    EXPECT_EQ(std::wstring(), PendingPath);

    SetCurrentDirectoryW(saved);
    ClearPendingPath();
}

TEST(MessageLoop, DispatchesUntilTheQuitMessageAndReturnsItsCode)
{
    PostQuitMessage(7);
    EXPECT_EQ(7, RunMessageLoop());
    PostQuitMessage(0);
    EXPECT_EQ(0, RunMessageLoop());
}

TEST(StartFailure, ClassRegistrationFailureEndsWithCodeTwoAndItsMessage)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcW;
    taken.hInstance = instance;
    taken.lpszClassName = L"ZaraZaduz";
    ASSERT_TRUE(RegisterClassExW(&taken));

    MessageBoxCloser closer(20000);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(nullptr);
    int code = RunZize(instance);
    SetUnhandledExceptionFilter(previous);
    MessageBoxSeen seen = closer.Result();

    EXPECT_EQ(2, code);
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(L"cound not regist Zize class.", seen.text);
    for (const wchar_t* name : ClassNames)
        UnregisterClassW(name, instance);
}

// Refuses the creation of every main window on this thread.
LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        wchar_t name[32] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, 32);
        if (std::wstring(name) == L"ZaVuvi")
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(StartFailure, MainWindowCreationFailureEndsWithCodeThreeAndItsMessage)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseMainWindow, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);

    MessageBoxCloser closer(20000);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(nullptr);
    int code = RunZize(instance);
    SetUnhandledExceptionFilter(previous);
    UnhookWindowsHookEx(hook);
    MessageBoxSeen seen = closer.Result();

    EXPECT_EQ(3, code);
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(L"cound not create Zize window.", seen.text);
    EXPECT_EQ(nullptr, Browser.exeDir);  // the cleanup ran
    for (const wchar_t* name : ClassNames)
        UnregisterClassW(name, instance);
}

}  // namespace
