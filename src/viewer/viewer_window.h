// The viewer window class "RezaDiz": one picture in a window of its own,
// fitted to the window or at actual size, with its context menu, keys,
// saving and dropped pictures.
#pragma once

#include <windows.h>

#include "viewer/viewer_image.h"

LRESULT CALLBACK ViewerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The command numbers of the context menu, the keys and WM_COMMAND.
enum ViewerCommand : int {
    CommandFitToDisplay = 1,
    CommandFitWindowToPicture = 2,
    CommandFocusFileList = 3,
    CommandFocusViewerBelow = 4,
    CommandFocusNextByAge = 5,
    CommandMirror = 6,
    CommandUpsideDown = 7,
    CommandToggleMode = 8,
    CommandSave = 9,
    CommandClose = 10,
};

// Identifiers of the context menu's separators.
constexpr UINT ViewerMenuSeparators[] = {11, 12, 13};

// The ViewerImage of a viewer window, or nullptr.
ViewerImage* ViewerOf(HWND window);

// Writes the zoom suffix " | N%" (percent >= 0) into the window's title, or
// removes it (percent < 0).
void SetZoomTitle(HWND window, int percent);

// Builds the context menu for a window in fitMode; the caller destroys it.
HMENU BuildViewerMenu(uint8_t fitMode);

// The viewer window created next after this one among those below it in
// the z-order (the earliest one after the latest), or nullptr when there is
// no other viewer window below.
HWND FindNextViewerByAge(HWND window);

// Derives the proposed save name from a title in place: the text before the
// zoom suffix, its last path component moved to the start. buffer holds
// 260 units.
void ProposeSaveName(wchar_t* buffer);

// Writes the window's picture to path as a BMP file; shows the failure box
// when it cannot be written. Returns what WriteBmpFile returns.
int SaveViewerPicture(HWND window, const wchar_t* path);

// Composes the picture file at path over the window's picture when it is a
// picture (not an archive) that loads. Returns true when it changed.
bool DropOnViewer(HWND window, const wchar_t* path);
