// The program's start-up: the crash report, the single-instance hand-over,
// the window classes, BrowserState, the main window and the message loop.
#pragma once

#include <windows.h>

#include "app/settings.h"
#include "ui/window_classes.h"

// Exit codes of the entry.
constexpr int ExitNormal = 0;
constexpr int ExitClassRegistration = 2;
constexpr int ExitWindowCreation = 3;

// The whole life of the program on the main thread. Returns the exit code.
int RunZize(HINSTANCE instance);

// Copies the first argument after the program name, made absolute (see
// AbsoluteArgumentPath), into PendingPath (cleared when there is none or it
// is refused), so that a running instance, whose current folder differs,
// opens the same file.
void ReadCommandLinePath();
void ReadPathFromCommandLine(const wchar_t* commandLine);

// The full path of a command-line argument: every "/" turned into "\", then
// resolved against the current folder (GetFullPathNameW), so that a relative
// path or one with "/" names the same file from any process. An empty
// argument stays empty. Returns false, leaving path empty, when the
// argument or its full path does not fit in capacity units or in
// PendingPathCapacity.
bool AbsoluteArgumentPath(const wchar_t* argument, wchar_t* path, size_t capacity);

// Sends PendingPath to a running main window (WM_COPYDATA, dwData 1, the
// terminated UTF-16 text, also when empty).
void HandOverPendingPath(HWND running);

// Registers "ZaVuvi", "ZaraZaduz", "RezaDiz", "ZuzeDod" in this order.
// Returns false at the first failure; on success keeps the instance in
// BrowserState.
bool RegisterZizeClasses(HINSTANCE instance);

// Resets BrowserState, makes the one drop source and keeps the executable
// directory. Returns false when memory for the directory is short.
bool PrepareBrowserState();

// Creates the main window from the settings (640 x 448 client area at the
// default position when the geometry is incomplete). Returns none on failure.
HWND CreateZizeWindow(const Settings& settings);

// Runs the thread's message loop. Returns the quit message's code.
int RunMessageLoop();

// Releases what BrowserState still holds after the loop.
void ReleaseBrowserState();
