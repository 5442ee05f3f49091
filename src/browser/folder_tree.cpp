// The folder tree: one item per shell folder, made lazily when its parent
// is first expanded. Each item's lParam is a TreeItemRecord that owns the
// folder's interface and its absolute item-ID list; the tree's delete
// notification frees it. Archives (by their parsing name), non-folders and
// the two excluded folders are never shown.
#include "browser/folder_tree.h"

#include <new>

#include "browser/shell_names.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

// SFGAO_CANCOPY, CANMOVE, CANLINK, CANRENAME, CANDELETE, HASPROPSHEET,
// DROPTARGET, SHARE, FOLDER, FILESYSTEM, HASSUBFOLDER.
constexpr ULONG RequestedAttributes = 0xE0020177;
// SHCNRF_InterruptLevel | ShellLevel | RecursiveInterrupt | NewDelivery.
constexpr int TreeChangeSources = 0x9003;
// SHCNE_MKDIR, RMDIR, MEDIAINSERTED, MEDIAREMOVED, DRIVEREMOVED, DRIVEADD,
// RENAMEFOLDER.
constexpr LONG TreeChangeEvents = 0x201F8;
// The shell's sharing overlay is overlay image 1.
constexpr UINT ShareOverlay = INDEXTOOVERLAYMASK(1);

size_t liveRecords = 0;

// Frees a record with everything it owns.
void FreeRecord(TreeItemRecord* record)
{
    if (!record)
        return;
    if (record->folder)
        record->folder->Release();
    CoTaskMemFree(record->absolute);
    delete record;
    --liveRecords;
}

struct RecordOwner {
    TreeItemRecord* record = nullptr;
    ~RecordOwner() { FreeRecord(record); }
};

// Whether a parsing name ends in ".ZIP" or ".LZH" (ASCII letters in any case).
bool IsArchiveName(const wchar_t* name)
{
    const size_t length = wcslen(name);
    if (length < 5 || name[length - 4] != L'.')
        return false;
    wchar_t ext[3];
    for (int i = 0; i < 3; ++i) {
        const wchar_t c = name[length - 3 + i];
        ext[i] = (c >= L'a' && c <= L'z') ? wchar_t(c - L'a' + L'A') : c;
    }
    return (ext[0] == L'Z' && ext[1] == L'I' && ext[2] == L'P') || (ext[0] == L'L' && ext[1] == L'Z' && ext[2] == L'H');
}

// The window that owns the tree's shell work: the main window.
HWND OwnerWindow(HWND tree)
{
    return Browser.mainWindow ? Browser.mainWindow : GetAncestor(tree, GA_ROOT);
}

// Sorts siblings by their folder's own order; an error counts as equal.
int CALLBACK CompareChildren(LPARAM first, LPARAM second, LPARAM folderParam)
{
    IShellFolder* folder = reinterpret_cast<IShellFolder*>(folderParam);
    const TreeItemRecord* a = reinterpret_cast<const TreeItemRecord*>(first);
    const TreeItemRecord* b = reinterpret_cast<const TreeItemRecord*>(second);
    if (!folder || !a || !b)
        return 0;
    const HRESULT result = folder->CompareIDs(0, a->relative, b->relative);
    if (FAILED(result))
        return 0;
    return static_cast<short>(HRESULT_CODE(result));
}

void SetChildrenCount(HWND tree, HTREEITEM item, int count)
{
    TVITEMW change = {};
    change.mask = TVIF_HANDLE | TVIF_CHILDREN;
    change.hItem = item;
    change.cChildren = count;
    TreeView_SetItem(tree, &change);
}

// Whether a handle names a real item, not one of the insertion markers.
bool IsRealItem(HTREEITEM item)
{
    return item && item != TVI_ROOT && item != TVI_FIRST && item != TVI_LAST && item != TVI_SORT;
}

}  // namespace

namespace {

// The shell's small icon of a folder, closed or open: its index in the
// system image list, which the tree uses.
int FolderIcon(const TreeItemRecord* record, UINT open)
{
    SHFILEINFOW info = {};
    if (!record || !record->absolute)
        return 0;
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(record->absolute), 0, &info, sizeof info,
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | open);
    return info.iIcon;
}

// The tree asks for a folder's icons the first time it draws it, and keeps
// them: each costs the shell a look at the folder (a few milliseconds under
// Wine, more for the first folder of a kind), and most folders of a deep
// tree are never on screen.
void GiveFolderIcons(NMTVDISPINFOW* info)
{
    const TreeItemRecord* record = reinterpret_cast<const TreeItemRecord*>(info->item.lParam);
    if (info->item.mask & TVIF_IMAGE)
        info->item.iImage = FolderIcon(record, 0);
    if (info->item.mask & TVIF_SELECTEDIMAGE)
        info->item.iSelectedImage = FolderIcon(record, SHGFI_OPENICON);
    info->item.mask |= TVIF_DI_SETITEM;
}

}  // namespace

size_t LiveTreeRecordCount()
{
    return liveRecords;
}

TreeItemRecord* TreeRecordOf(HWND tree, HTREEITEM item)
{
    if (!tree || !IsRealItem(item))
        return nullptr;
    TVITEMW read = {};
    read.mask = TVIF_HANDLE | TVIF_PARAM;
    read.hItem = item;
    if (!TreeView_GetItem(tree, &read))
        return nullptr;
    return reinterpret_cast<TreeItemRecord*>(read.lParam);
}

TreeItemRecord* SelectedFolderRecord(const BrowserState* state)
{
    return TreeRecordOf(state->left.control, state->selectedTreeItem);
}

HTREEITEM InsertFolderItem(HWND tree, LPCITEMIDLIST parentList, LPCITEMIDLIST childId, IShellFolder* parentFolder,
                           HTREEITEM parent, HTREEITEM insertAfter)
{
    if (!tree || !childId || !parentFolder)
        return insertAfter;

    // Archives are not offered as folders, whatever the shell makes of them.
    wchar_t text[ShellNameCapacity];
    if (!ShellDisplayName(parentFolder, childId, SHGDN_FORPARSING, text, ShellNameCapacity) || IsArchiveName(text))
        return insertAfter;

    // Folders only, and never the Control Panel or the Recycle Bin.
    ULONG attributes = RequestedAttributes;
    if (FAILED(parentFolder->GetAttributesOf(1, &childId, &attributes)))
        return insertAfter;
    if (!(attributes & SFGAO_FOLDER) || IsExcludedId(childId))
        return insertAfter;

    // The record and the item's text.
    RecordOwner owner;
    owner.record = new (std::nothrow) TreeItemRecord{};
    if (!owner.record)
        return insertAfter;
    ++liveRecords;
    TreeItemRecord* record = owner.record;
    record->attributes = attributes;
    if (!ShellDisplayName(parentFolder, childId, SHGDN_NORMAL, text, ShellNameCapacity))
        return insertAfter;

    // The absolute list; the two small icons are asked for when the item
    // is first drawn (GiveFolderIcons).
    record->absolute = parentList ? ILCombine(parentList, childId) : ILClone(childId);
    if (!record->absolute)
        return insertAfter;
    record->relative = ILFindLastID(record->absolute);

    // The item's own folder: the given one for the root, else bound.
    if (!parentList) {
        parentFolder->AddRef();
        record->folder = parentFolder;
    } else if (FAILED(parentFolder->BindToObject(childId, nullptr, IID_IShellFolder,
                                                 reinterpret_cast<void**>(&record->folder))) ||
               !record->folder) {
        record->folder = nullptr;
        return insertAfter;
    }

    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = insertAfter ? insertAfter : TVI_LAST;
    TVITEMW& item = insert.item;
    item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    item.pszText = text;
    item.iImage = I_IMAGECALLBACK;
    item.iSelectedImage = I_IMAGECALLBACK;
    item.lParam = reinterpret_cast<LPARAM>(record);
    if (attributes & SFGAO_HASSUBFOLDER) {
        item.mask |= TVIF_CHILDREN;
        item.cChildren = 1;
    }
    if (attributes & SFGAO_SHARE) {
        item.mask |= TVIF_STATE;
        item.state = ShareOverlay;
        item.stateMask = TVIS_OVERLAYMASK;
    }
    HTREEITEM made = TreeView_InsertItem(tree, &insert);
    if (!made)
        return insertAfter;
    owner.record = nullptr;  // the item owns it now
    return made;
}

void ExpandFolderItem(HWND tree, HTREEITEM item)
{
    TreeItemRecord* record = TreeRecordOf(tree, item);
    if (!record || !record->folder)
        return;

    // The wait cursor while the shell enumerates.
    HWND owner = OwnerWindow(tree);
    SetCapture(owner);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));

    ComPtr<IEnumIDList> children;
    const HRESULT started = record->folder->EnumObjects(owner, SHCONTF_FOLDERS, children.receive());
    if (FAILED(started)) {
        ReleaseCapture();
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return;
    }

    // Each child after the one inserted last.
    HTREEITEM last = nullptr;
    if (started == S_OK && children) {
        ItemIdListOwner child;
        ULONG fetched = 0;
        while (children->Next(1, child.receive(), &fetched) == S_OK && fetched == 1) {
            if (child)
                last = InsertFolderItem(tree, record->absolute, child.get(), record->folder, item, last);
            child.reset();
        }
    }
    if (!last)
        SetChildrenCount(tree, item, 0);

    ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    children.reset();

    // The shell's own order.
    TVSORTCB sort = {};
    sort.hParent = item;
    sort.lpfnCompare = CompareChildren;
    sort.lParam = reinterpret_cast<LPARAM>(record->folder);
    TreeView_SortChildrenCB(tree, &sort, FALSE);
}

HTREEITEM FindTreeItem(HWND tree, HTREEITEM start, LPCITEMIDLIST absolute)
{
    if (!tree || !absolute)
        return nullptr;
    HTREEITEM current = IsRealItem(start) ? start : TreeView_GetRoot(tree);

    for (LPCITEMIDLIST id = absolute; current && id->mkid.cb; id = ILGetNext(id)) {
        TreeItemRecord* record = TreeRecordOf(tree, current);
        if (!record || !record->folder)
            return nullptr;
        TreeView_Expand(tree, current, TVE_EXPAND);
        ItemIdListOwner wanted(ILCloneFirst(id));
        if (!wanted)
            return nullptr;

        // The child that the folder itself calls equal. A failed comparison
        // proves nothing, so it matches no child.
        HTREEITEM match = nullptr;
        for (HTREEITEM child = TreeView_GetChild(tree, current); child && !match;
             child = TreeView_GetNextSibling(tree, child)) {
            const TreeItemRecord* childRecord = TreeRecordOf(tree, child);
            if (!childRecord)
                continue;
            const HRESULT result = record->folder->CompareIDs(0, childRecord->relative, wanted.get());
            if (SUCCEEDED(result) && (HRESULT_CODE(result) & 0xFFFF) == 0)
                match = child;
        }
        current = match;
    }
    return current;
}

HTREEITEM FindLoadedTreeItem(HWND tree, HTREEITEM first, LPCITEMIDLIST absolute)
{
    if (!tree || !absolute)
        return nullptr;
    HTREEITEM item = IsRealItem(first) ? first : TreeView_GetRoot(tree);
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        const TreeItemRecord* record = TreeRecordOf(tree, item);
        if (record && record->absolute && ILIsEqual(record->absolute, absolute))
            return item;
        HTREEITEM child = TreeView_GetChild(tree, item);
        if (child) {
            HTREEITEM found = FindLoadedTreeItem(tree, child, absolute);
            if (found)
                return found;
        }
    }
    return nullptr;
}

HTREEITEM InitFolderTree(HWND tree, HWND mainWindow, LPCITEMIDLIST startFolder)
{
    if (!tree)
        return nullptr;

    // The small system icons, asked for through the Windows directory.
    wchar_t windowsDir[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(windowsDir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    wchar_t* separator = wcsrchr(windowsDir, L'\\');
    if (separator)
        separator[1] = L'\0';
    SHFILEINFOW info = {};
    HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(windowsDir, 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (!icons)
        return nullptr;
    TreeView_SetImageList(tree, icons, TVSIL_NORMAL);

    RecordExcludedIds();

    // The desktop as the root item.
    ComPtr<IShellFolder> desktop;
    ItemIdListOwner desktopList;
    if (FAILED(SHGetDesktopFolder(desktop.receive())) || !desktop)
        return nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, desktopList.receive())) || !desktopList)
        return nullptr;
    InsertFolderItem(tree, nullptr, desktopList.get(), desktop.get(), TVI_ROOT, TVI_LAST);

    // Every folder change below the desktop reaches the left pane.
    if (Browser.changeRegistration[1] != NoChangeRegistration)
        SHChangeNotifyDeregister(Browser.changeRegistration[1]);
    SHChangeNotifyEntry entry = {desktopList.get(), TRUE};
    HWND pane = Browser.left.pane ? Browser.left.pane : GetParent(tree);
    const ULONG registration =
        SHChangeNotifyRegister(pane, TreeChangeSources, TreeChangeEvents, MSG_TREE_CHANGE, 1, &entry);
    Browser.changeRegistration[1] = registration ? registration : NoChangeRegistration;
    desktopList.reset();

    // The start folder, else the executable's folder.
    HTREEITEM found = startFolder ? FindTreeItem(tree, TVI_ROOT, startFolder) : nullptr;
    if (!found && Browser.exeDir) {
        ItemIdListOwner exeList;
        if (SUCCEEDED(desktop->ParseDisplayName(mainWindow, nullptr, Browser.exeDir, nullptr, exeList.receive(),
                                                nullptr)) &&
            exeList)
            found = FindTreeItem(tree, TVI_ROOT, exeList.get());
    }
    return found;
}

void HandleTreeNotify(BrowserState* state, NMHDR* header)
{
    if (!state || !header)
        return;
    switch (header->code) {
    case TVN_GETDISPINFOW:
        GiveFolderIcons(reinterpret_cast<NMTVDISPINFOW*>(header));
        break;
    case TVN_DELETEITEMW: {
        // The item's record goes with it; a deleted selection is no longer listed.
        const NMTREEVIEWW* view = reinterpret_cast<const NMTREEVIEWW*>(header);
        FreeRecord(reinterpret_cast<TreeItemRecord*>(view->itemOld.lParam));
        if (view->itemOld.hItem == state->selectedTreeItem)
            state->selectedTreeItem = nullptr;
        break;
    }
    case TVN_ITEMEXPANDINGW: {
        const NMTREEVIEWW* view = reinterpret_cast<const NMTREEVIEWW*>(header);
        TVITEMW item = {};
        item.mask = TVIF_HANDLE | TVIF_STATE;
        item.hItem = view->itemNew.hItem;
        item.stateMask = TVIS_EXPANDEDONCE;
        if (TreeView_GetItem(header->hwndFrom, &item) && !(item.state & TVIS_EXPANDEDONCE))
            ExpandFolderItem(header->hwndFrom, view->itemNew.hItem);
        break;
    }
    case TVN_SELCHANGEDW: {
        // The folder worker lists the newly selected folder.
        const NMTREEVIEWW* view = reinterpret_cast<const NMTREEVIEWW*>(header);
        TreeItemRecord* record = TreeRecordOf(header->hwndFrom, view->itemNew.hItem);
        if (record)
            PostToWorker(WT_LIST_FOLDER, reinterpret_cast<WPARAM>(record),
                         reinterpret_cast<LPARAM>(view->itemNew.hItem));
        break;
    }
    case TVN_KEYDOWN: {
        // F5 lists the selected folder again.
        const NMTVKEYDOWN* key = reinterpret_cast<const NMTVKEYDOWN*>(header);
        if (key->wVKey == VK_F5)
            SendMessageW(state->mainWindow, MSG_CONTROL, key->wVKey, CONTROL_KEY);
        break;
    }
    default:
        break;
    }
}
