#include "browser/file_list.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "browser/file_operations.h"
#include "browser/folder_tree.h"
#include "browser/shell_names.h"
#include "browser/standard_icons.h"
#include "ui/message_table.h"
#include "ui/owners.h"
#include "viewer/open_path.h"

namespace {

constexpr ULONG ListAttributeMask = 0x60428000;  // FILESYSTEM, FOLDER, STREAM, SHARE, GHOSTED
constexpr int StatusPart = 255;

// Writes the status bar's one text.
void SetStatusText(const wchar_t* text)
{
    if (Browser.statusBar)
        SendMessageW(Browser.statusBar, SB_SETTEXTW, StatusPart, reinterpret_cast<LPARAM>(text));
}

// Double click: the item under the pointer now is opened.
void OnDoubleClick(HWND list)
{
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    const int index = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (index >= 0 && (hit.flags & LVHT_ONITEM))
        if (ListItemRecord* record = ListRecordOf(list, index))
            OpenListItem(record);
}

// One more state byte 0 at the end, and one more item for the worker.
void AppendItemState(BrowserState* state, WorkerSaveArea* saveArea)
{
    HLOCAL grown = state->itemStates ? LocalReAlloc(state->itemStates, state->itemCount + 1, LMEM_MOVEABLE)
                                     : LocalAlloc(LMEM_FIXED, 1);
    if (!grown)
        return;
    state->itemStates = static_cast<uint8_t*>(grown);
    state->itemStates[state->itemCount++] = 0;
    if (saveArea)
        ++saveArea->itemCount;
}

// Item k leaves the states; the worker's scan keeps pointing at the same item.
void RemoveItemState(BrowserState* state, WorkerSaveArea* saveArea, int k)
{
    if (k >= 0 && static_cast<DWORD>(k) < state->itemCount) {
        std::memmove(state->itemStates + k, state->itemStates + k + 1, state->itemCount - k - 1);
        --state->itemCount;
    }
    if (saveArea) {
        if (saveArea->itemCount > 0)
            --saveArea->itemCount;
        if (k < saveArea->currentIndex)
            --saveArea->currentIndex;
    }
}

// The first item whose absolute list equals absolute, or -1.
int FindListItem(HWND list, LPCITEMIDLIST absolute)
{
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const ListItemRecord* record = ListRecordOf(list, i);
        if (record && ILIsEqual(record->absolute, absolute))
            return i;
    }
    return -1;
}

// A renamed item takes the new list and the new name.
void ApplyItemRename(HWND list, int index, LPCITEMIDLIST renamed)
{
    ListItemRecord* record = ListRecordOf(list, index);
    LPITEMIDLIST copy = renamed ? ILClone(renamed) : nullptr;
    if (!record || !copy) {
        CoTaskMemFree(copy);
        return;
    }
    CoTaskMemFree(record->absolute);
    record->absolute = copy;
    record->relative = ILFindLastID(copy);
    wchar_t name[ShellNameCapacity];
    ShellDisplayName(record->folder, record->relative, SHGDN_NORMAL, name, ShellNameCapacity);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = name;
    item.lParam = reinterpret_cast<LPARAM>(record);
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// Deletes the item and its state byte.
void DeleteListItem(BrowserState* state, WorkerSaveArea* saveArea, int index)
{
    SendMessageW(state->right.control, LVM_DELETEITEM, index, 0);
    RemoveItemState(state, saveArea, index);
}

// A removed folder that is the listed one or above it: the tree moves to
// the parent of the removed folder.
void LeaveRemovedFolder(BrowserState* state, LPCITEMIDLIST removed)
{
    HWND tree = state->left.control;
    for (HTREEITEM item = tree ? TreeView_GetSelection(tree) : nullptr; item; item = TreeView_GetParent(tree, item)) {
        const TreeItemRecord* record = TreeRecordOf(tree, item);
        if (record && ILIsEqual(record->absolute, removed)) {
            if (HTREEITEM parent = TreeView_GetParent(tree, item))
                TreeView_SelectItem(tree, parent);
            return;
        }
    }
}

// Brings the list up to date with the folder: new children appended,
// items of children that are gone deleted.
void UpdateWholeList(BrowserState* state, const TreeItemRecord* folder, WorkerSaveArea* saveArea)
{
    HWND list = state->right.control;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    LocalOwner marks(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, count > 0 ? count : 1));
    ComPtr<IEnumIDList> children;
    if (!marks || folder->folder->EnumObjects(state->mainWindow, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS |
                                                                  SHCONTF_INCLUDEHIDDEN,
                                              children.receive()) != S_OK || !children)
        return;
    uint8_t* marked = static_cast<uint8_t*>(marks.get());

    ItemIdListOwner child;
    while (children->Next(1, child.receive(), nullptr) == S_OK) {
        ItemIdListOwner absolute(ILCombine(folder->absolute, child.get()));
        if (!absolute)
            continue;
        const int index = FindListItem(list, absolute.get());
        if (index >= 0 && index < count) {
            marked[index] = 1;
        } else if (index < 0) {
            const int end = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            if (InsertListItem(absolute.get(), folder->folder, end) >= 0)
                AppendItemState(state, saveArea);
        }
    }
    for (int i = count - 1; i >= 0; --i)
        if (!marked[i])
            DeleteListItem(state, saveArea, i);
}

}  // namespace

int InsertListItem(LPCITEMIDLIST absolute, IShellFolder* folder, int index)
{
    HWND list = Browser.right.control;
    if (!list || !absolute || !folder)
        return -1;
    LPCITEMIDLIST last = ILFindLastID(absolute);
    ULONG attributes = ListAttributeMask;
    if (FAILED(folder->GetAttributesOf(1, &last, &attributes)))
        attributes = 0;
    ListItemRecord* record = MakeListItemRecord(folder, absolute, attributes);
    if (!record)
        return -1;

    // A name that cannot be had leaves the text empty.
    wchar_t name[ShellNameCapacity];
    ShellDisplayName(folder, record->relative, SHGDN_NORMAL, name, ShellNameCapacity);
    int image = Browser.imageIndex[0];
    if (IsListFolder(record))
        image = Browser.imageIndex[1];
    else if (attributes & SFGAO_FOLDER)
        image = Browser.imageIndex[2];

    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = name;
    item.iImage = image;
    item.lParam = reinterpret_cast<LPARAM>(record);
    const int inserted = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0)
        FreeListItemRecord(record);
    return inserted;
}

int SelectListItemByPath()
{
    HWND list = Browser.right.control;
    const int count = list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        const ListItemRecord* record = ListRecordOf(list, i);
        wchar_t path[MAX_PATH];
        if (!record || !SHGetPathFromIDListW(record->absolute, path) || lstrcmpiW(path, PendingPath) != 0)
            continue;
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_ENSUREVISIBLE, i, FALSE);
        return i;
    }
    return -1;
}

void OpenListItem(ListItemRecord* record)
{
    // A folder is listed by selecting it in the tree, below the listed one.
    if (IsListFolder(record)) {
        HWND tree = Browser.left.control;
        if (!tree)
            return;
        HTREEITEM item = Browser.selectedTreeItem ? FindTreeItem(tree, Browser.selectedTreeItem, record->relative)
                                                  : nullptr;
        TreeView_SelectItem(tree, item);
        return;
    }

    // A file: a picture or an archive opens here; others through the shell
    // when the option says so.
    wchar_t path[ShellNameCapacity];
    if (!ShellDisplayName(record->folder, record->relative, SHGDN_FORPARSING, path, ShellNameCapacity))
        return;
    if (OpenPath(path) != -1 || !BrowserOption(OpenAnyFile))
        return;
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_INVOKEIDLIST;
    execute.hwnd = Browser.mainWindow;
    execute.lpParameters = L"";
    execute.lpDirectory = L"";
    execute.nShow = SW_SHOWNORMAL;
    execute.lpIDList = record->absolute;
    ShellExecuteExW(&execute);
}

void UpdateSelectionStatus(BrowserState* state)
{
    HWND list = state->right.control;
    const int selected = static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
    if (selected == 0) {
        SetStatusText(L"");
        return;
    }
    if (selected > 1) {
        wchar_t text[32];
        swprintf(text, 32, L"%d個選択", selected);
        SetStatusText(text);
        return;
    }

    // One item: a picture shows its name and size.
    const int index = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    if (index < 0)
        return;
    const ListItemRecord* record = ListRecordOf(list, index);
    wchar_t text[ShellNameCapacity + 48];
    if (record && record->width && record->height) {
        ShellDisplayName(record->folder, record->relative, SHGDN_NORMAL, text, ShellNameCapacity);
        const size_t length = wcslen(text);
        swprintf(text + length, 48, L" : %d x %d %dbit", static_cast<int>(record->width),
                 static_cast<int>(record->height), static_cast<int>(record->bitDepth));
    } else {
        wcscpy(text, L"1個選択");
    }
    SetStatusText(text);
}

LRESULT CALLBACK FileListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BrowserState* state = RecordOf<BrowserState>(window);
    WNDPROC saved = state ? state->listSavedProc : nullptr;
    if (!saved)
        return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = CallWindowProcW(saved, window, message, wParam, lParam);

    // The worker goes on from the first item the user can see.
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL) {
        const int first = FirstVisibleListItem(window);
        if (first >= 0)
            state->firstVisibleIndex = first;
    }
    return result;
}

int FirstVisibleListItem(HWND list)
{
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        RECT icon = {};
        icon.left = LVIR_ICON;
        if (SendMessageW(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&icon)) && icon.bottom >= 0)
            return i;
    }
    return -1;
}

void HandleListNotify(BrowserState* state, const NMHDR* header)
{
    switch (header->code) {
    case NM_DBLCLK:
        OnDoubleClick(header->hwndFrom);
        break;
    case LVN_ITEMCHANGED:
        UpdateSelectionStatus(state);
        break;
    case LVN_ENDLABELEDITW:
        RenameListItem(state, reinterpret_cast<const NMLVDISPINFOW*>(header));
        break;
    case LVN_BEGINDRAG:
        DragSelectedItems(state);
        break;
    case LVN_DELETEITEM:
        FreeListItemRecord(reinterpret_cast<ListItemRecord*>(reinterpret_cast<const NMLISTVIEW*>(header)->lParam));
        break;
    case LVN_KEYDOWN:
        // Every key goes to the main window, which acts on the browser's keys.
        SendMessageW(state->mainWindow, MSG_CONTROL, reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey,
                     CONTROL_KEY);
        break;
    default:
        break;
    }
}

void ApplyListChange(BrowserState* state, const ChangeRecord& change, WorkerSaveArea* saveArea)
{
    HWND list = state->right.control;
    const TreeItemRecord* folder = SelectedFolderRecord();
    if (!list || !folder || !change.first)
        return;
    const bool inFolder = ILIsParent(folder->absolute, change.first, TRUE);

    switch (change.event) {
    case SHCNE_CREATE:
    case SHCNE_MKDIR:
    case SHCNE_MEDIAINSERTED:
    case SHCNE_DRIVEADD:
        if (inFolder) {
            const int end = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            if (InsertListItem(change.first, folder->folder, end) >= 0)
                AppendItemState(state, saveArea);
        }
        break;
    case SHCNE_RENAMEITEM:
    case SHCNE_RENAMEFOLDER:
        if (inFolder) {
            const int index = FindListItem(list, change.first);
            if (index >= 0)
                ApplyItemRename(list, index, change.second);
        }
        break;
    case SHCNE_DELETE:
    case SHCNE_RMDIR:
    case SHCNE_MEDIAREMOVED:
    case SHCNE_DRIVEREMOVED: {
        const int index = inFolder ? FindListItem(list, change.first) : -1;
        if (index >= 0)
            DeleteListItem(state, saveArea, index);
        else if (change.event != SHCNE_DELETE)
            LeaveRemovedFolder(state, change.first);
        break;
    }
    case SHCNE_UPDATEITEM:
        if (inFolder) {
            const int index = FindListItem(list, change.first);
            if (index >= 0 && static_cast<DWORD>(index) < state->itemCount)
                state->itemStates[index] = 0;
        }
        break;
    case SHCNE_UPDATEDIR:
        if (ILIsEqual(folder->absolute, change.first))
            UpdateWholeList(state, folder, saveArea);
        break;
    default:
        break;
    }
}

void TearDownFileList(BrowserState* state)
{
    HWND list = state->right.control;
    if (list && state->listSavedProc) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state->listSavedProc));
        state->listSavedProc = nullptr;
    }
    if (list) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    }
    if (state->listImages) {
        ImageList_Destroy(state->listImages);
        state->listImages = nullptr;
    }
    for (int32_t& index : state->imageIndex)
        index = -1;
    ReleaseStandardIcons();
}
