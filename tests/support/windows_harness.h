// Helpers for tests that drive Windows programs and windows under Wine:
// starting a copy of a program, finding its windows, closing message
// boxes, sending keys, reading list views across processes, screenshots
// and settings files. Windows only.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

// A path that Windows functions accept: Unix paths are given drive Z:.
std::wstring WindowsPath(const std::string& path);

// A started child process; terminated and closed at the end of its scope
// if it is still running.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts exe with the arguments in its own folder. Returns false on failure.
    bool Start(const std::wstring& exe, const std::wstring& arguments);
    // The exit code once the process has ended within timeoutMs, else STILL_ACTIVE.
    DWORD WaitForExit(DWORD timeoutMs) const;
    // Waits until the process waits for input. Returns false on timeout.
    bool WaitForIdle(DWORD timeoutMs) const;
    bool Running() const;
    DWORD Id() const { return id_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// The first visible top-level window of process id (any process when 0) and
// class name that appears within timeoutMs, or none.
HWND WaitForWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs);

// What a message box showed.
struct MessageBoxSeen {
    bool found = false;
    std::wstring caption;
    std::wstring text;
};

// Waits up to timeoutMs for a message box of process id, reads its caption
// and text, and closes it with its default button.
MessageBoxSeen CloseMessageBox(DWORD processId, DWORD timeoutMs);

// Closes the next message box of this process from a thread of its own, so
// that code on the test's thread can show one without hanging the test.
class MessageBoxCloser {
public:
    explicit MessageBoxCloser(DWORD timeoutMs);
    ~MessageBoxCloser();
    // Waits for the thread and returns what it saw.
    MessageBoxSeen Result();

private:
    std::thread thread_;
    MessageBoxSeen seen_;
    bool joined_ = false;
};

SIZE ClientSize(HWND window);
std::wstring WindowClassName(HWND window);
std::wstring WindowTitle(HWND window);

// Posts a key press and release to a window.
void PressKey(HWND window, UINT virtualKey);

// The texts of a list view's items, also of a list view in another process.
std::vector<std::wstring> ListViewItemTexts(HWND list);

// The icon rectangle of a list view's item (client coordinates), also of a
// list view in another process; an empty rectangle when there is none.
RECT ListViewIconRect(HWND list, int index);

// The text of a status bar's first part (its one text in simple mode),
// also of a status bar in another process.
std::wstring StatusBarText(HWND statusBar);

// Selects one item of a list view (also in another process) and no other.
void SelectListViewItem(HWND list, int index);

// Saves what the screen shows of a window as a PNG file.
bool SaveWindowPng(HWND window, const std::wstring& path);

// The pixels the screen shows in a window's client area, top row first, as
// 0xRRGGBB; size receives the client size.
std::vector<uint32_t> CaptureClient(HWND window, SIZE* size);

// A drop of files as WM_DROPFILES carries it (a global DROPFILES block with
// wide names); the receiver frees it with DragFinish.
HGLOBAL MakeDropFiles(const std::vector<std::wstring>& paths);

// Answers the next file dialog of this process from a thread of its own:
// reads the proposed file name, then types answer and presses OK, or
// cancels when answer is empty.
class FileDialogAnswer {
public:
    FileDialogAnswer(std::wstring answer, DWORD timeoutMs);
    ~FileDialogAnswer();
    // Waits for the thread; true when a dialog was found and answered.
    bool Answered();
    const std::wstring& Proposed() const { return proposed_; }
    // The dialog that was answered (it may be gone since).
    HWND Dialog() const { return dialog_; }

private:
    std::thread thread_;
    HWND dialog_ = nullptr;
    std::wstring proposed_;
    bool answered_ = false;
    bool joined_ = false;
};

// One value of section "WINDOW" of a settings file ("@missing" when absent).
std::wstring ReadSettingValue(const std::wstring& iniPath, const wchar_t* key);

// Copies a file into a folder under its own name; returns the new path
// (empty on failure).
std::wstring CopyFileInto(const std::wstring& file, const std::wstring& folder);

#endif  // _WIN32
