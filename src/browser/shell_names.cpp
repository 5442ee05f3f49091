#include "browser/shell_names.h"

#include <cstring>

#include "ui/owners.h"

namespace {

constexpr size_t ExcludedIdSize = 20;
BYTE excludedIds[2][ExcludedIdSize];
bool excludedKnown[2];

// The size of the ID that starts at id, 0 at the terminator.
USHORT IdSize(LPCITEMIDLIST id)
{
    USHORT size = 0;
    std::memcpy(&size, id, sizeof size);
    return size;
}

}  // namespace

bool StrRetToText(STRRET* name, LPCITEMIDLIST id, wchar_t* text, size_t capacity)
{
    if (capacity == 0)
        return false;
    text[0] = L'\0';
    switch (name->uType) {
    case STRRET_WSTR: {
        CoTaskOwner owned(name->pOleStr);
        name->pOleStr = nullptr;
        const wchar_t* source = static_cast<const wchar_t*>(owned.get());
        if (!source)
            return false;
        const size_t length = wcslen(source);
        if (length >= capacity)
            return false;
        std::memcpy(text, source, (length + 1) * sizeof(wchar_t));
        return true;
    }
    case STRRET_OFFSET: {
        // The text lies inside the first ID; it must end there too.
        if (!id)
            return false;
        const USHORT size = IdSize(id);
        const char* bytes = reinterpret_cast<const char*>(id);
        if (name->uOffset >= size)
            return false;
        const size_t room = size - name->uOffset;
        const char* start = bytes + name->uOffset;
        const void* end = std::memchr(start, 0, room);
        if (!end)
            return false;
        const int length = static_cast<int>(static_cast<const char*>(end) - start);
        if (length == 0)
            return true;
        const int units = MultiByteToWideChar(CP_ACP, 0, start, length, text, static_cast<int>(capacity - 1));
        if (units <= 0)
            return false;
        text[units] = L'\0';
        return true;
    }
    case STRRET_CSTR: {
        const size_t length = strnlen(name->cStr, sizeof name->cStr);
        if (length == 0)
            return true;
        const int units =
            MultiByteToWideChar(CP_ACP, 0, name->cStr, static_cast<int>(length), text, static_cast<int>(capacity - 1));
        if (units <= 0)
            return false;
        text[units] = L'\0';
        return true;
    }
    default:
        return false;
    }
}

bool ShellDisplayName(IShellFolder* folder, LPCITEMIDLIST child, SHGDNF flags, wchar_t* text, size_t capacity)
{
    if (capacity)
        text[0] = L'\0';
    STRRET name = {};
    if (!folder || FAILED(folder->GetDisplayNameOf(child, flags, &name)))
        return false;
    return StrRetToText(&name, child, text, capacity);
}

void RecordExcludedIds()
{
    // Where the Control Panel lies below the computer folder (older systems,
    // Wine), its first ID is the computer's own: the ID that names the
    // folder itself is then its last one, and the computer stays shown.
    ItemIdListOwner computer;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computer.receive())))
        computer.reset();
    const int folders[2] = {CSIDL_CONTROLS, CSIDL_BITBUCKET};
    for (int i = 0; i < 2; ++i) {
        excludedKnown[i] = false;
        ItemIdListOwner list;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, folders[i], list.receive())) || !list)
            continue;
        LPCITEMIDLIST id = list.get();
        if (computer && IdSize(computer.get()) == ExcludedIdSize && IdSize(id) == ExcludedIdSize &&
            std::memcmp(computer.get(), id, ExcludedIdSize) == 0)
            id = ILFindLastID(id);
        // Only an ID of exactly this size can match; shorter ones are not recorded.
        if (IdSize(id) < ExcludedIdSize)
            continue;
        std::memcpy(excludedIds[i], id, ExcludedIdSize);
        excludedKnown[i] = true;
    }
}

bool IsExcludedId(LPCITEMIDLIST id)
{
    if (!id || IdSize(id) != ExcludedIdSize)
        return false;
    for (int i = 0; i < 2; ++i)
        if (excludedKnown[i] && std::memcmp(excludedIds[i], id, ExcludedIdSize) == 0)
            return true;
    return false;
}
