// Shared set-up of the tests that run the browser's main window in this
// process: the window classes, OLE and the browser record prepared as
// start-up does, with the settings file in a folder of the test.
#pragma once

#include <windows.h>

#include <string>

// Prepares the process; folder stands for the executable's directory.
// Returns false when the classes or the record cannot be had.
bool StartTestBrowser(const std::wstring& folder);

// Gives the browser another executable directory (the settings file and
// the tree's fallback folder are found there).
void SetTestExeDir(std::wstring folder);

// Closes the main window the normal way when it is still open (so its
// worker ends too), then undoes StartTestBrowser.
void EndTestBrowser(HWND window);
