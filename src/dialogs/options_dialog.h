// The options dialog "OPTIONBOX": the three display options and the fill
// colour. It changes nothing itself; its result is stored by the caller.
#pragma once

#include <windows.h>

#include "ui/browser_state.h"

// Control ids of the dialog (res/resource.h gives the script the same).
constexpr int OptionActualSize = 36;
constexpr int OptionFitToWindow = 37;
constexpr int OptionOpenAnyFile = 38;
constexpr int OptionNoFill = 39;
constexpr int OptionFill = 40;
constexpr int OptionSwatch = 41;

// The dialog's procedure; its parameter is the BrowserState whose options
// and colour it starts from. It ends with -1 (Cancel) or with the colour
// reference in bits 0-23 and FitToWindow, OpenAnyFile, FillBackground in
// bits 24, 25 and 26.
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog modally over owner. Returns its result.
INT_PTR RunOptionsDialog(HWND owner, BrowserState* state);

// Stores a result of the dialog: red, green and blue into the colour bytes
// (the spare byte stays) and the three options into the state flags. A
// negative result (Cancel) changes nothing.
void StoreOptionsResult(BrowserState* state, INT_PTR result);
