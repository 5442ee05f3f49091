#include "browser/file_operations.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "browser/list_item.h"
#include "browser/shell_names.h"
#include "ui/owners.h"

namespace {

// The delete list: full paths, each terminated, with one more terminator
// after the last, as the shell's file operation takes them; grown in a
// movable block of the global heap.
class DeleteList {
public:
    // Appends a path. Returns false when memory is short.
    bool Append(const wchar_t* path)
    {
        const size_t length = wcslen(path) + 1;
        if (!Reserve(used_ + length + 1))
            return false;
        GlobalLockHolder<wchar_t> text(block_.get());
        if (!text.get())
            return false;
        std::memcpy(text.get() + used_, path, length * sizeof(wchar_t));
        used_ += length;
        text.get()[used_] = L'\0';
        ++count_;
        return true;
    }
    HGLOBAL Block() const { return block_.get(); }
    size_t Count() const { return count_; }

private:
    bool Reserve(size_t units)
    {
        if (units <= capacity_)
            return true;
        const size_t grown = units * 2;
        HGLOBAL block = block_ ? GlobalReAlloc(block_.get(), grown * sizeof(wchar_t), GMEM_MOVEABLE)
                               : GlobalAlloc(GMEM_MOVEABLE, grown * sizeof(wchar_t));
        if (!block)
            return false;
        block_.release();
        block_.reset(block);
        capacity_ = grown;
        return true;
    }

    GlobalOwner block_;
    size_t used_ = 0;      // units before the final terminator
    size_t capacity_ = 0;  // units
    size_t count_ = 0;
};

void ShowFailure(const BrowserState* state, const wchar_t* text)
{
    MessageBoxW(state->mainWindow, text, nullptr, MB_ICONWARNING);
}

// The parsing name (full path) of a list item. Returns false when the
// shell gives none that fits.
bool ItemPath(const ListItemRecord* record, wchar_t* path)
{
    return ShellDisplayName(record->folder, record->relative, SHGDN_FORPARSING, path, ShellNameCapacity);
}

// Whether a path names nothing any more.
bool PathGone(const wchar_t* path)
{
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool RenamedFileName(const wchar_t* fileName, const wchar_t* label, const wchar_t* edited, wchar_t* name,
                     size_t capacity, size_t* shown)
{
    // The extension is hidden when the label is the name without it; a
    // name that is all extension (".hidden") shows whole.
    const wchar_t* extension = PathFindExtensionW(fileName);
    const size_t stem = static_cast<size_t>(extension - fileName);
    const size_t extensionLength = wcslen(extension);
    const bool hidden = extensionLength > 0 && stem > 0 && wcslen(label) == stem &&
                        wcsncmp(label, fileName, stem) == 0;

    // Appended unless the edited text already ends with it.
    const size_t editedLength = wcslen(edited);
    const bool typed = editedLength >= extensionLength &&
                       lstrcmpiW(edited + editedLength - extensionLength, extension) == 0;
    const size_t added = hidden && editedLength > 0 && !typed ? extensionLength : 0;
    if (editedLength + added + 1 > capacity)
        return false;
    std::memcpy(name, edited, editedLength * sizeof(wchar_t));
    std::memcpy(name + editedLength, extension, added * sizeof(wchar_t));
    name[editedLength + added] = L'\0';
    // The label leaves the kept extension out, unless nothing else is left.
    const size_t length = editedLength + added;
    *shown = hidden && length > extensionLength ? length - extensionLength : length;
    return true;
}

bool RenamedPath(const wchar_t* oldPath, const wchar_t* name, wchar_t* newPath, size_t capacity)
{
    const size_t nameLength = wcslen(name);
    if (nameLength == 0 || wcspbrk(name, L"\\/"))
        return false;
    const size_t folderLength = static_cast<size_t>(PathFindFileNameW(oldPath) - oldPath);
    if (folderLength + nameLength + 1 > capacity)
        return false;
    std::memcpy(newPath, oldPath, folderLength * sizeof(wchar_t));
    std::memcpy(newPath + folderLength, name, (nameLength + 1) * sizeof(wchar_t));
    return true;
}

void RenameListItem(BrowserState* state, const NMLVDISPINFOW* info)
{
    // Editing was cancelled.
    if (!info->item.pszText)
        return;

    // The old path, the new one and the item's own list for the announcement.
    // The label that the shell gives tells whether the extension was hidden.
    HWND list = info->hdr.hwndFrom;
    const ListItemRecord* record = ListRecordOf(list, info->item.iItem);
    wchar_t oldPath[ShellNameCapacity];
    wchar_t label[ShellNameCapacity] = L"";
    wchar_t name[ShellNameCapacity];
    wchar_t newPath[ShellNameCapacity];
    size_t shown = 0;
    if (record && !ShellDisplayName(record->folder, record->relative, SHGDN_NORMAL, label, ShellNameCapacity))
        label[0] = L'\0';
    if (!record || !ItemPath(record, oldPath) ||
        !RenamedFileName(PathFindFileNameW(oldPath), label, info->item.pszText, name, ShellNameCapacity, &shown) ||
        !RenamedPath(oldPath, name, newPath, ShellNameCapacity)) {
        ShowFailure(state, L"変更出来ませんでした.");
        return;
    }
    const LONG event = IsListFolder(record) ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM;
    ItemIdListOwner oldList(ILClone(record->absolute));

    // The file is moved; the label keeps its old name when that fails.
    if (!MoveFileW(oldPath, newPath)) {
        ShowFailure(state, L"変更出来ませんでした.");
        return;
    }
    LVITEMW item = {};
    item.iSubItem = 0;
    name[shown] = L'\0';
    item.pszText = name;
    SendMessageW(list, LVM_SETITEMTEXTW, info->item.iItem, reinterpret_cast<LPARAM>(&item));

    // The shell's rename notification brings the item's record up to date.
    ItemIdListOwner newList(ILCreateFromPathW(newPath));
    if (oldList && newList)
        SHChangeNotify(event, SHCNF_IDLIST | SHCNF_FLUSH, oldList.get(), newList.get());
    else
        SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, oldPath, newPath);
}

void DeleteSelectedItems(BrowserState* state)
{
    HWND list = state->right.control;
    const int selected = list ? static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)) : 0;
    if (selected <= 0)
        return;

    // The selected items' paths in index order, and which of them are folders.
    DeleteList paths;
    LocalOwner folderMarks(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, static_cast<SIZE_T>(selected)));
    if (!folderMarks) {
        ShowFailure(state, L"削除出来ませんでした.");
        return;
    }
    uint8_t* isFolder = static_cast<uint8_t*>(folderMarks.get());
    for (int index = -1; paths.Count() < static_cast<size_t>(selected);) {
        index = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(index), LVNI_SELECTED));
        if (index < 0)
            break;
        const ListItemRecord* record = ListRecordOf(list, index);
        wchar_t path[ShellNameCapacity];
        if (!record || !ItemPath(record, path))
            continue;
        const size_t k = paths.Count();
        // Deleting only part of what was asked, without saying so, is worse
        // than deleting nothing.
        if (!paths.Append(path)) {
            ShowFailure(state, L"削除出来ませんでした.");
            return;
        }
        isFolder[k] = IsListFolder(record) ? 1 : 0;
    }
    if (paths.Count() == 0) {
        ShowFailure(state, L"削除出来ませんでした.");
        return;
    }

    // One shell operation to the recycle bin, with its own confirmation.
    GlobalLockHolder<wchar_t> from(paths.Block());
    if (!from.get()) {
        ShowFailure(state, L"削除出来ませんでした.");
        return;
    }
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = list;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.get();
    operation.fFlags = FOF_ALLOWUNDO;
    const int result = SHFileOperationW(&operation);

    // What is gone is announced, so that the list and the tree follow.
    size_t k = 0;
    for (const wchar_t* path = from.get(); *path; path += wcslen(path) + 1, ++k)
        if (PathGone(path))
            SHChangeNotify(isFolder[k] ? SHCNE_RMDIR : SHCNE_DELETE, SHCNF_PATHW | SHCNF_FLUSH, path, nullptr);
    if (result != 0 && result != ERROR_CANCELLED)
        ShowFailure(state, L"削除出来ませんでした.");
}

void DragSelectedItems(BrowserState* state)
{
    HWND list = state->right.control;
    const int selected = list ? static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)) : 0;
    if (selected <= 0 || !state->dragSource)
        return;

    // The relative IDs of the selected items, in index order; all share
    // the listed folder.
    LocalOwner idBlock(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(selected) * sizeof(LPCITEMIDLIST)));
    if (!idBlock)
        return;
    LPCITEMIDLIST* ids = static_cast<LPCITEMIDLIST*>(idBlock.get());
    IShellFolder* folder = nullptr;
    UINT count = 0;
    const int items = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < items && count < static_cast<UINT>(selected); ++i) {
        if (!(SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED))
            continue;
        if (const ListItemRecord* record = ListRecordOf(list, i)) {
            ids[count++] = record->relative;
            folder = record->folder;
        }
    }
    if (count == 0 || !folder)
        return;

    // The folder's data object over the items carries the drag; it holds
    // copies of the IDs, so the list may change while the drag runs.
    ComPtr<IDataObject> data;
    if (FAILED(folder->GetUIObjectOf(nullptr, count, ids, IID_IDataObject, nullptr, data.receiveVoid())) || !data)
        return;
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data.get(), state->dragSource, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
}
