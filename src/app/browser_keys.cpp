#include "app/browser_keys.h"

#include <commctrl.h>

#include "browser/file_list.h"
#include "browser/file_operations.h"
#include "browser/folder_tree.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

// Backspace: the parent of the listed folder is selected; the desktop
// itself is never reached this way.
void GoToParentFolder(BrowserState* state)
{
    const TreeItemRecord* listed = SelectedFolderRecord(state);
    HWND tree = state->left.control;
    if (!listed || !tree)
        return;
    ItemIdListOwner parent(ILClone(listed->absolute));
    if (!parent || !ILRemoveLastID(parent.get()) || ILIsEmpty(parent.get()))
        return;
    if (HTREEITEM item = FindTreeItem(tree, TVI_ROOT, parent.get()))
        TreeView_SelectItem(tree, item);
}

// Enter: every selected item is opened, in index order.
void OpenSelectedItems(BrowserState* state)
{
    HWND list = state->right.control;
    if (!list)
        return;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(index), LVNI_SELECTED));
        if (index < 0)
            break;
        if (ListItemRecord* record = ListRecordOf(list, index))
            OpenListItem(state, record);
    }
}

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
    case VK_BACK:
        GoToParentFolder(state);
        break;
    case VK_RETURN:
        OpenSelectedItems(state);
        break;
    case VK_DELETE:
        DeleteSelectedItems(state);
        break;
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
