// The main thread's side of the folder worker: the listing of a folder
// into the file list, each item with its standard icon, and the thumbnails
// that the worker hands back put into the list's image list.
#include "thumbs/folder_listing.h"

#include <commctrl.h>
#include <shlobj.h>

#include <climits>
#include <cstring>

#include "browser/list_item.h"
#include "browser/shell_names.h"
#include "browser/standard_icons.h"
#include "image/decoded_image.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

constexpr SHCONTF ListedKinds = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
constexpr ULONG AskedAttributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;

// The listed folder's change registration: interrupt and shell level,
// recursive, new delivery; renames, creations, deletions, media and drives,
// updated items and renamed folders.
constexpr int ListChangeSources = 0x9003;
constexpr LONG ListChangeEvents = 0x221FF;

// The item states go with the items they describe.
void ClearItemStates(BrowserState* state)
{
    if (state->itemStates)
        LocalFree(state->itemStates);
    state->itemStates = nullptr;
    state->itemCount = 0;
    state->firstVisibleIndex = -1;
}

// The number of children an enumeration gives; 0 when it fails.
DWORD CountChildren(IShellFolder* folder, HWND owner)
{
    ComPtr<IEnumIDList> children;
    if (FAILED(folder->EnumObjects(owner, ListedKinds, children.receive())) || !children)
        return 0;
    DWORD count = 0;
    LPITEMIDLIST child = nullptr;
    while (children->Next(1, &child, nullptr) == S_OK) {
        CoTaskMemFree(child);
        ++count;
    }
    return count;
}

// The asked attributes of one child; none when the shell gives none.
ULONG AttributesOf(IShellFolder* folder, LPCITEMIDLIST child)
{
    ULONG attributes = AskedAttributes;
    if (FAILED(folder->GetAttributesOf(1, &child, &attributes)))
        return 0;
    return attributes & AskedAttributes;
}

// Inserts child of the listed folder at index with its record and image.
// An item whose display name cannot be had shows its name within the
// folder as the file system knows it, else no text. Returns false when
// nothing was inserted.
bool InsertListedItem(HWND list, const TreeItemRecord* folder, LPCITEMIDLIST child, ULONG attributes, int image,
                      int index)
{
    ItemIdListOwner absolute(ILCombine(folder->absolute, child));
    ListItemRecord* record = absolute ? MakeListItemRecord(folder->folder, absolute.get(), attributes) : nullptr;
    if (!record)
        return false;

    wchar_t text[ShellNameCapacity];
    if (!ShellDisplayName(folder->folder, child, SHGDN_NORMAL, text, ShellNameCapacity) &&
        !ShellDisplayName(folder->folder, child, SHGDN_INFOLDER | SHGDN_FORPARSING, text, ShellNameCapacity))
        text[0] = L'\0';

    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = text;
    item.cchTextMax = int(ShellNameCapacity);
    item.iImage = image;
    item.lParam = reinterpret_cast<LPARAM>(record);
    if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) {
        FreeListItemRecord(record);
        return false;
    }
    return true;
}

// Sets the image of list item index.
void SetItemImage(HWND list, int index, int image)
{
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = index;
    item.iImage = image;
    SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

// A picture: the shared colour buffer with the all-zero mask, so that it
// is opaque. Returns the new image's index, or -1.
int AddPicture(BrowserState* state, HWND list, ListItemRecord* record, const SharedThumbnail* shared,
               const ImageInfo* info)
{
    if (!shared->colour || !shared->mask)
        return -1;
    WindowDc dc(list);
    if (!dc.get())
        return -1;
    GdiObjectOwner colour(CreateDIBitmap(dc.get(), &shared->colourHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
    GdiObjectOwner mask(CreateDIBitmap(dc.get(), &shared->maskHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
    if (!colour || !mask)
        return -1;
    const UINT rows = UINT(IconImage80Side);
    SetDIBits(dc.get(), static_cast<HBITMAP>(mask.get()), 0, rows, shared->mask,
              reinterpret_cast<const BITMAPINFO*>(&shared->maskHeader), DIB_RGB_COLORS);
    SetDIBits(dc.get(), static_cast<HBITMAP>(colour.get()), 0, rows, shared->colour->pixels,
              reinterpret_cast<const BITMAPINFO*>(&shared->colourHeader), DIB_RGB_COLORS);

    // The selection status shows the picture's own size and depth.
    record->width = info->width;
    record->height = info->height;
    record->bitDepth = info->bitsPerPixel;
    return ImageList_Add(state->listImages, static_cast<HBITMAP>(colour.get()), static_cast<HBITMAP>(mask.get()));
}

// A shell icon: the IconImage80 made an icon. Returns the new image's index, or -1.
int AddIcon(BrowserState* state, const BYTE* iconImage)
{
    IconOwner icon(CreateIcon(state->instance, int(IconImage80Side), int(IconImage80Side), 1, 32,
                              iconImage + IconImage80MaskOffset, iconImage));
    if (!icon)
        return -1;
    return ImageList_ReplaceIcon(state->listImages, -1, icon.get());
}

}  // namespace

void ListFolder(BrowserState* state, TreeItemRecord* folder)
{
    HWND list = state->right.control;

    // The old listing goes: its registration, items, images and states.
    if (state->changeRegistration[0] != NoChangeRegistration) {
        SHChangeNotifyDeregister(state->changeRegistration[0]);
        state->changeRegistration[0] = NoChangeRegistration;
    }
    if (list) {
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, 0);
    }
    if (state->listImages)
        ImageList_Destroy(state->listImages);
    state->listImages = nullptr;
    for (int32_t& index : state->imageIndex)
        index = -1;
    ClearItemStates(state);
    if (!list || !folder || !folder->folder)
        return;

    // Counted once for the image list's size, then enumerated for real.
    const DWORD counted = CountChildren(folder->folder, state->mainWindow);
    ComPtr<IEnumIDList> folders;
    if (FAILED(folder->folder->EnumObjects(state->mainWindow, ListedKinds, folders.receive())))
        return;

    // The image list, with the three standard icons first.
    const int capacity = counted > DWORD(INT_MAX - 3) ? INT_MAX : int(counted) + 3;
    state->listImages = ImageList_Create(int(IconImage80Side), int(IconImage80Side), ILC_COLOR24 | ILC_MASK,
                                         capacity, 0);
    SendMessageW(list, LVM_SETITEMCOUNT, counted, 0);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(state->listImages));
    for (int kind = 0; kind < StandardIconCount; ++kind)
        state->imageIndex[kind] =
            state->listImages ? ImageList_ReplaceIcon(state->listImages, -1, StandardIcon(StandardIconKind(kind)))
                              : -1;

    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);

    // Folders first, without the Control Panel and the Recycle Bin.
    int inserted = 0;
    LPITEMIDLIST id = nullptr;
    while (folders && folders->Next(1, &id, nullptr) == S_OK) {
        ItemIdListOwner child(id);
        const ULONG attributes = AttributesOf(folder->folder, child.get());
        if (IsExcludedId(child.get()) || !(attributes & SFGAO_FOLDER) || (attributes & SFGAO_STREAM))
            continue;
        if (InsertListedItem(list, folder, child.get(), attributes, state->imageIndex[StandardIconFolder], inserted))
            ++inserted;
    }
    const int folderCount = inserted;

    // Then the files, hidden ones too; an archive that the shell shows as a
    // folder is a file with the archive icon.
    ComPtr<IEnumIDList> files;
    if (SUCCEEDED(folder->folder->EnumObjects(state->mainWindow, ListedKinds | SHCONTF_INCLUDEHIDDEN,
                                              files.receive()))) {
        while (files && files->Next(1, &id, nullptr) == S_OK) {
            ItemIdListOwner child(id);
            const ULONG attributes = AttributesOf(folder->folder, child.get());
            if ((attributes & SFGAO_FOLDER) && !(attributes & SFGAO_STREAM))
                continue;
            const int image = state->imageIndex[(attributes & SFGAO_FOLDER) ? StandardIconArchive : StandardIconFile];
            if (InsertListedItem(list, folder, child.get(), attributes, image, inserted))
                ++inserted;
        }
    }

    if (inserted)
        SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));

    // One state byte per item: folders need no thumbnail.
    if (inserted) {
        state->itemStates = static_cast<uint8_t*>(LocalAlloc(LPTR, SIZE_T(inserted)));
        if (state->itemStates) {
            std::memset(state->itemStates, 1, SIZE_T(folderCount));
            state->itemCount = DWORD(inserted);
        }
    }
    PostToWorker(WT_START_LIST, WPARAM(folderCount), LPARAM(inserted));

    // The listed folder's changes come to the right pane.
    SHChangeNotifyEntry entry = {folder->absolute, TRUE};
    const ULONG registration = SHChangeNotifyRegister(state->right.pane, ListChangeSources, ListChangeEvents,
                                                      MSG_LIST_CHANGE, 1, &entry);
    state->changeRegistration[0] = registration ? registration : NoChangeRegistration;
}

void RequestItem(BrowserState* state, WPARAM index)
{
    // An item that has gone is still answered, without a record: the worker
    // marks it tried and goes on instead of waiting for nothing.
    ListItemRecord* record = index <= WPARAM(INT_MAX) ? ListRecordOf(state->right.control, int(index)) : nullptr;
    PostToWorker(WT_RENDER_ITEM, reinterpret_cast<WPARAM>(record), LPARAM(index));
}

void StoreThumbnail(BrowserState* state, WPARAM replyParam, LPARAM sharedParam)
{
    const WorkerReply* reply = reinterpret_cast<const WorkerReply*>(replyParam);
    HWND list = state->right.control;
    if (!reply || !reply->data || !list || !state->listImages || reply->index > uint32_t(INT_MAX))
        return;
    const int index = int(reply->index);
    ListItemRecord* record = ListRecordOf(list, index);
    if (!record)
        return;

    const int image =
        sharedParam ? AddPicture(state, list, record, reinterpret_cast<const SharedThumbnail*>(sharedParam),
                                 static_cast<const ImageInfo*>(reply->data))
                    : AddIcon(state, static_cast<const BYTE*>(reply->data));
    if (image >= 0)
        SetItemImage(list, index, image);
}
