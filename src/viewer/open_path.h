// Turning a path into a window: archives into an archive window, pictures
// into a viewer window sized from the picture and the work area.
#pragma once

#include <windows.h>

#include <cstdint>

#include "image/classify.h"
#include "image/decoded_image.h"
#include "platform/file.h"
#include "viewer/viewer_image.h"
#include "ui/window_classes.h"

// Opens path in a new window. Returns -1 when the file cannot be opened or
// classified, 0 otherwise (also when the picture cannot be decoded: then no
// window opens and nothing is shown).
int OpenPath(const wchar_t* path);

// The creation parameter of an archive window: what its creation handler
// needs to read the archive. The handler copies the path and sets taken once
// the file is its own (also when it then fails and closes it).
struct ArchiveWindowCreation {
    const wchar_t* path;
    FileHandle file;
    FileKind kind;
    bool taken;
};

// Creates the archive window ("ZuzeDod") for the open archive file of the
// given kind; the window takes the handle, which is closed when no window
// could take it. Returns the window, or nullptr (also for a damaged or empty
// archive, which leaves no window).
HWND CreateArchiveWindow(const wchar_t* path, FileHandle file, FileKind kind);

// Loads the open file into a new ViewerImage in the 24-bit form; with the
// fill option the picture is loaded with alpha and composed over the fill
// colour. The caller keeps the handle. Returns nullptr when the load fails.
ViewerImage* LoadViewerImage(const wchar_t* path, FileHandle file);

// Allocates a cleared ViewerImage. Returns nullptr when memory is short.
ViewerImage* AllocViewerImage();

// Frees a ViewerImage that no window has taken, with its pixels.
void FreeViewerImage(ViewerImage* image);

// Fills a 24-bit picture's every pixel with blue, green, red (the row
// padding is left alone) and composes overlay (32-bit form) over it.
void ComposeOverFill(DecodedImage* base, const DecodedImage* overlay, uint8_t blue, uint8_t green, uint8_t red);

// Creates a viewer window titled title for image, whose picture is filled;
// the window owns the record from here on (also when creation fails, in
// which case it is freed and nullptr returned).
HWND CreateViewerWindow(const wchar_t* title, ViewerImage* image);
