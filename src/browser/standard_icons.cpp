// The standard icons of the file list and the shared thumbnail record.
//
// Each standard icon is drawn from an icon group of a shell library loaded
// as a data file: the group's directory lists icon images by resource id;
// the best image of 48 or 32 pixels is copied, centred into an 80 x 80
// icon image (IconImage80) and made an icon. Every size and offset read
// from a resource is checked against the resource's size. A library or
// group that is missing gives way to ExtractIconExW.
#include "browser/standard_icons.h"

#include <shellapi.h>

#include <cstring>

namespace {

SharedThumbnail Shared = {};

// The bytes of one resource, or none.
struct ResourceBytes {
    const BYTE* data = nullptr;
    size_t size = 0;
};

ResourceBytes LoadResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    ResourceBytes bytes;
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return bytes;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return bytes;
    bytes.data = static_cast<const BYTE*>(data);
    bytes.size = SizeofResource(module, found);
    return bytes;
}

struct GroupSearch {
    WORD id;
    bool found;
};

// Stops the enumeration at the integer name wanted.
BOOL CALLBACK FindGroupName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    GroupSearch* search = reinterpret_cast<GroupSearch*>(param);
    if (IS_INTRESOURCE(name) && LOWORD(reinterpret_cast<ULONG_PTR>(name)) == search->id) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

// An 80 x 80 icon from the best image of a group, or none.
HICON IconFromGroup(HINSTANCE instance, HMODULE module, WORD groupId, BYTE* work)
{
    PickedIconImage picked = PickIconGroupImage(module, groupId);
    if (!picked.block || !ComposeIconImage(picked.data(), picked.size, work, IconImage80AllocBytes))
        return nullptr;
    return CreateIcon(instance, int(IconImage80Side), int(IconImage80Side), 1, 32, work + IconImage80MaskOffset,
                      work);
}

}  // namespace

const StandardIconSources DefaultStandardIconSources = {{
    {L"shell32.dll", 1, L"shell32.dll", 0},
    {L"shell32.dll", 4, L"shell32.dll", 3},
    {L"zipfldr.dll", 101, L"zipfldr.dll", 0},
}};

SharedThumbnail& SharedThumbnailRecord()
{
    return Shared;
}

HICON StandardIcon(StandardIconKind kind)
{
    return Shared.icons[kind];
}

PickedIconImage PickIconGroupImage(HMODULE module, WORD groupId)
{
    PickedIconImage picked;

    // The group is looked for among the module's integer group names.
    GroupSearch search = {groupId, false};
    EnumResourceNamesW(module, RT_GROUP_ICON, FindGroupName, reinterpret_cast<LONG_PTR>(&search));
    if (!search.found)
        return picked;
    const ResourceBytes group = LoadResourceBytes(module, MAKEINTRESOURCEW(groupId), RT_GROUP_ICON);

    // The last image of each class; entries beyond the data are not read.
    const size_t entries = IconGroupEntryCount(group.data, group.size);
    ResourceBytes best[IconImageClassCount];
    size_t bestBytes[IconImageClassCount] = {};
    for (size_t e = 0; e < entries; ++e) {
        const WORD id = IconGroupEntryId(group.data, group.size, e);
        const ResourceBytes image = LoadResourceBytes(module, MAKEINTRESOURCEW(id), RT_ICON);
        IconLayout l;
        if (!ReadIconLayout(image.data, image.size, &l))
            continue;
        const int c = IconImageClass(l);
        if (c >= 0) {
            best[c] = image;
            bestBytes[c] = l.totalBytes;
        }
    }

    // The best class that has an image; header, palette, colours and mask.
    for (int c = 0; c < IconImageClassCount; ++c) {
        if (!best[c].data)
            continue;
        picked.block.reset(LocalAlloc(LMEM_FIXED, bestBytes[c]));
        if (!picked.block)
            return picked;
        std::memcpy(picked.block.get(), best[c].data, bestBytes[c]);
        picked.size = bestBytes[c];
        return picked;
    }
    return picked;
}

bool PrepareStandardIcons(HINSTANCE instance)
{
    return PrepareStandardIcons(instance, DefaultStandardIconSources);
}

bool PrepareStandardIcons(HINSTANCE instance, const StandardIconSources& sources)
{
    ReleaseStandardIcons();

    // The shared buffers, zero-filled, and the work buffer of the icons.
    LocalOwner colour(LocalAlloc(LPTR, SharedThumbnailColourBytes));
    LocalOwner work(LocalAlloc(LMEM_FIXED, IconImage80AllocBytes));
    if (!colour || !work)
        return false;

    // Each icon from its group, else from the fallback. A module named by
    // consecutive icons is loaded once and freed after the last of them.
    ModuleOwner module;
    const wchar_t* moduleName = nullptr;
    for (int kind = 0; kind < StandardIconCount; ++kind) {
        const StandardIconSource& source = sources.icons[kind];
        if (!moduleName || !source.module || lstrcmpiW(moduleName, source.module) != 0) {
            module.reset();
            moduleName = source.module;
            if (source.module)
                module.reset(LoadLibraryExW(source.module, nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE | LOAD_WITH_ALTERED_SEARCH_PATH));
        }
        HICON icon = nullptr;
        if (module)
            icon = IconFromGroup(instance, module.get(), source.groupId, static_cast<BYTE*>(work.get()));
        if (!icon && source.fallbackModule)
            ExtractIconExW(source.fallbackModule, source.fallbackIndex, &icon, nullptr, 1);
        Shared.icons[kind] = icon;
    }
    module.reset();

    // Without the ZIP folder library an archive shows as the file it is.
    if (!Shared.icons[StandardIconArchive] && Shared.icons[StandardIconFile])
        Shared.icons[StandardIconArchive] = CopyIcon(Shared.icons[StandardIconFile]);

    Shared.colour = static_cast<ThumbnailBlock*>(colour.release());
    return true;
}

void ReleaseStandardIcons()
{
    for (HICON& icon : Shared.icons) {
        if (icon)
            DestroyIcon(icon);
        icon = nullptr;
    }
    if (Shared.colour)
        LocalFree(Shared.colour);
    Shared = SharedThumbnail{};
}
