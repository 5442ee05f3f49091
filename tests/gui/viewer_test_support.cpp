#include "gui/viewer_test_support.h"

#include "ui/browser_state.h"
#include "app/startup.h"
#include "platform/memory_block.h"
#include "support/tga_builder.h"
#include "support/windows_harness.h"
#include "viewer/open_path.h"

namespace {

const wchar_t* const ClassNames[] = {L"ZaVuvi", L"ZaraZaduz", L"RezaDiz", L"ZuzeDod"};

BOOL CALLBACK CollectViewers(HWND window, LPARAM list)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && WindowClassName(window) == L"RezaDiz")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

}  // namespace

ViewerImage* MakeViewerImage(uint32_t width, uint32_t height, const ColourAt& colour)
{
    ViewerImage* image = AllocViewerImage();
    const uint64_t stride = Stride24(width);
    image->picture = DecodedImage{width, height, 24, FixedAlloc(stride * height)};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            uint8_t* p = image->picture.pixels + y * stride + 3 * x;
            p[0] = uint8_t(c);
            p[1] = uint8_t(c >> 8);
            p[2] = uint8_t(c >> 16);
        }
    return image;
}

uint32_t PixelAt(const DecodedImage& picture, uint32_t x, uint32_t y)
{
    const uint8_t* p = picture.pixels + y * Stride24(picture.width) + 3 * x;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool HasBar(HWND window, LONG_PTR bar)
{
    return (GetWindowLongPtrW(window, GWL_STYLE) & bar) != 0;
}

SCROLLINFO BarInfo(HWND window, int bar)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(window, bar, &info);
    return info;
}

uint32_t WindowColour()
{
    const COLORREF c = GetSysColor(COLOR_WINDOW);
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

void ViewerWindowTest::SetUp()
{
    instance = GetModuleHandleW(nullptr);
    ResetBrowserState();
    Browser.instance = instance;
    ASSERT_TRUE(RegisterZizeClasses(instance));
}

void ViewerWindowTest::TearDown()
{
    std::vector<HWND> open;
    EnumWindows(CollectViewers, reinterpret_cast<LPARAM>(&open));
    for (HWND window : open)
        DestroyWindow(window);
    PumpMessages();
    for (const wchar_t* name : ClassNames)
        UnregisterClassW(name, instance);
    ResetBrowserState();
}

HWND ViewerWindowTest::Open(ViewerImage* image, uint8_t fitMode, const wchar_t* title)
{
    if (fitMode)
        Browser.flags |= FitToWindow;
    else
        Browser.flags &= ~FitToWindow;
    HWND window = CreateViewerWindow(title, image);
    EXPECT_NE(nullptr, window);
    PumpMessages();
    return window;
}

void ViewerWindowTest::SetClientSize(HWND window, int cw, int ch)
{
    RECT outer = {};
    RECT client = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int width = cw + (outer.right - outer.left) - client.right;
    const int height = ch + (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages();
}

std::vector<uint32_t> ViewerWindowTest::Capture(HWND window, SIZE* size)
{
    SetForegroundWindow(window);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    PumpMessages();
    GdiFlush();
    Sleep(100);
    PumpMessages();
    return CaptureClient(window, size);
}

std::wstring ViewerWindowTest::ArtifactPath(const wchar_t* name)
{
    std::wstring folder = WindowsPath(ZIZE_ARTIFACT_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

std::vector<uint8_t> TgaFile(uint32_t width, uint32_t height, const ColourAt& colour,
                             const std::function<uint8_t(uint32_t, uint32_t)>& alpha)
{
    TgaImage tga;
    tga.width = static_cast<uint16_t>(width);
    tga.height = static_cast<uint16_t>(height);
    tga.depth = alpha ? 32 : 24;
    tga.descriptor = alpha ? 0x28 : 0x20;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            tga.pixels.push_back(uint8_t(c));
            tga.pixels.push_back(uint8_t(c >> 8));
            tga.pixels.push_back(uint8_t(c >> 16));
            if (alpha)
                tga.pixels.push_back(alpha(x, y));
        }
    return BuildTga(tga);
}
