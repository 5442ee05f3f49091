#include "ui/browser_access.h"
#include "ui/browser_state.h"

#include <cstring>

BrowserState Browser;
wchar_t PendingPath[PendingPathCapacity];

void ResetBrowserState()
{
    std::memset(&Browser, 0, sizeof Browser);
    for (int32_t& index : Browser.imageIndex)
        index = -1;
    Browser.changeRegistration[0] = NoChangeRegistration;
    Browser.changeRegistration[1] = NoChangeRegistration;
    SetBrowserColourValue(0x00FFFFFF);
}

bool SetPendingPath(const wchar_t* text, size_t maxUnits)
{
    ClearPendingPath();
    if (!text)
        return false;

    // Find the terminator within the bounds given and the buffer's room.
    size_t limit = maxUnits < PendingPathCapacity ? maxUnits : PendingPathCapacity;
    size_t length = 0;
    while (length < limit && text[length] != L'\0')
        ++length;
    if (length == limit)
        return false;

    std::memcpy(PendingPath, text, (length + 1) * sizeof(wchar_t));
    return true;
}

void ClearPendingPath()
{
    PendingPath[0] = L'\0';
}

uint32_t BrowserColourValue()
{
    return static_cast<uint32_t>(Browser.colour[ColourSpare]) << 24 |
           static_cast<uint32_t>(Browser.colour[ColourBlue]) << 16 |
           static_cast<uint32_t>(Browser.colour[ColourGreen]) << 8 |
           static_cast<uint32_t>(Browser.colour[ColourRed]);
}

void SetBrowserColourValue(uint32_t value)
{
    Browser.colour[ColourSpare] = static_cast<uint8_t>(value >> 24);
    Browser.colour[ColourBlue] = static_cast<uint8_t>(value >> 16);
    Browser.colour[ColourGreen] = static_cast<uint8_t>(value >> 8);
    Browser.colour[ColourRed] = static_cast<uint8_t>(value);
}

HINSTANCE ProgramInstance()
{
    return Browser.instance ? Browser.instance : GetModuleHandleW(nullptr);
}

bool BrowserOption(uint32_t flag)
{
    return (Browser.flags & flag) != 0;
}

FillColour BrowserFillColour()
{
    return FillColour{Browser.colour[ColourBlue], Browser.colour[ColourGreen], Browser.colour[ColourRed]};
}

HWND FileListWindow()
{
    return Browser.right.control;
}

bool WorkerRunning()
{
    DWORD code = 0;
    return Browser.workerThread && GetExitCodeThread(Browser.workerThread, &code) && code == STILL_ACTIVE;
}

bool PostToWorker(UINT message, WPARAM wParam, LPARAM lParam)
{
    while (!PostThreadMessageW(Browser.workerThreadId, message, wParam, lParam)) {
        if (!WorkerRunning())
            return false;
        Sleep(10);
    }
    return true;
}
