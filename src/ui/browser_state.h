// BrowserState, the one program-wide record of the browser, and
// PendingPath, the path that the command line or a second instance asks the
// program to show. Both live on the main thread; the folder worker gets the
// record's address as its thread parameter.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstddef>
#include <cstdint>

#include "ui/browser_access.h"
#include "ui/thread_poster.h"

struct BrowserState;

// One pane window: itself, the main window, its control (tree or list), its
// neighbour (the right pane for the left one; none for the right one) and
// the browser record it belongs to.
struct PaneRecord {
    HWND pane;
    HWND mainWindow;
    HWND control;
    HWND neighbour;
    BrowserState* browser;
};

// One queued shell change notification.
struct ChangeRecord {
    LPITEMIDLIST first;
    LPITEMIDLIST second;
    LONG event;
    LONG source;  // 1 = the tree's registration, 0 = the list's
};

// A change registration id that stands for "none".
constexpr DWORD NoChangeRegistration = 0xFFFFFFFF;

// Indices of colour[]: the spare byte, then blue, green, red.
enum ColourByte { ColourSpare = 0, ColourBlue = 1, ColourGreen = 2, ColourRed = 3 };

struct BrowserState {
    HWND mainWindow;
    HWND statusBar;
    PaneRecord left;
    PaneRecord right;
    HANDLE workerReady;
    HTREEITEM selectedTreeItem;
    HIMAGELIST listImages;
    WNDPROC listSavedProc;
    int32_t imageIndex[3];  // file, folder, archive icon in the list image list
    wchar_t* exeDir;        // with its trailing separator; LocalAlloc
    HINSTANCE instance;
    HANDLE workerThread;
    DWORD workerThreadId;
    DWORD changeRegistration[2];  // [0] listed folder, [1] tree
    HGLOBAL changeQueue;          // GlobalAlloc(GMEM_MOVEABLE) block of ChangeRecord
    DWORD changeCount;
    IDropSource* dragSource;
    uint8_t colour[4];
    uint8_t* itemStates;  // one byte per list item; LocalAlloc
    int32_t firstVisibleIndex;  // the first visible item last told to the worker; -1 none
    DWORD itemCount;
    uint32_t flags;
    int32_t splitGrabOffset;
    int32_t splitDragState;
    COLORREF dialogColour;  // the options dialog's working colour while it is open
    uint32_t listingNumber;  // listings shown so far: a worker result for an earlier one is dropped
    volatile LONG workerPosts;  // messages posted to the folder worker so far
    DWORD listPaintTick;        // GetTickCount at the file list's last paint
};

extern BrowserState Browser;

// At most 263 characters and the terminator; an empty first unit means
// nothing is pending.
constexpr size_t PendingPathCapacity = 264;
extern wchar_t PendingPath[PendingPathCapacity];

// Sets every field of Browser to its initial value (handles none, image
// indices -1, no change registrations, white fill colour).
void ResetBrowserState();

// Copies a path into PendingPath. The text is read up to its terminator
// but never past maxUnits units. Returns false, leaving PendingPath empty,
// when no terminator is found there or the path has more than 263
// characters: a shortened path would name another file.
bool SetPendingPath(const wchar_t* text, size_t maxUnits);
void ClearPendingPath();

// Hand-overs that arrive while PendingPath still waits for its folder's
// listing wait in a queue of this many paths, in arrival order; more are
// dropped.
constexpr size_t PendingQueueCapacity = 64;

// Keeps a path for later, with the bounds of SetPendingPath. Returns false
// when it is refused or the queue is full.
bool QueuePendingPath(const wchar_t* text, size_t maxUnits);

// Moves the oldest queued path into PendingPath. Returns false, leaving
// PendingPath as it is, when none waits.
bool TakeQueuedPendingPath();

// Forgets every queued path.
void ClearPendingQueue();

// The colour as the settings store it: spare << 24 | blue << 16 |
// green << 8 | red.
uint32_t BrowserColourValue();
void SetBrowserColourValue(uint32_t value);

// The folder worker's thread, to post to.
ThreadPoster FolderWorkerPoster();

// Posts a thread message to the folder worker, repeating every 10 ms until
// the worker's queue accepts it. Returns false at once when there is no
// running worker to post to.
bool PostToWorker(UINT message, WPARAM wParam, LPARAM lParam);

// Whether the folder worker thread exists and has not ended.
bool WorkerRunning();
