// The main window in this process: its services start with it, it closes
// in step with the folder worker, and it writes the settings when it goes.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "app/browser_state.h"
#include "app/messages.h"
#include "app/startup.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"

namespace {

const wchar_t* const ClassNames[] = {L"ZaVuvi", L"ZaraZaduz", L"RezaDiz", L"ZuzeDod"};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterZizeClasses(instance));
        OleInitialize(nullptr);
        ASSERT_TRUE(PrepareBrowserState());

        // The settings go to a folder of the test's own.
        LocalFree(Browser.exeDir);
        exeDir = dir.Path(L"");
        if (exeDir.back() != L'\\')
            exeDir += L'\\';
        Browser.exeDir = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, (exeDir.size() + 1) * sizeof(wchar_t)));
        wcscpy(Browser.exeDir, exeDir.c_str());
        ini = exeDir + L"Zize.ini";
    }
    void TearDown() override
    {
        // A window still open closes the normal way, so its worker ends too.
        if (window && IsWindow(window)) {
            SendMessageW(window, WM_CLOSE, 0, 0);
            RunMessageLoop();
        }
        ReleaseBrowserState();
        OleUninitialize();
        for (const wchar_t* name : ClassNames)
            UnregisterClassW(name, instance);
        ResetBrowserState();
        ClearPendingPath();
    }
    // Creates the window with a geometry read from the settings.
    void Create(int left, int top, int width, int height)
    {
        Settings settings = {};
        settings.geometryComplete = true;
        settings.left = left;
        settings.top = top;
        settings.width = width;
        settings.height = height;
        window = CreateZizeWindow(settings);
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }

    HINSTANCE instance = nullptr;
    TempDir dir;
    std::wstring exeDir;
    std::wstring ini;
    HWND window = nullptr;
};

TEST_F(MainWindow, CreationStartsTheWorkerThatSignalsItsQueue)
{
    Create(50, 40, 500, 300);
    EXPECT_EQ(window, Browser.mainWindow);
    SIZE client = ClientSize(window);
    EXPECT_EQ(500, client.cx);
    EXPECT_EQ(300, client.cy);
    RECT outer = {};
    GetWindowRect(window, &outer);
    EXPECT_EQ(50, outer.left);
    EXPECT_EQ(40, outer.top);
    EXPECT_NE(nullptr, GetMenu(window));
    EXPECT_EQ(std::wstring(L"Zize"), WindowTitle(window));
    EXPECT_EQ(static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN),
              GetWindowLongPtrW(window, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN));

    ASSERT_NE(nullptr, Browser.workerThread);
    EXPECT_NE(0u, Browser.workerThreadId);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerReady, 10000));
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(Browser.workerThread));
}

TEST_F(MainWindow, CloseWaitsForTheWorkerThenWritesTheSettingsAndQuitsWithZero)
{
    Create(60, 70, 520, 330);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerReady, 10000));

    // WM_CLOSE alone does not destroy the window: the worker's answer does.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerThread, 10000));
    EXPECT_EQ(nullptr, Browser.workerReady);

    EXPECT_EQ(L"60", ReadSettingValue(ini, L"LEFT"));
    EXPECT_EQ(L"70", ReadSettingValue(ini, L"TOP"));
    EXPECT_EQ(L"520", ReadSettingValue(ini, L"WIDTH"));
    EXPECT_EQ(L"330", ReadSettingValue(ini, L"HEIGHT"));
    EXPECT_EQ(L"288", ReadSettingValue(ini, L"DIV"));
    EXPECT_EQ(L"16777215", ReadSettingValue(ini, L"COLOR"));
    EXPECT_EQ(L"0", ReadSettingValue(ini, L"OPTION"));
    EXPECT_EQ(L"0", ReadSettingValue(ini, L"CNTFOLDER"));
}

TEST_F(MainWindow, MaximisedWindowStoresItsRestoredRectangleAndTheLiveOptions)
{
    Create(30, 20, 400, 250);
    Browser.flags |= FitToWindow | FillBackground;
    SetBrowserColourValue(0x80102030);
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(window));
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());

    EXPECT_EQ(L"30", ReadSettingValue(ini, L"LEFT"));
    EXPECT_EQ(L"20", ReadSettingValue(ini, L"TOP"));
    EXPECT_EQ(L"400", ReadSettingValue(ini, L"WIDTH"));
    EXPECT_EQ(L"250", ReadSettingValue(ini, L"HEIGHT"));
    EXPECT_EQ(L"5", ReadSettingValue(ini, L"OPTION"));
    EXPECT_EQ(std::to_wstring(static_cast<int32_t>(0x80102030u)), ReadSettingValue(ini, L"COLOR"));
}

TEST_F(MainWindow, CloseWithoutARunningWorkerDestroysTheWindowAtOnce)
{
    Create(20, 20, 300, 200);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerReady, 10000));
    // A worker that has gone could never answer WT_QUIT.
    TerminateThread(Browser.workerThread, 9);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerThread, 10000));

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_EQ(L"300", ReadSettingValue(ini, L"WIDTH"));
}

TEST_F(MainWindow, CopyDataTakesThePathAndAPathThatDoesNotExistIsCleared)
{
    Create(10, 10, 300, 200);
    std::wstring missing = exeDir + L"nothing.png";
    COPYDATASTRUCT data = {1, static_cast<DWORD>((missing.size() + 1) * 2), &missing[0]};
    EXPECT_EQ(0, SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    EXPECT_EQ(L'\0', PendingPath[0]);

    // A string without its terminator inside cbData is refused unread.
    std::wstring unterminated(300, L'x');
    COPYDATASTRUCT bad = {1, 20, &unterminated[0]};
    EXPECT_EQ(0, SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&bad)));
    EXPECT_EQ(L'\0', PendingPath[0]);

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());
}

}  // namespace
