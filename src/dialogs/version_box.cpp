#include "dialogs/version_box.h"

#include <cwchar>

#include "ui/browser_access.h"
#include "ui/owners.h"

namespace {

// The screen as "%dx%d (%dbit)"; "64" unless this is a 32-bit process on
// 64-bit Windows.
INT_PTR OnInitDialog(HWND dialog)
{
    WindowDc screen(nullptr);
    wchar_t text[64] = L"";
    if (screen.get())
        swprintf(text, 64, L"%dx%d (%dbit)", GetDeviceCaps(screen.get(), HORZRES),
                 GetDeviceCaps(screen.get(), VERTRES), GetDeviceCaps(screen.get(), BITSPIXEL));
    SetDlgItemTextW(dialog, VersionScreen, text);
    BOOL emulated = TRUE;
    const bool native = IsWow64Process(GetCurrentProcess(), &emulated) && !emulated;
    SetDlgItemTextW(dialog, VersionBits, native ? L"64" : L"");
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK VersionBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

void RunVersionBox(HWND owner)
{
    DialogBoxParamW(ProgramInstance(), L"ABOUTBOX", owner, VersionBoxProc, 0);
}
