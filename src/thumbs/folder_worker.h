// The folder worker thread: the thread that owns the file list's
// thumbnail work. The main window starts it in WM_CREATE with the address
// of BrowserState and stops it with WT_QUIT.
#pragma once

#include <windows.h>

// The thread's entry. param is the BrowserState.
DWORD WINAPI FolderWorkerThread(void* param);
