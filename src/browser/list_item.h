// The record behind one file list item: made when the item is inserted,
// freed when the list deletes the item.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstdint>

struct ListItemRecord {
    IShellFolder* folder;   // the listed folder's interface: one reference of the item's own
    LPITEMIDLIST absolute;  // the item's full list; owned, CoTaskMemFree
    LPITEMIDLIST relative;  // its last ID, inside absolute
    ULONG attributes;       // as asked when the item was made
    uint32_t width;         // the picture's size and depth, 0 until a thumbnail is made
    uint32_t height;
    uint32_t bitDepth;
};

// An item is a folder when it is one and not a stream; everything else
// (files, and archives that the shell shows as folders) is a file.
inline bool IsListFolder(const ListItemRecord* record)
{
    return (record->attributes & SFGAO_FOLDER) && !(record->attributes & SFGAO_STREAM);
}

// Makes a record with a copy of absolute and a reference to folder of its
// own: the tree may release and rebind its folder (a rename or removal of
// the listed folder or one above it) while the item still needs it.
// Returns none when memory is short.
ListItemRecord* MakeListItemRecord(IShellFolder* folder, LPCITEMIDLIST absolute, ULONG attributes);

// Frees a record, its list and its folder reference; none is ignored.
void FreeListItemRecord(ListItemRecord* record);

// The item's name as the list shows it: the shell's display name, else
// its name within the folder as the file system knows it, else no text.
void ListItemName(const ListItemRecord* record, wchar_t* text, size_t capacity);

// The record of list item index, or none.
ListItemRecord* ListRecordOf(HWND list, int index);
