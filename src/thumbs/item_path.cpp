#include "thumbs/item_path.h"

#include <cstring>
#include <cwchar>

#include "browser/shell_names.h"

bool ItemPathFinder::Bind(LPCITEMIDLIST absolute, UINT parentBytes)
{
    Reset();
    LPCITEMIDLIST last = nullptr;
    if (FAILED(SHBindToParent(absolute, IID_IShellFolder, folder_.receiveVoid(), &last)) || !folder_)
        return false;
    parent_.reset(static_cast<LPITEMIDLIST>(CoTaskMemAlloc(parentBytes + sizeof(USHORT))));
    if (!parent_) {
        Reset();
        return false;
    }
    std::memcpy(parent_.get(), absolute, parentBytes);
    std::memset(reinterpret_cast<BYTE*>(parent_.get()) + parentBytes, 0, sizeof(USHORT));
    parentBytes_ = parentBytes;
    // A folder outside the file system keeps folderPath_ empty: its items
    // take the shell's own road.
    if (!SHGetPathFromIDListW(parent_.get(), folderPath_))
        folderPath_[0] = L'\0';
    return true;
}

bool ItemPathFinder::Find(LPCITEMIDLIST absolute, wchar_t* path)
{
    path[0] = L'\0';
    if (!absolute)
        return false;
    LPCITEMIDLIST last = ILFindLastID(absolute);
    const UINT parentBytes = UINT(reinterpret_cast<const BYTE*>(last) - reinterpret_cast<const BYTE*>(absolute));
    const bool same = folder_ && parentBytes == parentBytes_ && std::memcmp(parent_.get(), absolute, parentBytes) == 0;
    if (absolute->mkid.cb == 0 || (!same && !Bind(absolute, parentBytes)) || folderPath_[0] == L'\0')
        return SHGetPathFromIDListW(absolute, path) != FALSE;

    // The folder's path and the item's parsing name within it.
    wchar_t name[MAX_PATH];
    if (!ShellDisplayName(folder_.get(), last, SHGDN_INFOLDER | SHGDN_FORPARSING, name, MAX_PATH) ||
        name[0] == L'\0' || std::wcspbrk(name, L"\\/:"))
        return SHGetPathFromIDListW(absolute, path) != FALSE;
    const size_t folderLength = std::wcslen(folderPath_);
    const bool separator = folderPath_[folderLength - 1] != L'\\';
    if (folderLength + separator + std::wcslen(name) >= MAX_PATH)
        return SHGetPathFromIDListW(absolute, path) != FALSE;
    std::wcscpy(path, folderPath_);
    if (separator)
        std::wcscat(path, L"\\");
    std::wcscat(path, name);
    return true;
}

void ItemPathFinder::Reset()
{
    folder_.reset();
    parent_.reset();
    parentBytes_ = 0;
    folderPath_[0] = L'\0';
}
