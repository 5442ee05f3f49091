#include "ui/browser_access.h"
#include "ui/browser_state.h"

#include <cstring>

BrowserState Browser;
wchar_t PendingPath[PendingPathCapacity];

namespace {

// The queued hand-overs: a ring of paths, each with its terminator.
wchar_t PendingQueue[PendingQueueCapacity][PendingPathCapacity];
size_t PendingQueueFirst = 0;
size_t PendingQueueCount = 0;

// The length of text up to its terminator within the bounds, or limit when
// there is none there.
size_t BoundedLength(const wchar_t* text, size_t limit)
{
    size_t length = 0;
    while (length < limit && text[length] != L'\0')
        ++length;
    return length;
}

}  // namespace

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
    const size_t limit = maxUnits < PendingPathCapacity ? maxUnits : PendingPathCapacity;
    const size_t length = BoundedLength(text, limit);
    if (length == limit)
        return false;

    std::memcpy(PendingPath, text, (length + 1) * sizeof(wchar_t));
    return true;
}

void ClearPendingPath()
{
    PendingPath[0] = L'\0';
}

bool QueuePendingPath(const wchar_t* text, size_t maxUnits)
{
    if (!text || PendingQueueCount == PendingQueueCapacity)
        return false;
    const size_t limit = maxUnits < PendingPathCapacity ? maxUnits : PendingPathCapacity;
    const size_t length = BoundedLength(text, limit);
    if (length == limit || length == 0)
        return false;
    wchar_t* slot = PendingQueue[(PendingQueueFirst + PendingQueueCount) % PendingQueueCapacity];
    std::memcpy(slot, text, length * sizeof(wchar_t));
    slot[length] = L'\0';
    ++PendingQueueCount;
    return true;
}

bool TakeQueuedPendingPath()
{
    if (PendingQueueCount == 0)
        return false;
    std::memcpy(PendingPath, PendingQueue[PendingQueueFirst], sizeof PendingPath);
    PendingQueueFirst = (PendingQueueFirst + 1) % PendingQueueCapacity;
    --PendingQueueCount;
    return true;
}

void ClearPendingQueue()
{
    PendingQueueFirst = 0;
    PendingQueueCount = 0;
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

ThreadPoster FolderWorkerPoster()
{
    return ThreadPoster{Browser.workerThread, Browser.workerThreadId};
}

bool WorkerRunning()
{
    return FolderWorkerPoster().Running();
}

bool PostToWorker(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!FolderWorkerPoster().Post(message, wParam, lParam))
        return false;
    InterlockedIncrement(&Browser.workerPosts);
    return true;
}
