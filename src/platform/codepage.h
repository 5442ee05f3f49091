// Text in the system's ANSI code page (archive member names) to wide text.
#pragma once

// Converts bytes of the system's ANSI code page to wide characters, with the
// contract of MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, ...):
// srcLength is a byte count, or -1 for a NUL-terminated string whose
// terminator is converted too. With dstCount 0 nothing is written and the
// number of wide units needed is returned. Otherwise returns the number of
// units written, or 0 when dst is too small or the input is empty.
// Bytes that have no character are replaced, never dropped.
// Windows uses the system's code page; the native build always reads code
// page 932 (Shift-JIS), the code page the archives it meets were written in,
// and replaces what it cannot map with U+30FB, as Windows does for 932.
int AnsiToWide(const char* src, int srcLength, wchar_t* dst, int dstCount);
