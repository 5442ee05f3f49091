// The archive window class "ZuzeDod": the members of one ZIP or LZH archive.
#pragma once

#include <windows.h>

#include "image/classify.h"
#include "platform/file.h"

LRESULT CALLBACK ArchiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the archive window for the open archive file of the given kind;
// the window takes the handle. Returns the window, or nullptr.
HWND CreateArchiveWindow(const wchar_t* path, FileHandle file, FileKind kind);
