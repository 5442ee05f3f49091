#include "support/windows_harness.h"

#ifdef _WIN32

#include <commctrl.h>
#include <shlobj.h>
#include <gdiplus.h>

#include "platform/utf8.h"

std::wstring WindowsPath(const std::string& path)
{
    std::string windows = path;
    if (!windows.empty() && windows[0] == '/') {
        windows = "Z:" + windows;
        for (char& c : windows)
            if (c == '/')
                c = '\\';
    }
    return Utf8ToWide(windows);
}

ChildProcess::~ChildProcess()
{
    if (!process_)
        return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& arguments)
{
    std::wstring command = L"\"" + exe + L"\"";
    if (!arguments.empty())
        command += L" " + arguments;
    std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/") + 1);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

DWORD ChildProcess::WaitForExit(DWORD timeoutMs) const
{
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

bool ChildProcess::WaitForIdle(DWORD timeoutMs) const
{
    return WaitForInputIdle(process_, timeoutMs) == 0;
}

bool ChildProcess::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (search->processId && owner != search->processId)
        return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    if (WindowClassName(window) != search->className)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, bool visibleOnly)
{
    WindowSearch search = {processId, className, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param)
{
    std::wstring* text = reinterpret_cast<std::wstring*>(param);
    if (_wcsicmp(WindowClassName(child).c_str(), L"Static") == 0) {
        std::wstring t = WindowTitle(child);
        if (t.size() > text->size())
            *text = t;
    }
    return TRUE;
}

}  // namespace

HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindProcessWindow(processId, className, true);
        if (window || GetTickCount() - start > timeoutMs)
            return window;
        Sleep(50);
    }
}

MessageBoxSeen CloseMessageBox(DWORD processId, DWORD timeoutMs)
{
    MessageBoxSeen seen;
    HWND box = WaitForWindow(processId, L"#32770", timeoutMs);
    if (!box)
        return seen;
    seen.found = true;
    seen.caption = WindowTitle(box);
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&seen.text));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return seen;
}

MessageBoxCloser::MessageBoxCloser(DWORD timeoutMs)
    : thread_([this, timeoutMs] { seen_ = CloseMessageBox(GetCurrentProcessId(), timeoutMs); })
{
}

MessageBoxCloser::~MessageBoxCloser()
{
    Result();
}

MessageBoxSeen MessageBoxCloser::Result()
{
    if (!joined_) {
        thread_.join();
        joined_ = true;
    }
    return seen_;
}

SIZE ClientSize(HWND window)
{
    RECT r = {};
    GetClientRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

std::wstring WindowClassName(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring WindowTitle(HWND window)
{
    // GetWindowTextW reads a top-level window's caption without asking its
    // thread; a control of another process has to be asked (WM_GETTEXT).
    wchar_t text[1024] = {};
    if (GetWindowTextW(window, text, 1024) > 0)
        return text;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, nullptr);
    return text;
}

void PressKey(HWND window, UINT virtualKey)
{
    UINT scan = MapVirtualKeyW(virtualKey, 0);
    PostMessageW(window, WM_KEYDOWN, virtualKey, 1 | static_cast<LPARAM>(scan) << 16);
    PostMessageW(window, WM_KEYUP, virtualKey, 1 | static_cast<LPARAM>(scan) << 16 | 0xC0000000L);
}

std::vector<std::wstring> ListViewItemTexts(HWND list)
{
    std::vector<std::wstring> texts;
    DWORD owner = 0;
    GetWindowThreadProcessId(list, &owner);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
    if (!process)
        return texts;

    // The item record and its text buffer live in the list's process.
    const SIZE_T textUnits = 520;
    SIZE_T size = sizeof(LVITEMW) + textUnits * sizeof(wchar_t);
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    if (remote) {
        int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            item.cchTextMax = static_cast<int>(textUnits);
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            LRESULT length = SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote));
            std::wstring text(textUnits, L'\0');
            ReadProcessMemory(process, remote + sizeof(LVITEMW), &text[0], textUnits * sizeof(wchar_t), nullptr);
            text.resize(length > 0 && static_cast<SIZE_T>(length) < textUnits ? static_cast<size_t>(length) : 0);
            texts.push_back(text);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return texts;
}

RECT ListViewIconRect(HWND list, int index)
{
    RECT rect = {};
    DWORD owner = 0;
    GetWindowThreadProcessId(list, &owner);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
    if (!process)
        return rect;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        RECT request = {LVIR_ICON, 0, 0, 0};
        WriteProcessMemory(process, remote, &request, sizeof request, nullptr);
        if (SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote)))
            ReadProcessMemory(process, remote, &rect, sizeof rect, nullptr);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return rect;
}

std::wstring StatusBarText(HWND statusBar)
{
    std::wstring text;
    DWORD owner = 0;
    GetWindowThreadProcessId(statusBar, &owner);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
    if (!process)
        return text;
    const SIZE_T units = 512;
    void* remote = VirtualAllocEx(process, nullptr, units * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        const LRESULT result = SendMessageW(statusBar, SB_GETTEXTLENGTHW, 0, 0);
        const SIZE_T length = LOWORD(result);
        if (length < units) {
            SendMessageW(statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote));
            text.resize(length);
            ReadProcessMemory(process, remote, &text[0], length * sizeof(wchar_t), nullptr);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

void SelectListViewItem(HWND list, int index)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(list, &owner);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, owner);
    if (!process)
        return;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(process, remote, &state, sizeof state, nullptr);
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(remote));
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        WriteProcessMemory(process, remote, &state, sizeof state, nullptr);
        SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote));
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
}

bool SaveWindowPng(HWND window, const std::wstring& path)
{
    RECT r = {};
    if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top)
        return false;
    int width = r.right - r.left, height = r.bottom - r.top;

    // Copy the window's area of the screen.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    // Encode it as PNG.
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    bool saved = false;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        static const CLSID pngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        Gdiplus::Bitmap* image = Gdiplus::Bitmap::FromHBITMAP(bitmap, nullptr);
        if (image) {
            saved = image->Save(path.c_str(), &pngEncoder, nullptr) == Gdiplus::Ok;
            delete image;
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    return saved;
}

std::vector<uint32_t> CaptureClient(HWND window, SIZE* size)
{
    std::vector<uint32_t> pixels;
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    const int width = client.right, height = client.bottom;
    *size = SIZE{width, height};
    if (width <= 0 || height <= 0)
        return pixels;

    // A top-down 32-bit section receives the screen's copy.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, section);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    pixels.assign(p, p + size_t(width) * height);
    for (uint32_t& v : pixels)
        v &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(section);
    ReleaseDC(nullptr, screen);
    return pixels;
}

HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths)
{
    size_t units = 1;
    for (const std::wstring& p : paths)
        units += p.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& p : paths) {
        wcscpy(names, p.c_str());
        names += p.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

namespace {

// The file name box of a file dialog: the first edit control, also inside
// a combo box.
BOOL CALLBACK FindFirstEdit(HWND child, LPARAM found)
{
    if (WindowClassName(child) == L"Edit") {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

FileDialogAnswer::FileDialogAnswer(std::wstring answer, DWORD timeoutMs)
    : thread_([this, answer, timeoutMs] {
          HWND dialog = WaitForWindow(GetCurrentProcessId(), L"#32770", timeoutMs);
          if (!dialog)
              return;
          dialog_ = dialog;
          HWND edit = nullptr;
          // The dialog fills its controls after it is shown.
          for (int i = 0; i < 100 && !edit; ++i) {
              EnumChildWindows(dialog, FindFirstEdit, reinterpret_cast<LPARAM>(&edit));
              if (!edit)
                  Sleep(50);
          }
          if (!edit)
              return;
          Sleep(200);
          proposed_ = WindowTitle(edit);
          if (answer.empty()) {
              PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
          } else {
              SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.c_str()));
              PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          }
          answered_ = true;
      })
{
}

FileDialogAnswer::~FileDialogAnswer()
{
    Answered();
}

bool FileDialogAnswer::Answered()
{
    if (!joined_) {
        thread_.join();
        joined_ = true;
    }
    return answered_;
}

std::wstring ReadSettingValue(const std::wstring& iniPath, const wchar_t* key)
{
    std::wstring value(4096, L'\0');
    DWORD length = GetPrivateProfileStringW(L"WINDOW", key, L"@missing", &value[0], 4096, iniPath.c_str());
    value.resize(length);
    return value;
}

std::wstring CopyFileInto(const std::wstring& file, const std::wstring& folder)
{
    std::wstring name = file.substr(file.find_last_of(L"\\/") + 1);
    std::wstring target = folder;
    if (!target.empty() && target.back() != L'\\')
        target += L'\\';
    target += name;
    if (!CopyFileW(file.c_str(), target.c_str(), FALSE))
        return std::wstring();
    return target;
}

#endif  // _WIN32
