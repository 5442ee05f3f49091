// Names from the shell's namespace: display and parsing names turned into
// text, and the two folders that the browser never shows (the Control Panel
// and the Recycle Bin).
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstddef>

// Shell names and paths are handled in buffers of this many units (259
// characters and the terminator). A longer name is refused, never cut: a
// cut path would name another file.
constexpr size_t ShellNameCapacity = 260;

// Turns a name returned by GetDisplayNameOf for id into text: a wide string
// is copied and its memory freed, an offset names text inside id, an 8-bit
// string is converted from the system code page. Returns false, leaving
// text empty, for any other kind, for a name that does not fit in capacity
// units, or an offset outside id.
bool StrRetToText(STRRET* name, LPCITEMIDLIST id, wchar_t* text, size_t capacity);

// The display name (SHGDN_NORMAL, SHGDN_FORPARSING, ...) of child within
// folder as text. Returns false when the shell gives none that fits.
bool ShellDisplayName(IShellFolder* folder, LPCITEMIDLIST child, SHGDNF flags, wchar_t* text, size_t capacity);

// Records the first 20 bytes of the item-ID lists of the Control Panel and
// the Recycle Bin: of the first ID, or of the last one when the first is
// the computer folder's (which must stay shown).
void RecordExcludedIds();

// Whether the first ID of id is 20 bytes long and equal to one of the two
// recorded IDs.
bool IsExcludedId(LPCITEMIDLIST id);
