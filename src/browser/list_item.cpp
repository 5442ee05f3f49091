#include "browser/list_item.h"

#include <commctrl.h>

#include <new>

#include "browser/shell_names.h"

ListItemRecord* MakeListItemRecord(IShellFolder* folder, LPCITEMIDLIST absolute, ULONG attributes)
{
    LPITEMIDLIST copy = ILClone(absolute);
    if (!copy)
        return nullptr;
    auto* record = new (std::nothrow) ListItemRecord{folder, copy, ILFindLastID(copy), attributes, 0, 0, 0};
    if (!record) {
        CoTaskMemFree(copy);
        return nullptr;
    }
    if (folder)
        folder->AddRef();
    return record;
}

void FreeListItemRecord(ListItemRecord* record)
{
    if (!record)
        return;
    CoTaskMemFree(record->absolute);
    if (record->folder)
        record->folder->Release();
    delete record;
}

void ListItemName(const ListItemRecord* record, wchar_t* text, size_t capacity)
{
    if (capacity == 0)
        return;
    if (!record || (!ShellDisplayName(record->folder, record->relative, SHGDN_NORMAL, text, capacity) &&
                    !ShellDisplayName(record->folder, record->relative, SHGDN_INFOLDER | SHGDN_FORPARSING, text,
                                      capacity)))
        text[0] = L'\0';
}

ListItemRecord* ListRecordOf(HWND list, int index)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!list || index < 0 || !SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<ListItemRecord*>(item.lParam);
}
