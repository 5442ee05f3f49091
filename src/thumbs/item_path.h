// The file-system path of a list item, for the folder worker. The shell's
// SHGetPathFromIDListW binds every folder from the desktop down, which
// under Wine costs as much as decoding a small picture; the items of one
// listing share their folder, so the folder is bound and its path found
// once, and each item costs one display name.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "ui/owners.h"

class ItemPathFinder {
public:
    // The path of the item whose full list is absolute into path
    // (MAX_PATH units); false, with path empty, when it has none (an item
    // that is not in the file system).
    bool Find(LPCITEMIDLIST absolute, wchar_t* path);

    // Lets go of the folder (before the thread's apartment ends).
    void Reset();

private:
    bool Bind(LPCITEMIDLIST absolute, UINT parentBytes);

    ComPtr<IShellFolder> folder_;
    ItemIdListOwner parent_;  // the folder's full list
    UINT parentBytes_ = 0;    // its size without the terminator
    wchar_t folderPath_[MAX_PATH] = L"";
};
