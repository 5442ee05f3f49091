// The folder listing and the thumbnail worker with the real main window:
// folders first with their states, the order of the worker's requests,
// picture thumbnails and shell icons in the image list, damaged files,
// coalesced listings, scrolling, shell changes between two files, and
// closing while a thumbnail is being made.
#include <windows.h>

#include <algorithm>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <deque>
#include <functional>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "browser/change_queue.h"
#include "browser/file_list.h"
#include "browser/folder_tree.h"
#include "browser/list_item.h"
#include "browser/pane_window.h"
#include "browser/standard_icons.h"
#include "gui/viewer_test_support.h"
#include "image/thumbnail.h"
#include "platform/memory_block.h"
#include "gui/browser_test_support.h"
#include "support/fixtures.h"
#include "thumbs/folder_worker.h"
#include "ui/browser_state.h"
#include "ui/item_states.h"
#include "ui/job_team.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {


// One message from the worker as the main window received it.
struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    WorkerSaveArea save;            // a copy, for MSG_CHANGES_PENDING
    std::vector<uint32_t> indices;  // the batch of a MSG_REQUEST_ITEM
    uint32_t index;                 // a MSG_THUMBNAIL_READY's item (its slot is used again)
};

// What the main window receives from the worker, recorded by a subclass
// that calls the hook first and then the window's own procedure.
std::vector<Seen> seen;
std::function<void(const Seen&)> hook;
WNDPROC mainProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= MSG_REQUEST_ITEM && message <= MSG_CHANGES_PENDING) {
        Seen s = {message, wParam, lParam, {}, {}, 0};
        if (message == MSG_THUMBNAIL_READY && wParam)
            s.index = reinterpret_cast<const WorkerReply*>(wParam)->index;
        if (message == MSG_CHANGES_PENDING)
            s.save = *reinterpret_cast<const WorkerSaveArea*>(wParam);
        if (message == MSG_REQUEST_ITEM && wParam) {
            const auto* batch = reinterpret_cast<const WorkerBatch*>(wParam);
            s.indices.assign(batch->indices, batch->indices + batch->count);
        }
        seen.push_back(s);
        if (hook)
            hook(s);
    }
    return CallWindowProcW(mainProc, window, message, wParam, lParam);
}

uint32_t Pattern(uint32_t x, uint32_t y)
{
    return (x * 37 & 0xFF) << 16 | (y * 11 & 0xFF) << 8 | ((x + y) * 5 & 0xFF);
}

class FolderListing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartTestBrowser(dir.Path(L"")));

        Settings settings = {};
        settings.geometryComplete = true;
        settings.left = settings.top = 20;
        settings.width = 700;
        settings.height = 500;
        window = CreateZizeWindow(settings);
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOWNORMAL);
        CreateMainChildren(&Browser, 150);
        mainProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
        PumpMessages();
    }
    void TearDown() override
    {
        hook = nullptr;
        if (window && IsWindow(window)) {
            SendMessageW(window, WM_CLOSE, 0, 0);
            RunMessageLoop();
        }
        seen.clear();
        // The list's records borrowed the folders' interfaces: freed last.
        for (TreeItemRecord& folder : folders) {
            folder.folder->Release();
            CoTaskMemFree(folder.absolute);
        }
        EndTestBrowser(nullptr);
    }

    // A tree item record for a folder below the temporary folder, made
    // like the tree makes them; kept until the end of the test.
    TreeItemRecord* Folder(const std::wstring& name)
    {
        const std::wstring path = dir.Path(name);
        CreateDirectoryW(path.c_str(), nullptr);
        ComPtr<IShellFolder> desktop;
        TreeItemRecord record = {};
        if (FAILED(SHGetDesktopFolder(desktop.receive())) ||
            FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path.c_str()), nullptr,
                                             &record.absolute, nullptr)) ||
            FAILED(desktop->BindToObject(record.absolute, nullptr, IID_IShellFolder,
                                         reinterpret_cast<void**>(&record.folder)))) {
            ADD_FAILURE() << "no shell folder for the test folder";
            return nullptr;
        }
        record.relative = ILFindLastID(record.absolute);
        folders.push_back(record);
        return &folders.back();
    }

    // Waits, handling the main thread's messages, until done() holds.
    bool WaitFor(const std::function<bool()>& done, DWORD ms = 20000)
    {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > ms)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            PumpMessages();
        }
        return true;
    }

    // Where the worker's messages about folder begin, or -1.
    int ListedAt(const TreeItemRecord* folder) const
    {
        for (size_t i = seen.size(); i-- > 0;)
            if (seen[i].message == MSG_FOLDER_LISTED && seen[i].wParam == WPARAM(folder))
                return int(i);
        return -1;
    }
    // The messages of one kind since folder was listed.
    std::vector<Seen> Since(const TreeItemRecord* folder, UINT message) const
    {
        std::vector<Seen> found;
        const int at = ListedAt(folder);
        for (size_t i = at < 0 ? seen.size() : size_t(at); i < seen.size(); ++i)
            if (seen[i].message == message)
                found.push_back(seen[i]);
        return found;
    }
    // Lists folder through the worker and waits until every file was tried
    // and its result handled.
    void ListAndWait(const TreeItemRecord* folder, uint32_t files)
    {
        ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(folder), 0));
        ASSERT_TRUE(WaitFor([&] {
            if (ListedAt(folder) < 0 || Since(folder, MSG_THUMBNAIL_READY).size() < files)
                return false;
            for (DWORD i = 0; i < Browser.itemCount; ++i)
                if (Browser.itemStates[i] == 0)
                    return false;
            return true;
        })) << "the listing did not finish";
    }
    std::vector<uint32_t> RequestedIndices(const TreeItemRecord* folder) const
    {
        std::vector<uint32_t> indices;
        for (const Seen& s : Since(folder, MSG_REQUEST_ITEM))
            indices.insert(indices.end(), s.indices.begin(), s.indices.end());
        return indices;
    }

    HWND List() const { return Browser.right.control; }
    int ItemCount() const { return int(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    int IndexOf(const std::wstring& text) const
    {
        LVFINDINFOW find = {};
        find.flags = LVFI_STRING;
        find.psz = text.c_str();
        return int(SendMessageW(List(), LVM_FINDITEMW, WPARAM(-1), reinterpret_cast<LPARAM>(&find)));
    }
    int ImageOf(int index) const
    {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = index;
        SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    std::vector<uint8_t> States() const
    {
        return Browser.itemStates ? std::vector<uint8_t>(Browser.itemStates, Browser.itemStates + Browser.itemCount)
                                  : std::vector<uint8_t>();
    }

    TempDir dir;
    HWND window = nullptr;
    // A deque: the records handed out stay where they are as more are made.
    std::deque<TreeItemRecord> folders = std::deque<TreeItemRecord>();
};

// An image of the list's image list drawn on white, as 80 x 80 blue, green, red.
std::vector<uint8_t> DrawnImage(int image)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 80, -80, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    GdiObjectOwner bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDcOwner dc(CreateCompatibleDC(nullptr));
    std::vector<uint8_t> bgr;
    if (!bitmap || !dc)
        return bgr;
    {
        Selection selected(dc.get(), bitmap.get());
        std::memset(bits, 0xFF, 80 * 80 * 4);
        ImageList_Draw(Browser.listImages, image, dc.get(), 0, 0, ILD_NORMAL);
        GdiFlush();
    }
    const uint8_t* p = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < 80 * 80; ++i)
        bgr.insert(bgr.end(), p + i * 4, p + i * 4 + 3);
    return bgr;
}

// The thumbnail that the scaler makes of a Pattern picture.
std::vector<uint8_t> ExpectedThumbnail(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> src;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = Pattern(x, y);
            src.insert(src.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
        }
    ThumbnailBlock thumb;
    ScaleToThumbnail(&thumb, src.data(), width, height, ptrdiff_t(width) * 3);
    return std::vector<uint8_t>(thumb.pixels, thumb.pixels + kThumbnailBytes);
}

TEST_F(FolderListing, FoldersComeFirstAndEveryFileIsTriedOnceForAThumbnail)
{
    TreeItemRecord* folder = Folder(L"mixed");
    for (const wchar_t* name : {L"mixed\\f1", L"mixed\\f2", L"mixed\\f3"})
        CreateDirectoryW(dir.Path(name).c_str(), nullptr);
    CreateDirectoryW(dir.Path(L"mixed\\hidden").c_str(), nullptr);
    SetFileAttributesW(dir.Path(L"mixed\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    dir.Write(L"mixed\\wide.tga", TgaFile(120, 50, Pattern));
    dir.Write(L"mixed\\small.tga", TgaFile(30, 40, Pattern));
    dir.Write(L"mixed\\x.png", std::vector<uint8_t>(10, 'x'));
    dir.Write(L"mixed\\notes.txt", std::vector<uint8_t>(40, 'n'));
    std::vector<uint8_t> damaged = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    damaged.resize(64, 0xA5);
    dir.Write(L"mixed\\bad.png", damaged);
    const long live = LiveAllocations();
    const DWORD handles = [] {
        DWORD count = 0;
        GetProcessHandleCount(GetCurrentProcess(), &count);
        return count;
    }();

    // The hidden folder is left out; the states are read at the first request.
    std::vector<uint8_t> firstStates;
    hook = [&](const Seen& s) {
        if (s.message == MSG_REQUEST_ITEM && firstStates.empty())
            firstStates = States();
    };
    ListAndWait(folder, 5);
    ASSERT_EQ(8, ItemCount());
    EXPECT_EQ((std::vector<uint8_t>{1, 1, 1, 0, 0, 0, 0, 0}), firstStates);
    EXPECT_EQ((std::vector<uint8_t>{1, 1, 1, 2, 2, 2, 2, 2}), States());
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 5, 6, 7}), RequestedIndices(folder));
    for (const wchar_t* name : {L"f1", L"f2", L"f3"}) {
        EXPECT_LT(IndexOf(name), 3);
        EXPECT_EQ(Browser.imageIndex[1], ImageOf(IndexOf(name)));
    }

    // Pictures: the scaled picture, and the record has its size and depth.
    for (const auto& picture : {std::make_tuple(L"wide.tga", 120u, 50u), std::make_tuple(L"small.tga", 30u, 40u)}) {
        const int index = IndexOf(std::get<0>(picture));
        ASSERT_GE(index, 3);
        ASSERT_GE(ImageOf(index), 3);
        EXPECT_TRUE(DrawnImage(ImageOf(index)) == ExpectedThumbnail(std::get<1>(picture), std::get<2>(picture)));
        const ListItemRecord* record = ListRecordOf(List(), index);
        EXPECT_EQ(std::get<1>(picture), record->width);
        EXPECT_EQ(std::get<2>(picture), record->height);
        EXPECT_EQ(24u, record->bitDepth);
    }
    // A file too short to classify and a text file: the shell's icon.
    for (const wchar_t* name : {L"x.png", L"notes.txt"}) {
        const int index = IndexOf(name);
        EXPECT_GE(ImageOf(index), 3) << index;
        EXPECT_NE(DrawnImage(Browser.imageIndex[0]), DrawnImage(ImageOf(index)));
        EXPECT_EQ(0u, ListRecordOf(List(), index)->width);
    }
    // A damaged picture keeps the file icon and is not tried again.
    const int bad = IndexOf(L"bad.png");
    EXPECT_EQ(Browser.imageIndex[0], ImageOf(bad));
    EXPECT_EQ(7, ImageList_GetImageCount(Browser.listImages));
    const size_t before = seen.size();
    ASSERT_TRUE(PostToWorker(WT_NEXT, 0, 0));
    ASSERT_TRUE(PostToWorker(WT_NEXT, 3, 1));
    TreeItemRecord* empty = Folder(L"empty");
    ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(empty), 0));
    ASSERT_TRUE(WaitFor([&] { return ListedAt(empty) >= 0 && Since(empty, MSG_REQUEST_ITEM).size() == 1; }));
    for (size_t i = before; i < size_t(ListedAt(empty)); ++i)
        EXPECT_NE(MSG_REQUEST_ITEM, seen[i].message);

    // The empty folder: the standard icons alone, no states, the empty request.
    EXPECT_EQ(0, ItemCount());
    EXPECT_EQ(3, ImageList_GetImageCount(Browser.listImages));
    EXPECT_EQ((std::vector<int32_t>{0, 1, 2}), std::vector<int32_t>(Browser.imageIndex, Browser.imageIndex + 3));
    EXPECT_EQ(nullptr, Browser.itemStates);
    EXPECT_EQ(1, Since(empty, MSG_REQUEST_ITEM)[0].lParam);
    EXPECT_NE(NoChangeRegistration, Browser.changeRegistration[0]);

    // The folder left, the loader's memory and the files are given back.
    EXPECT_EQ(live, LiveAllocations());
    DWORD after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_LE(after, handles);
}

TEST_F(FolderListing, TenQuickListingsListOnlyTheLastAndAWaitingQuitWins)
{
    std::vector<TreeItemRecord*> tens;
    for (int i = 0; i < 10; ++i) {
        tens.push_back(Folder(L"q" + std::to_wstring(i)));
        dir.Write(L"q" + std::to_wstring(i) + L"\\a.txt", std::vector<uint8_t>(30, 'a'));
    }

    // The worker is held while the requests queue up, with a change among them.
    ASSERT_NE(DWORD(-1), SuspendThread(Browser.workerThread));
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(tens[size_t(i)]), 0));
        if (i == 4) {
            ASSERT_TRUE(PostToWorker(WT_CHANGES, 0, 0));
        }
    }
    ResumeThread(Browser.workerThread);
    ASSERT_TRUE(WaitFor([&] { return ListedAt(tens[9]) >= 0 && Since(tens[9], MSG_THUMBNAIL_READY).size() == 1; }));
    // Only the test's folders count: the start folder may be listed too.
    size_t listings = 0;
    for (const Seen& s : seen)
        listings += s.message == MSG_FOLDER_LISTED &&
                    std::find(tens.begin(), tens.end(), reinterpret_cast<TreeItemRecord*>(s.wParam)) != tens.end();
    EXPECT_EQ(1u, listings);
    EXPECT_EQ(0, IndexOf(L"a.txt"));

    // Listings and a quit waiting together: the worker only quits.
    ASSERT_NE(DWORD(-1), SuspendThread(Browser.workerThread));
    ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(tens[1]), 0));
    SendMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(tens[2]), 0));
    ResumeThread(Browser.workerThread);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(-1, ListedAt(tens[1]));
    EXPECT_EQ(-1, ListedAt(tens[2]));
}

TEST_F(FolderListing, AScrollRestartsTheScanAndChangesWaitForTheNextFile)
{
    TreeItemRecord* folder = Folder(L"many");
    for (int i = 0; i < 30; ++i)
        dir.Write(L"many\\" + std::to_wstring(100 + i) + L".txt", std::vector<uint8_t>(20, 't'));
    ItemIdListOwner elsewhere(ILCreateFromPathW(dir.Path(L"").c_str()));
    ASSERT_TRUE(elsewhere);

    // The user scrolls the list down while the first batch is made (the
    // scroll bar's message to the real list); a shell change comes while
    // the worker is asked for item 21; one more comes with the last result.
    int firstVisible = -1;
    std::vector<uint32_t> firstBatch;
    const auto holds = [](const Seen& s, uint32_t index) {
        return std::find(s.indices.begin(), s.indices.end(), index) != s.indices.end();
    };
    hook = [&](const Seen& s) {
        if (s.message == MSG_REQUEST_ITEM && !s.indices.empty() && s.indices[0] == 0) {
            firstBatch = s.indices;
            for (int i = 0; i < 40 && FirstVisibleListItem(Browser.right.control) < 12; ++i)
                SendMessageW(Browser.right.control, WM_VSCROLL, SB_LINEDOWN, 0);
            firstVisible = FirstVisibleListItem(Browser.right.control);
        }
        if (s.message == MSG_REQUEST_ITEM && holds(s, 21)) {
            AppendChange(elsewhere.get(), nullptr, SHCNE_UPDATEITEM, ChangeFromList);
            PostToWorker(WT_CHANGES, 0, 0);
        }
        // The last item is the one before the first visible.
        const auto* reply = reinterpret_cast<const WorkerReply*>(s.wParam);
        if (s.message == MSG_THUMBNAIL_READY && reply && firstVisible > 1 &&
            reply->index == uint32_t(firstVisible - 1))
            AppendChange(elsewhere.get(), nullptr, SHCNE_UPDATEITEM, ChangeFromList);
    };
    ListAndWait(folder, 30);
    ASSERT_GE(firstVisible, 12) << "the list did not scroll";
    ASSERT_LT(firstVisible, 22);
    // The first batch began at item 0; the scan went on from the first
    // visible item to the end, then from the top.
    ASSERT_FALSE(firstBatch.empty());
    ASSERT_LT(firstBatch.back(), uint32_t(firstVisible));
    std::vector<uint32_t> expected = firstBatch;
    for (uint32_t i = uint32_t(firstVisible); i < 30; ++i)
        expected.push_back(i);
    for (uint32_t i = firstBatch.back() + 1; i < uint32_t(firstVisible); ++i)
        expected.push_back(i);
    EXPECT_EQ(expected, RequestedIndices(folder));
    EXPECT_EQ(firstVisible, Browser.firstVisibleIndex);

    // The changes were applied once every result up to item 21's batch had
    // been handled, before the next request; the change that came with the
    // last result at the worker's last look at the count.
    ASSERT_TRUE(WaitFor([&] { return Since(folder, MSG_CHANGES_PENDING).size() == 2; }));
    const std::vector<Seen> pending = Since(folder, MSG_CHANGES_PENDING);
    size_t at = size_t(ListedAt(folder));
    while (!(seen[at].message == MSG_REQUEST_ITEM && holds(seen[at], 21)))
        ++at;
    const std::vector<uint32_t> batch = seen[at].indices;
    EXPECT_EQ(30u, pending[0].save.itemCount);
    EXPECT_EQ(int32_t(batch.back()), pending[0].save.currentIndex);
    EXPECT_EQ(0u, Browser.changeCount);
    std::vector<uint32_t> handled;
    size_t change = at + 1;
    for (; seen[change].message != MSG_CHANGES_PENDING; ++change) {
        ASSERT_EQ(MSG_THUMBNAIL_READY, seen[change].message) << "a request came before the changes";
        handled.push_back(seen[change].index);
    }
    for (uint32_t index : batch)
        EXPECT_NE(handled.end(), std::find(handled.begin(), handled.end(), index)) << index;
    ASSERT_EQ(MSG_REQUEST_ITEM, seen[change + 1].message);
    EXPECT_EQ(batch.back() + 1, seen[change + 1].indices.at(0));

    // The wheel reaches the list as well: it scrolls, and the first visible
    // item is kept for the worker.
    HWND list = Browser.right.control;
    for (int i = 0; i < 40 && FirstVisibleListItem(list) > 0; ++i)
        SendMessageW(list, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(0, Browser.firstVisibleIndex);
    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(-3 * WHEEL_DELTA))), 0);
    EXPECT_GT(FirstVisibleListItem(list), 0);
    EXPECT_EQ(FirstVisibleListItem(list), Browser.firstVisibleIndex);
}

TEST_F(FolderListing, ResultsComeInScanOrderAndANewListingAbandonsTheBatchInHand)
{
    constexpr uint32_t count = 24;
    TreeItemRecord* pictures = Folder(L"batch");
    for (uint32_t i = 0; i < count; ++i)
        dir.Write(L"batch\\" + std::to_wstring(100 + i) + L".tga", TgaFile(64 + 8 * i, 48, Pattern));
    TreeItemRecord* other = Folder(L"next");
    dir.Write(L"next\\a.txt", std::vector<uint8_t>(30, 'a'));

    // The user picks another folder while the first result is shown. Every
    // result of the old listing is counted, also those that come after the
    // new listing.
    std::vector<uint32_t> replied;
    size_t oldResults = 0;
    uint32_t oldListing = 0;
    hook = [&](const Seen& s) {
        if (s.message == MSG_FOLDER_LISTED && reinterpret_cast<TreeItemRecord*>(s.wParam) == pictures)
            oldListing = Browser.listingNumber + 1;
        const auto* reply = reinterpret_cast<const WorkerReply*>(s.wParam);
        if (s.message != MSG_THUMBNAIL_READY || reply->listing != oldListing)
            return;
        ++oldResults;
        if (ListedAt(other) < 0)
            replied.push_back(reply->index);
        if (oldResults == 1)
            PostToWorker(WT_LIST_FOLDER, WPARAM(other), 0);
    };
    ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(pictures), 0));
    // The new listing's result comes after every result posted before it.
    ASSERT_TRUE(WaitFor([&] { return ListedAt(other) >= 0 && States() == std::vector<uint8_t>{ItemTried}; }));

    // The old listing's results came in scan order, and the rest of its
    // work was abandoned: far fewer results than pictures.
    std::vector<uint32_t> inOrder(replied.size());
    std::iota(inOrder.begin(), inOrder.end(), 0u);
    EXPECT_EQ(inOrder, replied);
    EXPECT_LT(oldResults, size_t(count));

    // Results of the old listing that came after the new one changed
    // nothing: the new list has its standard icons and a.txt's icon alone.
    EXPECT_EQ(0, IndexOf(L"a.txt"));
    EXPECT_EQ(4, ImageList_GetImageCount(Browser.listImages));
    EXPECT_EQ(3, ImageOf(0));
    EXPECT_EQ((std::vector<uint8_t>{ItemTried}), States());
}

TEST_F(FolderListing, TheWorkerRunsNoFurtherAheadOfTheMainThreadThanItsSlots)
{
    TreeItemRecord* folder = Folder(L"ahead");
    for (int i = 0; i < 60; ++i)
        dir.Write(L"ahead\\" + std::to_wstring(100 + i) + L".tga", TgaFile(16, 16, Pattern));
    ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(folder), 0));
    ASSERT_TRUE(WaitFor([&] { return ListedAt(folder) >= 0; }));

    // For a second the main thread answers the worker's requests but takes
    // none of its results: the worker fills its slots (two batches), makes
    // one batch more and waits.
    const uint32_t batch = JobBatchSize(JobThreadCount());
    for (const DWORD until = GetTickCount() + 1000; GetTickCount() < until; Sleep(5)) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    const size_t requested = RequestedIndices(folder).size();
    EXPECT_GE(requested, size_t(2 * batch));
    EXPECT_LE(requested, size_t(3 * batch));
    EXPECT_TRUE(Since(folder, MSG_THUMBNAIL_READY).empty());

    // Then every item gets its thumbnail, each once.
    ASSERT_TRUE(WaitFor([&] {
        return Browser.itemCount == 60 && States() == std::vector<uint8_t>(60, uint8_t(ItemTried));
    }));
    std::vector<uint32_t> results;
    for (const Seen& s : Since(folder, MSG_THUMBNAIL_READY))
        results.push_back(s.index);
    std::sort(results.begin(), results.end());
    std::vector<uint32_t> each(60);
    std::iota(each.begin(), each.end(), 0u);
    EXPECT_EQ(each, results);
    EXPECT_EQ(63, ImageList_GetImageCount(Browser.listImages));
}

TEST_F(FolderListing, ClosingWhileAThumbnailIsMadeEndsTheWorkerCleanly)
{
    TreeItemRecord* folder = Folder(L"big");
    dir.Write(L"big\\large.tga", TgaFile(2400, 1800, Pattern));
    dir.Write(L"big\\next.tga", TgaFile(20, 20, Pattern));
    const long live = LiveAllocations();
    ASSERT_TRUE(PostToWorker(WT_LIST_FOLDER, WPARAM(folder), 0));
    ASSERT_TRUE(WaitFor([&] { return !Since(folder, MSG_REQUEST_ITEM).empty(); }));
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(Browser.workerThread, 10000));
    EXPECT_LE(RequestedIndices(folder).size(), 2u);
    EXPECT_EQ(live, LiveAllocations());
}

// A 32 x 32 colour icon: Pattern colours, opaque on its left half only.
HICON MakeTestIcon(int side)
{
    std::vector<uint32_t> colour(size_t(side) * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            colour[size_t(y) * side + x] = 0xFF000000u | Pattern(uint32_t(x), uint32_t(y));
    const int maskRow = (side + 15) / 16 * 2;
    std::vector<uint8_t> mask(size_t(maskRow) * side, 0);
    for (int y = 0; y < side; ++y)
        for (int x = side / 2; x < side; ++x)
            mask[size_t(y) * maskRow + x / 8] |= uint8_t(0x80 >> x % 8);
    GdiObjectOwner maskBitmap(CreateBitmap(side, side, 1, 1, mask.data()));
    GdiObjectOwner colourBitmap(CreateBitmap(side, side, 1, 32, colour.data()));
    ICONINFO info = {TRUE, 0, 0, static_cast<HBITMAP>(maskBitmap.get()), static_cast<HBITMAP>(colourBitmap.get())};
    return CreateIconIndirect(&info);
}

TEST_F(FolderListing, IconToThumbnailCentresAColourIconAndRefusesOthers)
{
    std::vector<BYTE> out(IconImage80AllocBytes, 0x11);
    std::vector<BYTE> work(WorkerIconWorkBytes);
    IconOwner icon(MakeTestIcon(32));
    ASSERT_TRUE(icon);
    ASSERT_TRUE(IconToThumbnail(icon.get(), out.data(), work.data()));
    int wrong = 0;
    for (uint32_t y = 0; y < 80; ++y)
        for (uint32_t x = 0; x < 80; ++x) {
            const bool inside = x >= 24 && x < 56 && y >= 24 && y < 56;
            const bool opaque = inside && x < 40;
            const bool maskBit = out[IconImage80MaskOffset + y * 10 + x / 8] & (0x80 >> x % 8);
            wrong += maskBit == opaque;
            const BYTE* p = &out[(y * 80 + x) * 4];
            const uint32_t c = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            wrong += inside ? c != Pattern(x - 24, y - 24) : c != 0;
        }
    EXPECT_EQ(0, wrong);

    // A side that is not a multiple of 8 is refused.
    IconOwner odd(MakeTestIcon(20));
    EXPECT_FALSE(IconToThumbnail(odd.get(), out.data(), work.data()));
}

}  // namespace
