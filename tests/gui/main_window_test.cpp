// The main window in this process: its services start with it, its panes
// and splitter, its focus memory and change queue, how it closes in step
// with the folder worker, the settings it writes when it goes, and its
// menu: the options dialog, the version box and the manual. The modal
// dialogs run on the test's thread while a driver thread works them with
// the messages a user's clicks and typing send.
#include <windows.h>
#include <colordlg.h>
#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "ui/browser_state.h"
#include "ui/messages.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "browser/change_queue.h"
#include "browser/pane_window.h"
#include "dialogs/options_dialog.h"
#include "dialogs/version_box.h"
#include "gui/browser_test_support.h"
#include "gui/viewer_test_support.h"
#include "image/shared_lock_win.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "ui/owners.h"
#include "viewer/open_path.h"
#include "viewer/viewer_window.h"

namespace {


class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The settings go to a folder of the test's own.
        exeDir = dir.Path(L"");
        if (exeDir.back() != L'\\')
            exeDir += L'\\';
        ASSERT_TRUE(StartTestBrowser(exeDir));
        ini = exeDir + L"Zize.ini";
    }
    void TearDown() override
    {
        EndTestBrowser(window);
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
    // The same with the status bar, the panes and their controls.
    void CreateWithChildren(int width, int height, int split)
    {
        Create(40, 40, width, height);
        CreateMainChildren(&Browser, split);
        PumpMessages();
    }
    // Gives the main window a client area of width x height.
    void SetClientSize(int width, int height)
    {
        RECT outer = {0, 0, width, height};
        AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, TRUE);
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages();
    }

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

TEST_F(MainWindow, AWorkerThatEndsBeforeItsQueueIsReadyDoesNotHoldUpTheStart)
{
    // The worker is gone and its signal never comes: the children are made
    // all the same instead of waiting for ever.
    // (Its signal is taken here, so that it ends idle, holding no lock.)
    Create(10, 10, 300, 200);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerReady, 10000));
    Sleep(50);
    TerminateThread(Browser.workerThread, 9);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerThread, 10000));
    CreateMainChildren(&Browser, 150);
    EXPECT_NE(nullptr, Browser.left.control);
    EXPECT_NE(nullptr, Browser.right.control);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());
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

// A child's rectangle in the main window's client coordinates.
RECT PlaceOf(HWND child)
{
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int WidthOf(HWND w)
{
    RECT r = {};
    GetWindowRect(w, &r);
    return r.right - r.left;
}

TEST_F(MainWindow, PanesStandAboveTheStatusBarAndOnlyTheRightOneFollowsTheWindow)
{
    CreateWithChildren(500, 300, 150);
    HWND status = GetDlgItem(window, 20);
    ASSERT_EQ(Browser.statusBar, status);
    EXPECT_EQ(L"msctls_statusbar32", WindowClassName(status));
    const int statusHeight = 300 - PlaceOf(status).top;

    ASSERT_NE(nullptr, Browser.left.pane);
    EXPECT_EQ(L"ZaraZaduz", WindowClassName(Browser.left.pane));
    EXPECT_EQ(L"LEFT", WindowTitle(Browser.left.pane));
    EXPECT_EQ(L"RIGHT", WindowTitle(Browser.right.pane));
    EXPECT_EQ(Browser.right.pane, Browser.left.neighbour);
    EXPECT_EQ(nullptr, Browser.right.neighbour);
    EXPECT_EQ(L"SysTreeView32", WindowClassName(Browser.left.control));
    EXPECT_EQ(L"SysListView32", WindowClassName(Browser.right.control));
    const LONG_PTR listStyle = GetWindowLongPtrW(Browser.right.control, GWL_STYLE);
    EXPECT_EQ(LONG_PTR(LVS_ICON | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE | LVS_EDITLABELS),
              listStyle & (LVS_TYPEMASK | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE | LVS_EDITLABELS));
    EXPECT_TRUE(GetWindowLongPtrW(Browser.left.control, GWL_STYLE) & TVS_LINESATROOT);
    EXPECT_NE(nullptr, Browser.listSavedProc);

    // The split from the settings; the tree leaves the 4-pixel strip free.
    RECT left = PlaceOf(Browser.left.pane);
    RECT right = PlaceOf(Browser.right.pane);
    EXPECT_EQ(0, left.left);
    EXPECT_EQ(150, left.right);
    EXPECT_EQ(150, right.left);
    EXPECT_EQ(500, right.right);
    EXPECT_EQ(300 - statusHeight, left.bottom);
    EXPECT_EQ(146, WidthOf(Browser.left.control));
    EXPECT_EQ(350, WidthOf(Browser.right.control));

    // A wider window widens the right pane; a narrower one than the split
    // leaves it 0 wide, never less.
    SetClientSize(700, 400);
    EXPECT_EQ(150, PlaceOf(Browser.left.pane).right);
    EXPECT_EQ(700, PlaceOf(Browser.right.pane).right);
    EXPECT_EQ(400 - statusHeight, PlaceOf(Browser.right.pane).bottom);
    SetClientSize(100, 400);
    EXPECT_EQ(150, WidthOf(Browser.left.pane));
    EXPECT_EQ(0, WidthOf(Browser.right.pane));
}

TEST_F(MainWindow, WhileTheFrameIsDraggedTheListIsArrangedOnlyAtTheEnd)
{
    CreateWithChildren(500, 300, 150);
    HWND list = Browser.right.control;
    const auto arranges = [&] { return (GetWindowLongPtrW(list, GWL_STYLE) & LVS_AUTOARRANGE) != 0; };
    ASSERT_TRUE(arranges());

    // The frame's drag as the window manager delivers it: enter, sizes, exit.
    SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    SetClientSize(620, 340);
    EXPECT_FALSE(arranges());
    EXPECT_EQ(620, PlaceOf(Browser.right.pane).right);
    SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(arranges());
    EXPECT_EQ(0u, Browser.flags & SizingInProgress);

    // A move without a change of size leaves the style alone.
    SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(arranges());
}

TEST_F(MainWindow, ASavedSplitWiderThanTheWindowIsBroughtIntoReach)
{
    // The strip stays inside the window, with the right pane's 4 pixels.
    CreateWithChildren(400, 300, 600);
    EXPECT_EQ(396, WidthOf(Browser.left.pane));
    EXPECT_EQ(4, WidthOf(Browser.right.pane));
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_EQ(L"396", ReadSettingValue(ini, L"DIV"));
}

TEST_F(MainWindow, TheSplitterStopsAtFourPixelsOnBothSidesAndTheSettingsKeepTheSplit)
{
    CreateWithChildren(500, 300, 200);
    HWND left = Browser.left.pane;
    HWND right = Browser.right.pane;

    // A press on the right pane's own area starts no drag.
    SendMessageW(right, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(0, Browser.splitDragState);
    SendMessageW(right, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 10));
    SendMessageW(right, WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
    EXPECT_EQ(200, WidthOf(left));

    // Pressed on the strip 2 pixels from the pane's edge.
    SendMessageW(left, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(198, 10));
    EXPECT_EQ(2, Browser.splitDragState);
    EXPECT_EQ(left, GetCapture());
    SendMessageW(left, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(258, 10));
    EXPECT_EQ(260, WidthOf(left));
    EXPECT_EQ(240, WidthOf(right));
    EXPECT_EQ(500, PlaceOf(right).right);

    // Far to the left: a tree pane of 4 pixels with a tree of none.
    SendMessageW(left, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-900, 10));
    EXPECT_EQ(4, WidthOf(left));
    EXPECT_EQ(0, WidthOf(Browser.left.control));
    EXPECT_EQ(496, WidthOf(right));
    // Far to the right: a right pane of 4 pixels, its right edge kept.
    SendMessageW(left, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2000, 10));
    EXPECT_EQ(496, WidthOf(left));
    EXPECT_EQ(4, WidthOf(right));
    EXPECT_EQ(500, PlaceOf(right).right);
    SendMessageW(left, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(318, 10));
    SendMessageW(left, WM_LBUTTONUP, 0, MAKELPARAM(318, 10));
    EXPECT_EQ(0, Browser.splitDragState);
    EXPECT_EQ(nullptr, GetCapture());
    SendMessageW(left, WM_MOUSEMOVE, 0, MAKELPARAM(100, 10));
    EXPECT_EQ(320, WidthOf(left));

    // A drag whose capture another window takes ends there, without its
    // button-up: the split no longer follows the pointer.
    SendMessageW(left, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(318, 10));
    EXPECT_EQ(2, Browser.splitDragState);
    SetCapture(right);
    EXPECT_EQ(0, Browser.splitDragState);
    ReleaseCapture();
    SendMessageW(left, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 10));
    EXPECT_EQ(320, WidthOf(left));

    // A busy worker holds the window open; the split is written when it goes.
    ASSERT_NE(DWORD(-1), SuspendThread(Browser.workerThread));
    SendMessageW(window, WM_CLOSE, 0, 0);
    for (int i = 0; i < 20; ++i) {
        PumpMessages();
        Sleep(10);
    }
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(L"@missing", ReadSettingValue(ini, L"DIV"));
    ResumeThread(Browser.workerThread);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(L"320", ReadSettingValue(ini, L"DIV"));
}

TEST_F(MainWindow, FocusGoesBackToTheControlThatHadItWhenActivatedAgain)
{
    CreateWithChildren(500, 300, 200);
    SetFocus(Browser.right.control);
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(ListHadFocus, Browser.flags & (TreeHadFocus | ListHadFocus));
    SetFocus(window);
    // A click keeps where the click went; activation by other means restores.
    SendMessageW(window, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    EXPECT_EQ(window, GetFocus());
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Browser.right.control, GetFocus());
    EXPECT_EQ(0u, Browser.flags & (TreeHadFocus | ListHadFocus));

    SetFocus(Browser.left.control);
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(window);
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Browser.left.control, GetFocus());

    // With the focus elsewhere nothing is remembered.
    SetFocus(window);
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(0u, Browser.flags & (TreeHadFocus | ListHadFocus));
}

TEST_F(MainWindow, ShellChangesReachTheQueueWhileTheWorkerReadsItsCount)
{
    CreateWithChildren(500, 300, 200);

    // A reader like the worker: the count under the lock, every record there.
    std::atomic<bool> stop{false};
    std::atomic<int> faults{0};
    std::thread reader([&] {
        while (!stop) {
            SharedLockHolder hold;
            if (Browser.changeCount == 0)
                continue;
            if (GlobalSize(Browser.changeQueue) < Browser.changeCount * sizeof(ChangeRecord))
                ++faults;
            auto* records = static_cast<ChangeRecord*>(GlobalLock(Browser.changeQueue));
            if (!records || records[Browser.changeCount - 1].event != SHCNE_RENAMEITEM)
                ++faults;
            if (records)
                GlobalUnlock(Browser.changeQueue);
        }
    });
    LPITEMIDLIST a = ILCreateFromPathW(exeDir.c_str());
    ASSERT_NE(nullptr, a);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(AppendChange(a, i % 2 ? a : nullptr, SHCNE_RENAMEITEM, ChangeFromTree));
    stop = true;
    reader.join();
    EXPECT_EQ(0, faults.load());
    EXPECT_EQ(300u, Browser.changeCount);
    {
        SharedLockHolder hold;
        FreeChanges();
    }
    EXPECT_EQ(0u, Browser.changeCount);
    EXPECT_EQ(nullptr, Browser.changeQueue);

    ILFree(a);

    // A folder made in the listed folder reaches both registrations: the
    // list, through the queue and the worker, shows it, and so does the tree
    // once the listed folder is expanded (Wine delivers only in-process
    // notifications of recursive registrations).
    ASSERT_NE(NoChangeRegistration, Browser.changeRegistration[0]);
    ASSERT_NE(NoChangeRegistration, Browser.changeRegistration[1]);
    HTREEITEM listed = TreeView_GetSelection(Browser.left.control);
    ASSERT_NE(nullptr, listed);
    TreeView_Expand(Browser.left.control, listed, TVE_EXPAND);
    const std::wstring made = exeDir + L"made";
    ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW | SHCNF_FLUSH, made.c_str(), nullptr);
    bool seen = false;
    for (int i = 0; i < 1000 && !seen; ++i) {
        PumpMessages();
        const std::vector<std::wstring> items = ListViewItemTexts(Browser.right.control);
        seen = std::find(items.begin(), items.end(), L"made") != items.end();
        if (!seen)
            Sleep(10);
    }
    EXPECT_TRUE(seen) << "the new folder did not reach the list";
    EXPECT_EQ(0u, Browser.changeCount);
    // The tree gave the folder its button back; expanding shows the child.
    TreeView_Expand(Browser.left.control, listed, TVE_EXPAND);
    EXPECT_NE(nullptr, TreeView_GetChild(Browser.left.control, listed));

    // Closing withdraws both registrations.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(NoChangeRegistration, Browser.changeRegistration[0]);
    EXPECT_EQ(NoChangeRegistration, Browser.changeRegistration[1]);
    EXPECT_EQ(0, RunMessageLoop());
}

TEST_F(MainWindow, NoPictureIsLoadedOnceTheServicesHaveStopped)
{
    CreateWithChildren(500, 300, 200);
    const std::wstring red = dir.Write(L"red.tga", TgaFile(8, 8, [](uint32_t, uint32_t) { return 0xFF0000u; }));
    HWND viewer = CreateViewerWindow(L"v", MakeViewerImage(16, 16, [](uint32_t, uint32_t) { return 0x0000FFu; }));
    ASSERT_NE(nullptr, viewer);
    EXPECT_TRUE(DropOnViewer(viewer, red.c_str()));
    EXPECT_EQ(0xFF0000u, PixelAt(ViewerOf(viewer)->picture, 0, 0));
    const std::wstring green = dir.Write(L"green.tga", TgaFile(8, 8, [](uint32_t, uint32_t) { return 0x00FF00u; }));

    // The main window goes; a drop still queued for the viewer loads nothing.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_FALSE(DropOnViewer(viewer, green.c_str()));
    EXPECT_EQ(0xFF0000u, PixelAt(ViewerOf(viewer)->picture, 0, 0));
    OpenPath(green.c_str());
    EXPECT_EQ(nullptr, FindWindowW(L"RezaDiz", green.c_str()));
    DestroyWindow(viewer);
}

// Polls until done() holds; false after ten seconds.
bool WaitUntil(const std::function<bool()>& done)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10))
        if (done())
            return true;
    return false;
}

// Runs drive with the first dialog of this process on a thread of its own
// while run, on the test's thread, shows the dialog modally.
void WithDialog(const std::function<void(HWND)>& drive, const std::function<void()>& run)
{
    std::thread driver([&] {
        HWND dialog = WaitForWindow(GetCurrentProcessId(), L"#32770", 10000);
        if (!dialog) {
            ADD_FAILURE() << "no dialog appeared";
            return;
        }
        drive(dialog);
        if (IsWindow(dialog))  // the modal loop must end for the test to go on
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    run();
    driver.join();
}

void Click(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// What the screen shows in the middle of the colour swatch, 0xRRGGBB.
uint32_t SwatchColour(HWND options)
{
    SIZE size = {};
    const std::vector<uint32_t> pixels = CaptureClient(GetDlgItem(options, OptionSwatch), &size);
    return pixels.empty() ? 0xDEADBEEF : pixels[size_t(size.cy / 2) * size.cx + size.cx / 2];
}

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param)
{
    HWND* found = reinterpret_cast<HWND*>(param);
    if (GetWindow(window, GW_OWNER) != *found || WindowClassName(window) != L"#32770")
        return TRUE;
    *found = window;
    return FALSE;
}

// Clicks the swatch, types red, green and blue into the colour dialog and
// answers it with IDOK or IDCANCEL. False when it did not come and go.
bool UseColourDialog(HWND options, int red, int green, int blue, WORD answer)
{
    PostMessageW(options, WM_COMMAND, MAKEWPARAM(OptionSwatch, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(options, OptionSwatch)));
    HWND colour = nullptr;
    if (!WaitUntil([&] { return !EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&(colour = options))); }))
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
    const std::wstring folder = WindowsPath(ZIZE_ARTIFACT_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

TEST_F(MainWindow, OptionsCancelChangesNothingEvenAfterAColourWasChosen)
{
    Create(20, 20, 300, 200);
    Browser.flags |= FitToWindow | OpenAnyFile;
    const uint32_t colour = BrowserColourValue();
    WithDialog(
        [](HWND options) {
            EXPECT_TRUE(IsChecked(options, OptionFitToWindow) && IsChecked(options, OptionOpenAnyFile) &&
                        IsChecked(options, OptionNoFill));
            EXPECT_FALSE(IsChecked(options, OptionActualSize) || IsChecked(options, OptionFill));
            EXPECT_TRUE(UseColourDialog(options, 0, 0, 255, IDOK));
            EXPECT_TRUE(WaitUntil([&] { return SwatchColour(options) == 0x0000FF; }));
            Click(options, OptionOpenAnyFile);
            Click(options, OptionFill);
            EXPECT_FALSE(IsChecked(options, OptionOpenAnyFile) || IsChecked(options, OptionNoFill));
            Click(options, IDCANCEL);
        },
        [&] { SendMessageW(window, WM_COMMAND, CommandOptions, 0); });
    EXPECT_EQ(FitToWindow | OpenAnyFile, Browser.flags & OptionFlagsMask);
    EXPECT_EQ(colour, BrowserColourValue());

    INT_PTR result = 0;
    WithDialog([](HWND options) { Click(options, IDCANCEL); }, [&] { result = RunOptionsDialog(window, &Browser); });
    EXPECT_EQ(-1, result);
}

TEST_F(MainWindow, OptionsOkPacksColourAndOptionsAndTheNextPictureIsFittedOverTheColour)
{
    Create(20, 20, 300, 200);
    Browser.flags |= OpenAnyFile;
    INT_PTR result = 0;
    WithDialog(
        [](HWND options) {
            // A cancelled colour dialog leaves the swatch white.
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

    // Stored as the main window stores it, it rules the next picture opened.
    StoreOptionsResult(&Browser, result);
    EXPECT_EQ(FitToWindow | FillBackground, Browser.flags & OptionFlagsMask);
    EXPECT_EQ(0x0000FFu, BrowserColourValue());
    const std::wstring path = dir.Write(L"half.tga", TgaFile(
        40, 30, [](uint32_t, uint32_t) { return 0x00FF00u; }, [](uint32_t x, uint32_t) { return x < 20 ? 0 : 255; }));
    ASSERT_EQ(0, OpenPath(path.c_str()));
    HWND viewer = FindWindowW(L"RezaDiz", path.c_str());
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(1, ViewerOf(viewer)->fitMode);
    EXPECT_EQ(0xFF0000u, PixelAt(ViewerOf(viewer)->picture, 5, 10));
    EXPECT_EQ(0x00FF00u, PixelAt(ViewerOf(viewer)->picture, 30, 10));
    DestroyWindow(viewer);
}

TEST_F(MainWindow, TheVersionBoxShowsTheScreenAnd64)
{
    Create(20, 20, 300, 200);
    DEVMODEW mode = {};
    mode.dmSize = sizeof mode;
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    const std::wstring screen = std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x" +
                                std::to_wstring(GetSystemMetrics(SM_CYSCREEN)) + L" (" +
                                std::to_wstring(mode.dmBitsPerPel) + L"bit)";
    WithDialog(
        [&](HWND box) {
            EXPECT_EQ(L"ﾊﾞｰｼﾞｮﾝ情報", WindowTitle(box));
            EXPECT_EQ(screen, WindowTitle(GetDlgItem(box, VersionScreen)));
            EXPECT_EQ(L"64", WindowTitle(GetDlgItem(box, VersionBits)));
            EXPECT_TRUE(SaveWindowPng(box, ArtifactPath(L"version_box.png")));
            Click(box, IDOK);
        },
        [&] { SendMessageW(window, WM_COMMAND, CommandVersion, 0); });
}

// The id of a running process of that image name, or 0.
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

TEST_F(MainWindow, TheManualIsOpenedByTheShellsHelpViewer)
{
    // Under Wine the shell opens a .chm with hh.exe; its start is what can
    // be seen here (its pages need a browser engine that Wine lacks).
    Create(20, 20, 300, 200);
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
