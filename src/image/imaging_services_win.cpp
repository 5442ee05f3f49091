#include "image/imaging_services_win.h"

#include <windows.h>
#include <gdiplus.h>

#include <condition_variable>
#include <mutex>

namespace {

ULONG_PTR gdiplusToken = 0;

// Whether the services have stopped, and how many uses are in progress;
// both under the one mutex, so that no use begins after a stop has begun.
std::mutex usesLock;
std::condition_variable usesEnded;
bool stopped = false;
unsigned usesInProgress = 0;

}  // namespace

bool StartImagingServices()
{
    Gdiplus::GdiplusStartupInput input;
    const bool started = Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) == Gdiplus::Ok;
    std::lock_guard<std::mutex> hold(usesLock);
    stopped = false;
    return started;
}

void StopImagingServices()
{
    {
        std::unique_lock<std::mutex> hold(usesLock);
        stopped = true;
        usesEnded.wait(hold, [] { return usesInProgress == 0; });
    }
    if (gdiplusToken) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

bool ImagingAvailable()
{
    std::lock_guard<std::mutex> hold(usesLock);
    return !stopped;
}

ImagingUse::ImagingUse()
{
    std::lock_guard<std::mutex> hold(usesLock);
    granted_ = !stopped;
    if (granted_)
        ++usesInProgress;
}

ImagingUse::~ImagingUse()
{
    if (!granted_)
        return;
    std::lock_guard<std::mutex> hold(usesLock);
    if (--usesInProgress == 0)
        usesEnded.notify_all();
}
