// What the viewer and archive windows read of the program-wide browser
// record, through a few named functions rather than its fields.
#pragma once

#include <windows.h>

#include <cstdint>

// StateFlags bits; the other bits stay 0.
constexpr uint32_t SizingInProgress = 1u << 0;
constexpr uint32_t ArrangeSuspended = 1u << 1;
constexpr uint32_t FitToWindow = 1u << 2;
constexpr uint32_t OpenAnyFile = 1u << 3;
constexpr uint32_t FillBackground = 1u << 4;
constexpr uint32_t TreeHadFocus = 1u << 5;
constexpr uint32_t ListHadFocus = 1u << 6;
constexpr uint32_t OptionFlagsShift = 2;  // the three options are bits 2 to 4
constexpr uint32_t OptionFlagsMask = FitToWindow | OpenAnyFile | FillBackground;

// The program's instance (the running module's until start-up keeps one).
HINSTANCE ProgramInstance();

// Whether one of the option bits FitToWindow, OpenAnyFile, FillBackground
// is set.
bool BrowserOption(uint32_t flag);

// The colour that transparent parts of a picture show with FillBackground.
struct FillColour {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
};
FillColour BrowserFillColour();

// The file list control of the main window, or none.
HWND FileListWindow();
