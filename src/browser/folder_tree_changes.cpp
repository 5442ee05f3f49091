// The folder tree follows the shell's change notifications: new and removed
// folders, drives and media, renamed folders (whose loaded descendants are
// moved to the new path), and a whole-tree check for SHCNE_UPDATEDIR.
#include "browser/folder_tree.h"

#include "browser/shell_names.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

// The folder's own ID for a child that a notification names. An ID built
// from a path by the notifier may name the item without being one the
// folder can bind (Wine marks it as a file); parsing the child's name in
// the folder gives a proper one. Returns none when that fails.
LPITEMIDLIST ParsedChildId(IShellFolder* folder, LPCITEMIDLIST id)
{
    wchar_t name[ShellNameCapacity];
    if (!folder || !ShellDisplayName(folder, id, SHGDN_INFOLDER | SHGDN_FORPARSING, name, ShellNameCapacity))
        return nullptr;
    ItemIdListOwner parsed;
    if (FAILED(folder->ParseDisplayName(nullptr, nullptr, name, nullptr, parsed.receive(), nullptr)) || !parsed)
        return nullptr;
    // Exactly one ID: the child itself.
    if (!parsed.get()->mkid.cb || ILGetNext(parsed.get())->mkid.cb)
        return nullptr;
    return parsed.release();
}

// Binds a record's folder again from its parent's folder; false when the
// parent has none or the shell refuses.
bool Rebind(TreeItemRecord* record, IShellFolder* parentFolder)
{
    if (record->folder)
        record->folder->Release();
    record->folder = nullptr;
    if (!parentFolder || !record->relative)
        return false;
    if (FAILED(parentFolder->BindToObject(record->relative, nullptr, IID_IShellFolder,
                                          reinterpret_cast<void**>(&record->folder))))
        record->folder = nullptr;
    return record->folder != nullptr;
}

// Moves every loaded descendant of item under item's new absolute list. A
// child that cannot be bound under the new path is deleted with its own
// descendants: it could be neither listed nor expanded.
void Rebase(HWND tree, HTREEITEM item, const TreeItemRecord* parent)
{
    HTREEITEM child = TreeView_GetChild(tree, item);
    while (child) {
        HTREEITEM next = TreeView_GetNextSibling(tree, child);
        TreeItemRecord* record = TreeRecordOf(tree, child);
        if (record) {
            // The new list first: the relative ID lives inside the old one.
            LPITEMIDLIST rebuilt = ILCombine(parent->absolute, record->relative);
            if (rebuilt) {
                CoTaskMemFree(record->absolute);
                record->absolute = rebuilt;
                record->relative = ILFindLastID(rebuilt);
            }
            if (!rebuilt || !Rebind(record, parent->folder)) {
                TreeView_DeleteItem(tree, child);
                child = next;
                continue;
            }
            Rebase(tree, child, record);
        }
        child = next;
    }
}

void AddItem(HWND tree, LPCITEMIDLIST list);

// Whether list lies directly in the folder parentList.
bool IsChildOf(LPCITEMIDLIST parentList, LPCITEMIDLIST list)
{
    return parentList && ILIsParent(parentList, list, TRUE);
}

// A folder under a new name: its record, its text and its descendants. A
// folder moved to another parent leaves its old place and appears under the
// new one (when that is loaded), as a new folder would.
void RenameItem(HWND tree, LPCITEMIDLIST oldList, LPCITEMIDLIST newList)
{
    HTREEITEM item = FindLoadedTreeItem(tree, TVI_ROOT, oldList);
    TreeItemRecord* record = TreeRecordOf(tree, item);
    const TreeItemRecord* parent = record ? TreeRecordOf(tree, TreeView_GetParent(tree, item)) : nullptr;
    if (!parent || !IsChildOf(parent->absolute, newList)) {
        if (parent)
            TreeView_DeleteItem(tree, item);
        AddItem(tree, newList);
        return;
    }
    ItemIdListOwner parsed(ParsedChildId(parent->folder, ILFindLastID(newList)));
    ItemIdListOwner copy(parsed ? ILCombine(parent->absolute, parsed.get()) : ILClone(newList));
    if (!copy)
        return;
    CoTaskMemFree(record->absolute);
    record->absolute = copy.release();
    record->relative = ILFindLastID(record->absolute);
    wchar_t text[ShellNameCapacity];
    if (!Rebind(record, parent->folder) ||
        !ShellDisplayName(parent->folder, record->relative, SHGDN_NORMAL, text, ShellNameCapacity)) {
        TreeView_DeleteItem(tree, item);
        return;
    }
    TVITEMW change = {};
    change.mask = TVIF_HANDLE | TVIF_TEXT;
    change.hItem = item;
    change.pszText = text;
    TreeView_SetItem(tree, &change);
    Rebase(tree, item, record);
}

HTREEITEM LastChild(HWND tree, HTREEITEM item)
{
    HTREEITEM last = nullptr;
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        last = child;
    return last;
}

// The child of item whose absolute list equals list, or none.
HTREEITEM ChildWithList(HWND tree, HTREEITEM item, LPCITEMIDLIST list)
{
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child)) {
        const TreeItemRecord* record = TreeRecordOf(tree, child);
        if (record && record->absolute && ILIsEqual(record->absolute, list))
            return child;
    }
    return nullptr;
}

bool ExpandedOnce(HWND tree, HTREEITEM item)
{
    return TreeView_GetItemState(tree, item, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE;
}

// A new folder (or drive, or medium) below a loaded item: a button, and the
// child appended unsorted when the item's children are already there. A
// child that is there already (a repeated notification) is not added again.
void AddItem(HWND tree, LPCITEMIDLIST list)
{
    ItemIdListOwner parentList(ILClone(list));
    if (!parentList || !ILRemoveLastID(parentList.get()))
        return;
    HTREEITEM item = FindLoadedTreeItem(tree, TVI_ROOT, parentList.get());
    TreeItemRecord* record = TreeRecordOf(tree, item);
    if (!record)
        return;
    TVITEMW change = {};
    change.mask = TVIF_HANDLE | TVIF_CHILDREN;
    change.hItem = item;
    change.cChildren = 1;
    TreeView_SetItem(tree, &change);
    if (!ExpandedOnce(tree, item) || ChildWithList(tree, item, list))
        return;
    ItemIdListOwner parsed(ParsedChildId(record->folder, ILFindLastID(list)));
    HTREEITEM last = LastChild(tree, item);
    InsertFolderItem(tree, record->absolute, parsed ? parsed.get() : ILFindLastID(list), record->folder, item,
                     last ? last : TVI_LAST);
}

// Whether a loaded folder is gone. The shell's attributes say so when it
// checks; a file-system folder whose path no longer exists is gone too
// (some shells report the attributes kept in the item-ID list unchecked).
bool FolderGone(const TreeItemRecord* record)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(record->absolute), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_ATTRIBUTES);
    if (!(info.dwAttributes & SFGAO_FOLDER))
        return true;
    wchar_t path[MAX_PATH];
    if (!(record->attributes & SFGAO_FILESYSTEM) || !SHGetPathFromIDListW(record->absolute, path) || !path[0])
        return false;
    return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
}

// Deletes every loaded folder that is gone, children visited first. The
// desktop root is never deleted.
void Prune(HWND tree, HTREEITEM first)
{
    HTREEITEM item = first;
    while (item) {
        HTREEITEM next = TreeView_GetNextSibling(tree, item);
        HTREEITEM child = TreeView_GetChild(tree, item);
        if (child)
            Prune(tree, child);
        const TreeItemRecord* record = TreeRecordOf(tree, item);
        if (record && record->absolute && TreeView_GetParent(tree, item) && FolderGone(record))
            TreeView_DeleteItem(tree, item);
        item = next;
    }
}

// Appends every folder that the shell lists and the tree does not show,
// under each item that has been expanded before.
void AddNewFolders(HWND tree, HTREEITEM first)
{
    for (HTREEITEM item = first; item; item = TreeView_GetNextSibling(tree, item)) {
        TreeItemRecord* record = TreeRecordOf(tree, item);
        if (record && record->folder && ExpandedOnce(tree, item)) {
            ComPtr<IEnumIDList> children;
            if (record->folder->EnumObjects(tree, SHCONTF_FOLDERS, children.receive()) == S_OK && children) {
                ItemIdListOwner child;
                ULONG fetched = 0;
                while (children->Next(1, child.receive(), &fetched) == S_OK && fetched == 1) {
                    ItemIdListOwner combined(child ? ILCombine(record->absolute, child.get()) : nullptr);
                    if (combined && !ChildWithList(tree, item, combined.get())) {
                        HTREEITEM last = LastChild(tree, item);
                        InsertFolderItem(tree, record->absolute, child.get(), record->folder, item,
                                         last ? last : TVI_LAST);
                    }
                }
            }
        }
        HTREEITEM child = TreeView_GetChild(tree, item);
        if (child)
            AddNewFolders(tree, child);
    }
}

// Whether item is ancestor or below it.
bool IsAtOrBelow(HWND tree, HTREEITEM item, HTREEITEM ancestor)
{
    for (; item; item = TreeView_GetParent(tree, item))
        if (item == ancestor)
            return true;
    return false;
}

// A rename or move of the listed folder or of one above it: the tree item
// follows, and the folder is listed again under its new path, so that the
// list's items name files that exist.
void RenameAndRelist(BrowserState* state, HWND tree, LPCITEMIDLIST oldList, LPCITEMIDLIST newList)
{
    HTREEITEM renamed = FindLoadedTreeItem(tree, TVI_ROOT, oldList);
    HTREEITEM listed = state->selectedTreeItem;
    const bool relist = renamed && listed && IsAtOrBelow(tree, listed, renamed);
    RenameItem(tree, oldList, newList);
    if (!relist || state->selectedTreeItem != listed || TreeView_GetSelection(tree) != listed)
        return;
    if (TreeItemRecord* record = TreeRecordOf(tree, listed))
        PostToWorker(WT_LIST_FOLDER, reinterpret_cast<WPARAM>(record), reinterpret_cast<LPARAM>(listed));
}

}  // namespace

void ApplyTreeChange(BrowserState* state, const ChangeRecord& change)
{
    HWND tree = state ? state->left.control : nullptr;
    if (!tree)
        return;
    switch (change.event) {
    case SHCNE_RENAMEITEM:
    case SHCNE_RENAMEFOLDER:
        if (change.first && change.second)
            RenameAndRelist(state, tree, change.first, change.second);
        break;
    case SHCNE_MKDIR:
    case SHCNE_DRIVEADD:
    case SHCNE_MEDIAINSERTED:
        if (change.first)
            AddItem(tree, change.first);
        break;
    case SHCNE_RMDIR:
    case SHCNE_MEDIAREMOVED:
    case SHCNE_DRIVEREMOVED:
        if (change.first) {
            // The desktop root stays whatever the list says.
            HTREEITEM item = FindLoadedTreeItem(tree, TVI_ROOT, change.first);
            if (item && TreeView_GetParent(tree, item))
                TreeView_DeleteItem(tree, item);
        }
        break;
    case SHCNE_UPDATEDIR:
        Prune(tree, TreeView_GetRoot(tree));
        AddNewFolders(tree, TreeView_GetRoot(tree));
        break;
    default:
        break;
    }
}
