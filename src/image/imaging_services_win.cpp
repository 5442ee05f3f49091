#include "image/imaging_services_win.h"

#include <windows.h>
#include <gdiplus.h>

#include <atomic>

namespace {

ULONG_PTR gdiplusToken = 0;
std::atomic<bool> stopped{false};

}  // namespace

bool StartImagingServices()
{
    Gdiplus::GdiplusStartupInput input;
    const bool started = Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) == Gdiplus::Ok;
    stopped = false;
    return started;
}

void StopImagingServices()
{
    stopped = true;
    if (gdiplusToken) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

bool ImagingAvailable()
{
    return !stopped;
}
