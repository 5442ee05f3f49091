#include "browser/pane_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include "browser/change_queue.h"
#include "browser/file_list.h"
#include "browser/folder_tree.h"
#include "browser/pane_layout.h"
#include "browser/standard_icons.h"
#include "ui/message_table.h"
#include "ui/messages.h"


namespace {

constexpr int SplitterWidth = 4;
// The first sizes assume the default client area; the first WM_SIZE of the
// main window sets the real ones.
constexpr int InitialClientWidth = 640;
constexpr int InitialClientHeight = 448;
constexpr int DragIdle = 0;
constexpr int Dragging = 2;

constexpr DWORD PaneStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr DWORD TreeStyle = WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
constexpr DWORD ListStyle = WS_CHILD | WS_VISIBLE | LVS_ICON | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE | LVS_EDITLABELS;
constexpr DWORD ControlExStyle = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;

// The outer height of the status bar, 0 without one.
int StatusBarHeight(HWND statusBar)
{
    RECT r = {};
    if (!statusBar || !GetWindowRect(statusBar, &r))
        return 0;
    return r.bottom - r.top;
}

// The control fills the pane, less the splitter strip of the left pane.
LRESULT OnSize(PaneRecord* pane, HWND, WPARAM, LPARAM lParam)
{
    if (!pane->control)
        return 0;
    int width = GET_X_LPARAM(lParam);
    if (HasNeighbour(pane))
        width -= SplitterWidth;
    SetWindowPos(pane->control, nullptr, 0, 0, width < 0 ? 0 : width, GET_Y_LPARAM(lParam), SWP_NOZORDER);
    return 0;
}

LRESULT OnSetCursor(PaneRecord* pane, HWND, WPARAM, LPARAM)
{
    SetCursor(LoadCursorW(nullptr, HasNeighbour(pane) ? IDC_SIZEWE : IDC_ARROW));
    return 0;
}

// A press in the left pane's own area (the strip) starts a drag.
LRESULT OnButtonDown(PaneRecord* pane, HWND window, WPARAM, LPARAM lParam)
{
    SetCapture(window);
    if (!HasNeighbour(pane))
        return 0;
    RECT client = {};
    GetClientRect(window, &client);
    pane->browser->splitDragState = Dragging;
    pane->browser->splitGrabOffset = client.right - GET_X_LPARAM(lParam);
    return 0;
}

// Moves both panes to the split under the pointer.
void MoveSplit(PaneRecord* pane, int x)
{
    RECT left = {};
    RECT right = {};
    GetWindowRect(pane->pane, &left);
    GetWindowRect(pane->neighbour, &right);
    POINT origin = {left.left, left.top};
    ScreenToClient(pane->mainWindow, &origin);
    const int height = left.bottom - left.top;
    const SplitWidths split = ComputeSplit(x, pane->browser->splitGrabOffset, left.left, right.right);

    LockWindowUpdate(pane->mainWindow);
    SetWindowPos(pane->pane, nullptr, origin.x, origin.y, split.left, height, SWP_NOZORDER);
    SetWindowPos(pane->neighbour, nullptr, origin.x + split.left, origin.y, split.right, height, SWP_NOZORDER);
    LockWindowUpdate(nullptr);
    UpdateWindow(pane->mainWindow);
}

LRESULT OnMouseMove(PaneRecord* pane, HWND, WPARAM, LPARAM lParam)
{
    if (pane->browser->splitDragState == Dragging && HasNeighbour(pane))
        MoveSplit(pane, GET_X_LPARAM(lParam));
    return 0;
}

LRESULT OnButtonUp(PaneRecord* pane, HWND, WPARAM, LPARAM)
{
    pane->browser->splitDragState = DragIdle;
    ReleaseCapture();
    return 0;
}

// A drag also ends when the capture goes elsewhere (another window took
// it, a menu or Alt+Tab): the strip no longer follows the pointer.
LRESULT OnCaptureChanged(PaneRecord* pane, HWND, WPARAM, LPARAM)
{
    pane->browser->splitDragState = DragIdle;
    return 0;
}

// The controls' notifications go to their handlers by sender.
LRESULT OnNotify(PaneRecord* pane, HWND, WPARAM, LPARAM lParam)
{
    NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
    BrowserState* browser = pane->browser;
    if (!header)
        return 0;
    if (header->hwndFrom && header->hwndFrom == browser->left.control)
        HandleTreeNotify(browser, header);
    else if (header->hwndFrom && header->hwndFrom == browser->right.control)
        HandleListNotify(browser, header);
    return 0;
}

// A right click on a folder selects it; there is no menu.
LRESULT OnContextMenu(PaneRecord* pane, HWND, WPARAM, LPARAM lParam)
{
    HWND tree = pane->browser->left.control;
    if (!tree)
        return 0;
    TVHITTESTINFO hit = {};
    hit.pt.x = GET_X_LPARAM(lParam);
    hit.pt.y = GET_Y_LPARAM(lParam);
    ScreenToClient(tree, &hit.pt);
    HTREEITEM item = TreeView_HitTest(tree, &hit);
    if (item)
        TreeView_SelectItem(tree, item);
    return 0;
}

// A shell change is queued for the worker's next pause between two files.
void QueueChange(WPARAM wParam, LPARAM lParam, LONG source)
{
    LPITEMIDLIST* lists = nullptr;
    LONG event = 0;
    HANDLE lock = SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam), static_cast<DWORD>(lParam), &lists,
                                            &event);
    if (!lock)
        return;
    AppendChange(lists ? lists[0] : nullptr, lists ? lists[1] : nullptr, event, source);
    SHChangeNotification_Unlock(lock);
    PostToWorker(WT_CHANGES, 0, 0);
}

LRESULT OnTreeChange(PaneRecord*, HWND, WPARAM wParam, LPARAM lParam)
{
    QueueChange(wParam, lParam, ChangeFromTree);
    return 0;
}

LRESULT OnListChange(PaneRecord*, HWND, WPARAM wParam, LPARAM lParam)
{
    QueueChange(wParam, lParam, ChangeFromList);
    return 0;
}

const MessageRow<PaneRecord> PaneHandlers[] = {
    {WM_SIZE, OnSize},
    {WM_SETCURSOR, OnSetCursor},
    {WM_LBUTTONDOWN, OnButtonDown},
    {WM_MOUSEMOVE, OnMouseMove},
    {WM_LBUTTONUP, OnButtonUp},
    {WM_CAPTURECHANGED, OnCaptureChanged},
    {WM_NOTIFY, OnNotify},
    {WM_CONTEXTMENU, OnContextMenu},
    {MSG_TREE_CHANGE, OnTreeChange},
    {MSG_LIST_CHANGE, OnListChange},
};

// A pane window with its record, which is attached as it is created.
HWND CreatePane(BrowserState* state, PaneRecord* record, const wchar_t* title, int x, int width, int height)
{
    return CreateWindowExW(0, PaneWindowClass, title, PaneStyle, x, 0, width, height, state->mainWindow, nullptr,
                           state->instance, record);
}

HWND CreateControl(BrowserState* state, const wchar_t* className, DWORD style, HWND parent, int width, int height)
{
    return CreateWindowExW(ControlExStyle, className, L"", style, 0, 0, width < 0 ? 0 : width, height, parent,
                           nullptr, state->instance, nullptr);
}

}  // namespace

LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageTable(PaneHandlers, window, message, wParam, lParam);
}

void CreateMainChildren(BrowserState* state, int splitPosition, LPCITEMIDLIST startFolder)
{
    // The status bar first: the panes stand above it.
    state->statusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM | SBARS_SIZEGRIP, nullptr,
                                           state->mainWindow, StatusBarId);
    // One text for the whole bar: the bar shows its simple part.
    if (state->statusBar)
        SendMessageW(state->statusBar, SB_SIMPLE, TRUE, 0);
    const int height = InitialClientHeight - StatusBarHeight(state->statusBar);
    PrepareStandardIcons(state->instance);

    // The panes with their records; a saved split that the window cannot
    // show is brought into reach.
    RECT client = {};
    GetClientRect(state->mainWindow, &client);
    const int split = ReachableSplit(splitPosition, client.right > 0 ? int(client.right) : InitialClientWidth);
    state->left = PaneRecord{nullptr, state->mainWindow, nullptr, nullptr, state};
    state->right = PaneRecord{nullptr, state->mainWindow, nullptr, nullptr, state};
    HWND left = CreatePane(state, &state->left, L"LEFT", 0, split, height);
    HWND right = CreatePane(state, &state->right, L"RIGHT", split, InitialClientWidth - split, height);
    state->left.pane = left;
    state->left.neighbour = right;
    state->right.pane = right;

    // The folder tree and the file list inside them.
    state->left.control = CreateControl(state, WC_TREEVIEWW, TreeStyle, left, split - SplitterWidth, height);
    state->right.control = CreateControl(state, WC_LISTVIEWW, ListStyle, right, InitialClientWidth - split, height);

    // The first folder is listed by posting to the worker: its queue must
    // exist. A worker that ended before saying so lists nothing.
    if (state->workerReady && state->workerThread) {
        HANDLE waits[2] = {state->workerReady, state->workerThread};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }

    // Selecting the start folder lists it.
    if (state->left.control) {
        if (HTREEITEM start = InitFolderTree(state->left.control, state->mainWindow, startFolder))
            TreeView_SelectItem(state->left.control, start);
    }

    // The file list's own procedure keeps the first visible item for the worker.
    if (state->right.control) {
        state->listSavedProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(state->right.control, GWLP_WNDPROC));
        AttachRecord(state->right.control, state);
        SetWindowLongPtrW(state->right.control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FileListProc));
    }

    // The first sizes assumed the default client area; now the real one.
    LayoutMainWindow(state);
}

void LayoutMainWindow(BrowserState* state)
{
    RECT client = {};
    GetClientRect(state->mainWindow, &client);
    if (state->statusBar)
        SendMessageW(state->statusBar, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    if (!state->left.pane)
        return;

    RECT left = {};
    GetWindowRect(state->left.pane, &left);
    const PaneLayout layout =
        ComputePaneLayout(client.right, client.bottom, StatusBarHeight(state->statusBar), left.right - left.left);
    constexpr UINT flags = SWP_NOZORDER | SWP_NOREDRAW;
    SetWindowPos(state->left.pane, nullptr, 0, 0, layout.leftWidth, layout.paneHeight, flags);
    if (state->right.pane)
        SetWindowPos(state->right.pane, nullptr, layout.leftWidth, 0, layout.rightWidth, layout.paneHeight, flags);
}
