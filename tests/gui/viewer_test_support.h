// Shared set-up of the viewer window tests: the window classes registered
// in this process, pictures made from a colour function, windows pumped
// until they have painted, and the client area read back from the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "viewer/viewer_image.h"

// A picture colour at (x, y) as 0xRRGGBB.
using ColourAt = std::function<uint32_t(uint32_t x, uint32_t y)>;

// A ViewerImage with a width x height picture in the 24-bit form.
ViewerImage* MakeViewerImage(uint32_t width, uint32_t height, const ColourAt& colour);

// The colour of pixel (x, y) of a 24-bit picture as 0xRRGGBB.
uint32_t PixelAt(const DecodedImage& picture, uint32_t x, uint32_t y);

// Handles the messages waiting for this thread.
void PumpMessages();

// True when the window's style has the scroll bar style bar.
bool HasBar(HWND window, LONG_PTR bar);

// Everything GetScrollInfo tells of one of the window's bars.
SCROLLINFO BarInfo(HWND window, int bar);

// The screen colour of the window colour, 0xRRGGBB.
uint32_t WindowColour();

class ViewerWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a viewer on a picture in the given mode; the title is the path.
    HWND Open(ViewerImage* image, uint8_t fitMode, const wchar_t* title = L"C:\\pics\\a.mag");
    // Gives the window a client area of cw x ch (the bars it shows now kept).
    void SetClientSize(HWND window, int cw, int ch);
    // Paints everything and reads the client area back.
    std::vector<uint32_t> Capture(HWND window, SIZE* size);
    // The artifact folder of the test run.
    std::wstring ArtifactPath(const wchar_t* name);

    HINSTANCE instance = nullptr;
};

// A top-left TGA file of the picture: 24-bit, or 32-bit with alpha(x, y).
std::vector<uint8_t> TgaFile(uint32_t width, uint32_t height, const ColourAt& colour,
                             const std::function<uint8_t(uint32_t, uint32_t)>& alpha = nullptr);
