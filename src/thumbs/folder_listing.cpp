// The main thread's side of the folder worker's protocol: the listing of a
// folder into the file list, each item with its standard icon; the items
// handed to the worker; the thumbnails it hands back put into the list's
// image list, each slot then handed back; and the changes applied between
// two batches. The worker's side is folder_worker.cpp; messages.h
// describes each message.
#include "thumbs/folder_listing.h"

#include <commctrl.h>
#include <shlobj.h>

#include <climits>

#include "browser/change_queue.h"
#include "browser/file_list.h"
#include "browser/list_item.h"
#include "browser/shell_names.h"
#include "browser/standard_icons.h"
#include "image/decoded_image.h"
#include "ui/item_states.h"
#include "ui/list_thumbnails.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {

// The longest time, in ms, that stored thumbnails wait for the list's paint.
constexpr DWORD ListPaintInterval = 100;

constexpr SHCONTF ListedKinds = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
constexpr ULONG AskedAttributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;

// The listed folder's change registration: interrupt and shell level,
// recursive, new delivery; renames, creations, deletions, media and drives,
// updated items and renamed folders.
constexpr int ListChangeSources = 0x9003;
constexpr LONG ListChangeEvents = 0x221FF;

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
// Its name is asked for when the list first shows it (see ListItemName).
// Returns false when nothing was inserted.
bool InsertListedItem(HWND list, const TreeItemRecord* folder, LPCITEMIDLIST child, ULONG attributes, int image,
                      int index)
{
    ItemIdListOwner absolute(ILCombine(folder->absolute, child));
    ListItemRecord* record = absolute ? MakeListItemRecord(folder->folder, absolute.get(), attributes) : nullptr;
    if (!record)
        return false;
    if (InsertListViewItem(list, index, LPSTR_TEXTCALLBACKW, image, reinterpret_cast<LPARAM>(record)) < 0) {
        FreeListItemRecord(record);
        return false;
    }
    return true;
}

// A picture: the thumbnail the worker made. Returns the new image's index, or -1.
int AddPicture(BrowserState* state, ListItemRecord* record, const ThumbnailBlock* thumbnail, const ImageInfo* info)
{
    // The selection status shows the picture's own size and depth.
    record->width = info->width;
    record->height = info->height;
    record->bitDepth = info->bitsPerPixel;
    return AddThumbnailImage(state->listImages, thumbnail->pixels);
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
    FreeItemStates(state);
    state->firstVisibleIndex = -1;
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
    ResetItemStates(state, uint32_t(inserted), uint32_t(folderCount));
    PostToWorker(WT_START_LIST, WPARAM(folderCount), LPARAM(inserted));

    // The listed folder's changes come to the right pane.
    SHChangeNotifyEntry entry = {folder->absolute, TRUE};
    const ULONG registration = SHChangeNotifyRegister(state->right.pane, ListChangeSources, ListChangeEvents,
                                                      MSG_LIST_CHANGE, 1, &entry);
    state->changeRegistration[0] = registration ? registration : NoChangeRegistration;
}

void RequestItems(BrowserState* state, WorkerBatch* batch)
{
    // An item that has gone is still answered, without a record: the worker
    // marks it tried and goes on.
    const uint32_t count = batch->count < WorkerBatchMax ? batch->count : WorkerBatchMax;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t index = batch->indices[i];
        batch->records[i] = index <= uint32_t(INT_MAX) ? ListRecordOf(state->right.control, int(index)) : nullptr;
    }
}

void StoreThumbnail(BrowserState* state, const WorkerReply* reply)
{
    HWND list = state->right.control;
    if (!reply->data || !list || !state->listImages || reply->index > uint32_t(INT_MAX))
        return;
    const int index = int(reply->index);
    ListItemRecord* record = ListRecordOf(list, index);
    if (!record)
        return;

    const int image = reply->thumbnail ? AddPicture(state, record, static_cast<const ThumbnailBlock*>(reply->thumbnail),
                                                    static_cast<const ImageInfo*>(reply->data))
                                       : AddIcon(state, static_cast<const BYTE*>(reply->data));
    if (image >= 0)
        SetListViewItemImage(list, index, image);
}

LRESULT OnWorkerRequestItem(BrowserState* state, HWND, WPARAM wParam, LPARAM lParam)
{
    if (lParam == 0 && wParam)
        RequestItems(state, reinterpret_cast<WorkerBatch*>(wParam));
    return 0;
}

LRESULT OnWorkerThumbnailReady(BrowserState* state, HWND, WPARAM wParam, LPARAM)
{
    WorkerReply* reply = reinterpret_cast<WorkerReply*>(wParam);
    if (!reply)
        return 0;

    // Tried once in this listing, whatever came of it; a result of an
    // earlier listing names an item of a list that has gone.
    if (reply->listing == state->listingNumber) {
        StoreThumbnail(state, reply);
        SetItemState(state, reply->index, ItemTried);

        // A list paints only when no posted message waits; while results
        // keep coming faster than they are stored it is painted here, so
        // that the thumbnails still appear one by one.
        if (state->right.control && GetTickCount() - state->listPaintTick >= ListPaintInterval)
            UpdateWindow(state->right.control);
    }

    // The slot goes back to the worker, which may use it again at once.
    InterlockedExchange(&reply->busy, 0);
    return 0;
}

LRESULT OnWorkerFolderListed(BrowserState* state, HWND, WPARAM wParam, LPARAM lParam)
{
    ++state->listingNumber;
    state->selectedTreeItem = reinterpret_cast<HTREEITEM>(lParam);
    ListFolder(state, reinterpret_cast<TreeItemRecord*>(wParam));

    // A file given by the command line or a second start opens now.
    if (PendingPath[0] != L'\0')
        OpenPendingFile(state);
    return 0;
}

LRESULT OnWorkerChangesPending(BrowserState*, HWND, WPARAM wParam, LPARAM)
{
    ApplyChanges(reinterpret_cast<WorkerSaveArea*>(wParam));
    return 0;
}
