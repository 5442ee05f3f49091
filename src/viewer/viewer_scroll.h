// Scrolling and dragging a viewer window's picture at actual size: the
// window's scroll bars and the picture's scroll offsets kept in step.
#pragma once

#include <windows.h>

#include "viewer/viewer_image.h"

// Recomputes the scroll bars for the window rectangle proposed (screen
// coordinates; not changed) and stores the offsets the bars then show.
void UpdateViewerScrollBars(ViewerImage* image, HWND window, const RECT* proposed);

// Brings the bars in step with the window's present size: the update above
// on the current rectangle, repeated while a bar it showed or hid changes
// the client area, so that the bars match it and no offset passes the
// largest one.
void RefitViewerScrollBars(ViewerImage* image, HWND window);

// True while the bars are being changed: the size messages this causes are
// not acted on.
bool ViewerScrollBarsChanging();

// Carries out a scroll-bar request (0 to 5; others are ignored) on bar
// (SB_HORZ or SB_VERT).
void ScrollViewer(ViewerImage* image, HWND window, int bar, int request);

// The largest offsets for the present client area: 0 in a direction
// without a scroll bar.
LONG MaxScrollX(const ViewerImage* image, HWND window);
LONG MaxScrollY(const ViewerImage* image, HWND window);

// Message handlers of the window procedure.
LRESULT OnViewerHScroll(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerVScroll(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerMouseWheel(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerSizing(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerButtonDown(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerMouseMove(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnViewerButtonUp(ViewerImage* image, HWND window, WPARAM wParam, LPARAM lParam);
