// The crash report: the process-wide filter for exceptions that nothing
// else handles. It shows the exception's address and code and fourteen
// general registers in a message box, then lets the process end.
#pragma once

#include <windows.h>

// Units of the formatted report, terminator excluded.
constexpr int CrashReportLength = 330;
// Room that FormatCrashReport needs (wsprintfW's own limit).
constexpr int CrashReportBufferSize = 1024;

// Formats the report of an exception into text (CrashReportBufferSize
// units). Returns the number of units written.
int FormatCrashReport(const EXCEPTION_POINTERS* pointers, wchar_t* text);

// Shows the report in a task-modal box captioned "Zize Error". Returns
// EXCEPTION_EXECUTE_HANDLER once the box is closed, so that the process
// ends without the platform's own error dialog.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers);
