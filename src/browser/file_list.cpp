#include "browser/file_list.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "browser/file_operations.h"
#include "browser/folder_tree.h"
#include "browser/shell_names.h"
#include "browser/standard_icons.h"
#include "ui/item_states.h"
#include "ui/list_thumbnails.h"
#include "ui/message_table.h"
#include "ui/owners.h"
#include "viewer/open_path.h"

namespace {

constexpr ULONG ListAttributeMask = 0x60428000;  // FILESYSTEM, FOLDER, STREAM, SHARE, GHOSTED

// Double click: the item under the pointer now is opened.
void OnDoubleClick(BrowserState* state, HWND list)
{
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    ScreenToClient(list, &hit.pt);
    const int index = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (index >= 0 && (hit.flags & LVHT_ONITEM))
        if (ListItemRecord* record = ListRecordOf(list, index))
            OpenListItem(state, record);
}

// A child's name within the folder as the file system knows it, in upper
// case: the key by which UpdateWholeList finds the items that may be it.
std::wstring ChildKey(IShellFolder* folder, LPCITEMIDLIST child)
{
    wchar_t name[ShellNameCapacity];
    if (!ShellDisplayName(folder, child, SHGDN_INFOLDER | SHGDN_FORPARSING, name, ShellNameCapacity))
        return std::wstring();
    CharUpperW(name);
    return name;
}

// Whether two children of the listed folder name the same item: the same
// bytes, or the folder's own comparison finds them equal (an item whose
// size or time has changed since it was listed). ILIsEqual would compare
// every level from the desktop down, which under Wine reads the registry
// for the computer's ID: a third of a millisecond a comparison, seconds
// for one change in a large folder.
bool SameChild(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b)
{
    if (a->mkid.cb == b->mkid.cb && std::memcmp(a, b, a->mkid.cb) == 0)
        return true;
    const HRESULT order = folder ? folder->CompareIDs(0, a, b) : E_FAIL;
    return SUCCEEDED(order) && HRESULT_CODE(order) == 0;
}

// The first item that is the listed folder's child absolute (whose parent
// the caller has found to be the listed folder), or -1.
int FindListItem(HWND list, LPCITEMIDLIST absolute)
{
    LPCITEMIDLIST child = ILFindLastID(absolute);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const ListItemRecord* record = ListRecordOf(list, i);
        if (record && SameChild(record->folder, record->relative, child))
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
    ListItemName(record, name, ShellNameCapacity);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = name;
    item.lParam = reinterpret_cast<LPARAM>(record);
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// The list asks for an item's name the first time it needs it (to draw
// it, mostly) and keeps it: asking the shell for ten thousand names when a
// folder is listed would cost far more than the few that are seen.
void GiveItemName(NMLVDISPINFOW* info)
{
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    wchar_t name[ShellNameCapacity];
    ListItemName(reinterpret_cast<const ListItemRecord*>(info->item.lParam), name, ShellNameCapacity);
    lstrcpynW(info->item.pszText, name, info->item.cchTextMax);
    info->item.mask |= LVIF_DI_SETITEM;
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

// A child that appeared in the listed folder is appended, unless the list
// shows it already (a repeated or late notification).
void AddListedChild(BrowserState* state, const TreeItemRecord* folder, LPCITEMIDLIST child,
                    WorkerSaveArea* saveArea)
{
    HWND list = state->right.control;
    if (!ILIsParent(folder->absolute, child, TRUE) || FindListItem(list, child) >= 0)
        return;
    const int end = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    if (InsertListItem(state, child, folder->folder, end) >= 0)
        AppendItemState(state, saveArea);
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

    // The items by their names: each child is compared with the items of
    // its name only, not with every item.
    std::unordered_multimap<std::wstring, int> byName;
    for (int i = 0; i < count; ++i)
        if (const ListItemRecord* record = ListRecordOf(list, i))
            byName.emplace(ChildKey(record->folder, record->relative), i);

    ItemIdListOwner child;
    while (children->Next(1, child.receive(), nullptr) == S_OK) {
        ItemIdListOwner absolute(ILCombine(folder->absolute, child.get()));
        if (!absolute)
            continue;
        int index = -1;
        const auto named = byName.equal_range(ChildKey(folder->folder, child.get()));
        for (auto it = named.first; it != named.second && index < 0; ++it) {
            const ListItemRecord* record = ListRecordOf(list, it->second);
            if (record && SameChild(record->folder, record->relative, child.get()))
                index = it->second;
        }
        if (index >= 0 && index < count) {
            marked[index] = 1;
        } else if (index < 0) {
            const int end = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
            if (InsertListItem(state, absolute.get(), folder->folder, end) >= 0)
                AppendItemState(state, saveArea);
        }
    }
    for (int i = count - 1; i >= 0; --i)
        if (!marked[i])
            DeleteListItem(state, saveArea, i);
}

}  // namespace

int InsertListItem(BrowserState* state, LPCITEMIDLIST absolute, IShellFolder* folder, int index)
{
    HWND list = state->right.control;
    if (!list || !absolute || !folder)
        return -1;
    LPCITEMIDLIST last = ILFindLastID(absolute);
    ULONG attributes = ListAttributeMask;
    if (FAILED(folder->GetAttributesOf(1, &last, &attributes)))
        attributes = 0;
    ListItemRecord* record = MakeListItemRecord(folder, absolute, attributes);
    if (!record)
        return -1;

    int image = state->imageIndex[StandardIconFile];
    if (IsListFolder(record))
        image = state->imageIndex[StandardIconFolder];
    else if (attributes & SFGAO_FOLDER)
        image = state->imageIndex[StandardIconArchive];

    const int inserted = InsertListViewItem(list, index, LPSTR_TEXTCALLBACKW, image, reinterpret_cast<LPARAM>(record));
    if (inserted < 0)
        FreeListItemRecord(record);
    return inserted;
}

int SelectListItemByPath(BrowserState* state, const wchar_t* path)
{
    HWND list = state->right.control;
    const int count = list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        const ListItemRecord* record = ListRecordOf(list, i);
        wchar_t itemPath[MAX_PATH];
        if (!record || !SHGetPathFromIDListW(record->absolute, itemPath) || lstrcmpiW(itemPath, path) != 0)
            continue;
        LVITEMW selection = {};
        selection.stateMask = LVIS_SELECTED;
        selection.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&selection));
        SendMessageW(list, LVM_ENSUREVISIBLE, i, FALSE);
        return i;
    }
    return -1;
}

void OpenPendingFile(BrowserState* state)
{
    // The file is selected when the list shows it, and opened whether or
    // not it does (a file made after the listing is not in it yet).
    if (PendingPath[0] != L'\0' && GetFileAttributesW(PendingPath) != INVALID_FILE_ATTRIBUTES) {
        SelectListItemByPath(state, PendingPath);
        OpenPath(PendingPath);
    }
    ClearPendingPath();

    // A path handed over meanwhile is shown next.
    if (TakeQueuedPendingPath())
        PostMessageW(state->mainWindow, MSG_OPEN_PENDING, 0, 0);
}

void OpenListItem(BrowserState* state, ListItemRecord* record)
{
    // A folder is listed by selecting it in the tree, below the listed one.
    if (IsListFolder(record)) {
        HWND tree = state->left.control;
        if (!tree)
            return;
        HTREEITEM item = state->selectedTreeItem ? FindTreeItem(tree, state->selectedTreeItem, record->relative)
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
    execute.hwnd = state->mainWindow;
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

    // One item: a picture shows its name and size.
    wchar_t name[ShellNameCapacity] = L"";
    ImageInfo info = {};
    if (selected == 1) {
        const int index = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
        const ListItemRecord* record = index >= 0 ? ListRecordOf(list, index) : nullptr;
        if (record && record->width && record->height &&
            ShellDisplayName(record->folder, record->relative, SHGDN_NORMAL, name, ShellNameCapacity))
            info = ImageInfo{record->width, record->height, record->bitDepth};
    }
    wchar_t text[ShellNameCapacity + 48];
    FormatSelectionStatus(text, ShellNameCapacity + 48, selected, name, &info);
    SetStatusBarText(state->statusBar, text);
}

LRESULT CALLBACK FileListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BrowserState* state = RecordOf<BrowserState>(window);
    WNDPROC saved = state ? state->listSavedProc : nullptr;
    if (!saved)
        return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = CallWindowProcW(saved, window, message, wParam, lParam);
    if (message == WM_PAINT)
        state->listPaintTick = GetTickCount();

    // The worker goes on from the first item the user can see, after the
    // batch in hand.
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL) {
        const int first = FirstVisibleListItem(window);
        if (first >= 0 && first != state->firstVisibleIndex) {
            state->firstVisibleIndex = first;
            PostToWorker(WT_NEXT, WPARAM(first), WorkerNextFromIndex);
        }
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

void HandleListNotify(BrowserState* state, NMHDR* header)
{
    switch (header->code) {
    case LVN_GETDISPINFOW:
        GiveItemName(reinterpret_cast<NMLVDISPINFOW*>(header));
        break;
    case NM_DBLCLK:
        OnDoubleClick(state, header->hwndFrom);
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
    const TreeItemRecord* folder = SelectedFolderRecord(state);
    if (!list || !folder || !change.first)
        return;
    const bool inFolder = ILIsParent(folder->absolute, change.first, TRUE);

    switch (change.event) {
    case SHCNE_CREATE:
    case SHCNE_MKDIR:
    case SHCNE_MEDIAINSERTED:
    case SHCNE_DRIVEADD:
        AddListedChild(state, folder, change.first, saveArea);
        break;
    case SHCNE_RENAMEITEM:
    case SHCNE_RENAMEFOLDER: {
        // A rename inside the folder renames the item; a move out of it
        // removes the item, a move into it adds one.
        const bool toFolder = change.second && ILIsParent(folder->absolute, change.second, TRUE);
        const int index = inFolder ? FindListItem(list, change.first) : -1;
        if (index >= 0 && toFolder)
            ApplyItemRename(list, index, change.second);
        else if (index >= 0)
            DeleteListItem(state, saveArea, index);
        else if (toFolder)
            AddListedChild(state, folder, change.second, saveArea);
        break;
    }
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
            if (index >= 0)
                SetItemState(state, uint32_t(index), ItemUntried);
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
    ReleaseThumbnailBitmaps();
}
