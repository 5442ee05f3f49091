#include "app/startup.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "app/main_window.h"
#include "ui/browser_state.h"
#include "ui/item_states.h"
#include "ui/messages.h"
#include "arcwin/archive_window.h"
#include "browser/change_queue.h"
#include "browser/drop_source.h"
#include "browser/pane_window.h"
#include "dialogs/crash_report.h"
#include "viewer/viewer_window.h"


namespace {

const wchar_t ProgramResource[] = L"ZAVUVI";  // icon and menu
constexpr DWORD MainWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

// One row of the class table.
struct ClassRecord {
    const wchar_t* name;
    WNDPROC procedure;
    UINT style;
    bool programIcon;
    bool arrowCursor;
    int brushColour;
    bool menu;
};

const ClassRecord ZizeClasses[] = {
    {MainWindowClass, MainWindowProc, 0, true, true, COLOR_WINDOW, true},
    {PaneWindowClass, PaneWindowProc, CS_HREDRAW | CS_VREDRAW, false, false, COLOR_BTNFACE, false},
    {ViewerWindowClass, ViewerWindowProc, 0, true, true, COLOR_WINDOW, false},
    {ArchiveWindowClass, ArchiveWindowProc, CS_HREDRAW | CS_VREDRAW, false, false, COLOR_WINDOW, false},
};

// Shows a start-up failure: no owner, the default caption, warning icon.
void ShowStartFailure(int code)
{
    if (code == ExitClassRegistration)
        MessageBoxW(nullptr, L"cound not regist Zize class.", nullptr, MB_ICONWARNING);
    else if (code == ExitWindowCreation)
        MessageBoxW(nullptr, L"cound not create Zize window.", nullptr, MB_ICONWARNING);
}

}  // namespace

bool AbsoluteArgumentPath(const wchar_t* argument, wchar_t* path, size_t capacity)
{
    if (capacity == 0)
        return false;
    path[0] = L'\0';
    if (argument[0] == L'\0')
        return true;

    // "/" as the separator, then the full path against the current folder.
    wchar_t separators[PendingPathCapacity];
    const size_t length = wcslen(argument);
    if (length >= capacity || length >= PendingPathCapacity)
        return false;
    std::memcpy(separators, argument, (length + 1) * sizeof(wchar_t));
    for (size_t i = 0; i < length; ++i)
        if (separators[i] == L'/')
            separators[i] = L'\\';
    const DWORD units = GetFullPathNameW(separators, DWORD(capacity), path, nullptr);
    if (units == 0 || units >= capacity) {
        path[0] = L'\0';
        return false;
    }
    return true;
}

void ReadPathFromCommandLine(const wchar_t* commandLine)
{
    ClearPendingPath();
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return;
    wchar_t path[PendingPathCapacity];
    if (count >= 2 && AbsoluteArgumentPath(arguments[1], path, PendingPathCapacity))
        SetPendingPath(path, PendingPathCapacity);
    LocalFree(arguments);
}

void ReadCommandLinePath()
{
    ReadPathFromCommandLine(GetCommandLineW());
}

void HandOverPendingPath(HWND running)
{
    COPYDATASTRUCT data = {};
    data.dwData = COPYDATA_PENDING_PATH;
    data.cbData = static_cast<DWORD>((wcslen(PendingPath) + 1) * sizeof(wchar_t));
    data.lpData = PendingPath;
    SendMessageW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

bool RegisterZizeClasses(HINSTANCE instance)
{
    for (const ClassRecord& entry : ZizeClasses) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = entry.style;
        wc.lpfnWndProc = entry.procedure;
        wc.hInstance = instance;
        wc.hIcon = entry.programIcon ? LoadIconW(instance, ProgramResource) : nullptr;
        wc.hCursor = entry.arrowCursor ? LoadCursorW(nullptr, IDC_ARROW) : nullptr;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(entry.brushColour + 1));
        wc.lpszMenuName = entry.menu ? ProgramResource : nullptr;
        wc.lpszClassName = entry.name;
        if (!RegisterClassExW(&wc))
            return false;
    }
    Browser.instance = instance;
    return true;
}

bool PrepareBrowserState()
{
    HINSTANCE instance = Browser.instance;
    ResetBrowserState();
    Browser.instance = instance;

    // The one drop source of the file list's drags, with one reference.
    Browser.dragSource = CreateDropSource();

    // The executable's directory, cut after its last separator.
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length >= MAX_PATH)
        length = 0;  // a truncated name is no directory
    path[length] = L'\0';
    size_t cut = 0;
    for (size_t i = 0; i < length; ++i)
        if (path[i] == L'\\' || path[i] == L'/')
            cut = i + 1;
    Browser.exeDir = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, (cut + 1) * sizeof(wchar_t)));
    if (!Browser.exeDir)
        return false;
    std::memcpy(Browser.exeDir, path, cut * sizeof(wchar_t));
    Browser.exeDir[cut] = L'\0';
    return true;
}

HWND CreateZizeWindow(const Settings& settings)
{
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    RECT outer = {0, 0, DefaultClientWidth, DefaultClientHeight};
    if (settings.geometryComplete) {
        x = settings.left;
        y = settings.top;
        outer.right = settings.width;
        outer.bottom = settings.height;
    }
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, TRUE);
    return CreateWindowExW(0, MainWindowClass, L"Zize", MainWindowStyle, x, y,
                           outer.right - outer.left, outer.bottom - outer.top,
                           nullptr, nullptr, Browser.instance, &Browser);
}

int RunMessageLoop()
{
    MSG msg;
    BOOL result;
    while ((result = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (result == -1)
            return ExitNormal;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void ReleaseBrowserState()
{
    FreeChanges();
    if (Browser.dragSource) {
        Browser.dragSource->Release();
        Browser.dragSource = nullptr;
    }
    FreeItemStates(&Browser);
    if (Browser.workerThread) {
        CloseHandle(Browser.workerThread);
        Browser.workerThread = nullptr;
    }
    LocalFree(Browser.exeDir);
    Browser.exeDir = nullptr;
}

int RunZize(HINSTANCE instance)
{
    SetUnhandledExceptionFilter(CrashFilter);

    // A running instance takes the path and this one ends.
    ReadCommandLinePath();
    HWND running = FindWindowW(MainWindowClass, nullptr);
    if (running) {
        HandOverPendingPath(running);
        return ExitNormal;
    }

    if (!RegisterZizeClasses(instance)) {
        ShowStartFailure(ExitClassRegistration);
        return ExitClassRegistration;
    }
    OleInitialize(nullptr);
    // Without an executable directory the settings take their defaults.
    PrepareBrowserState();

    // The settings give the geometry, the options and the colour.
    Settings settings = {};
    ReadSettings(&settings);
    Browser.flags = (settings.options << OptionFlagsShift) & OptionFlagsMask;
    SetBrowserColourValue(settings.colour);
    HWND window = CreateZizeWindow(settings);
    if (window) {
        CreateMainChildren(&Browser, settings.splitPosition, settings.startFolder);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }
    CoTaskMemFree(settings.startFolder);

    int code = ExitWindowCreation;
    if (window)
        code = RunMessageLoop();

    // Cleanup, also after a failed creation.
    ReleaseBrowserState();
    OleUninitialize();
    ShowStartFailure(code);
    return code;
}
