// The folder worker thread: the thread that owns the file list's
// thumbnail work. The main window starts it in WM_CREATE with the address
// of BrowserState and stops it with WT_QUIT.
#pragma once

#include <windows.h>

#include <cstddef>

// The worker's buffers for shell icons: the IconImage80 it hands over and
// the work buffer in which an icon's bits are read.
constexpr size_t WorkerIconBufferBytes = 32000;
constexpr size_t WorkerIconWorkBytes = 20480;

// The thread's entry. param is the BrowserState.
DWORD WINAPI FolderWorkerThread(void* param);

// Turns a colour icon into an IconImage80 in iconBuffer (IconImage80AllocBytes),
// centred and transparent around it. The icon's bits are read at 32 bits
// per pixel into work (WorkerIconWorkBytes): the header with twice the
// width as its height, the colour rows, then the AND mask rows, which is
// the layout that ComposeIconImage takes. Returns false for an icon without
// colour bitmap, one that is not square with a side that is a multiple of 8
// up to 80, or one whose bits do not fit in work.
bool IconToThumbnail(HICON icon, BYTE* iconBuffer, BYTE* work);
