#include "gui/browser_test_support.h"

#include <ole2.h>

#include "app/startup.h"
#include "ui/browser_state.h"

namespace {

const wchar_t* const ClassNames[] = {L"ZaVuvi", L"ZaraZaduz", L"RezaDiz", L"ZuzeDod"};

}  // namespace

bool StartTestBrowser(const std::wstring& folder)
{
    if (!RegisterZizeClasses(GetModuleHandleW(nullptr)))
        return false;
    OleInitialize(nullptr);
    if (!PrepareBrowserState())
        return false;
    SetTestExeDir(folder);
    return true;
}

void SetTestExeDir(std::wstring folder)
{
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    LocalFree(Browser.exeDir);
    Browser.exeDir = static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, (folder.size() + 1) * sizeof(wchar_t)));
    wcscpy(Browser.exeDir, folder.c_str());
}

void EndTestBrowser(HWND window)
{
    if (window && IsWindow(window)) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        RunMessageLoop();
    }
    ReleaseBrowserState();
    OleUninitialize();
    for (const wchar_t* name : ClassNames)
        UnregisterClassW(name, GetModuleHandleW(nullptr));
    ResetBrowserState();
    ClearPendingPath();
}
