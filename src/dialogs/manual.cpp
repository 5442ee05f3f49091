#include "dialogs/manual.h"

#include <shellapi.h>

#include <cwchar>

#include "ui/owners.h"

void OpenManual(HWND owner, const wchar_t* exeDir)
{
    // The path is built to its full length: a cut path would name another file.
    static const wchar_t ManualName[] = L"Zize.chm";
    if (!exeDir)
        return;
    const size_t folderLength = wcslen(exeDir);
    LocalOwner block(LocalAlloc(LMEM_FIXED, (folderLength + sizeof ManualName / sizeof(wchar_t)) * sizeof(wchar_t)));
    if (!block)
        return;
    wchar_t* path = static_cast<wchar_t*>(block.get());
    wmemcpy(path, exeDir, folderLength);
    wmemcpy(path + folderLength, ManualName, sizeof ManualName / sizeof(wchar_t));
    ShellExecuteW(owner, L"open", path, nullptr, nullptr, SW_SHOWNORMAL);
}
