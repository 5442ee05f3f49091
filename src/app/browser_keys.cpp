#include "app/browser_keys.h"

#include <commctrl.h>

#include "ui/messages.h"

namespace {

// F2: the label of the one selected item is edited; the rename follows
// when the edit ends.
void EditSelectedLabel(BrowserState* state)
{
    HWND list = state->right.control;
    if (!list || SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1)
        return;
    const LRESULT item = SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED);
    if (item >= 0)
        SendMessageW(list, LVM_EDITLABELW, WPARAM(item), 0);
}

// F5: the selected folder is listed again.
void RefreshSelectedFolder(BrowserState* state)
{
    HWND tree = state->left.control;
    HTREEITEM caret = tree ? TreeView_GetSelection(tree) : nullptr;
    if (!caret)
        return;
    TVITEMW item = {};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = caret;
    if (TreeView_GetItem(tree, &item))
        PostToWorker(WT_LIST_FOLDER, WPARAM(item.lParam), reinterpret_cast<LPARAM>(caret));
}

}  // namespace

void HandleBrowserKey(BrowserState* state, UINT key)
{
    switch (key) {
    case VK_F2:
        EditSelectedLabel(state);
        break;
    case VK_F5:
        RefreshSelectedFolder(state);
        break;
    default:
        break;
    }
}
