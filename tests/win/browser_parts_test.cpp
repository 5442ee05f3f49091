// Small parts of the browser that need no window: the item states and the
// worker's scan order, the queue of handed-over paths, the selection's
// status text, the list items' own folder references and the imaging
// services' stop, which waits for the uses in progress.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "browser/list_item.h"
#include "image/imaging_services_win.h"
#include "ui/browser_state.h"
#include "ui/item_states.h"
#include "ui/job_team.h"
#include "ui/list_thumbnails.h"
#include "ui/owners.h"

namespace {

TEST(ItemStates, TheScanGoesFromTheStartToTheEndThenWrapsAndSkipsTriedItems)
{
    const uint8_t states[] = {1, 1, 0, 2, 0, 0, 2};
    EXPECT_EQ(2, FindUntriedItem(states, 7, -1));
    EXPECT_EQ(4, FindUntriedItem(states, 7, 3));
    EXPECT_EQ(2, FindUntriedItem(states, 7, 6));   // wraps to the first untried
    EXPECT_EQ(2, FindUntriedItem(states, 7, 90));  // a start past the end too
    EXPECT_EQ(-1, FindUntriedItem(states, 2, 0));
    EXPECT_EQ(-1, FindUntriedItem(nullptr, 7, 0));
    EXPECT_EQ(2, FindUntriedItem(states, 5, 5));   // never reads past the count given
}

TEST(ItemStates, ABatchTakesTheNextUntriedItemsInScanOrderEachOnce)
{
    const uint8_t states[] = {1, 0, 0, 2, 0, 0, 2, 0};
    uint32_t out[4] = {};
    auto batch = [&](uint32_t count, int64_t start, uint32_t max) {
        std::fill(out, out + 4, 99u);
        const uint32_t n = FindUntriedBatch(states, count, start, max, out);
        return std::vector<uint32_t>(out, out + n);
    };
    EXPECT_EQ((std::vector<uint32_t>{1, 2}), batch(8, -1, 2));
    EXPECT_EQ((std::vector<uint32_t>{4, 5, 7, 1}), batch(8, 3, 4));  // after a scroll: to the end, then the top
    EXPECT_EQ((std::vector<uint32_t>{7, 1, 2, 4}), batch(8, 7, 4));
    EXPECT_EQ((std::vector<uint32_t>{1, 2, 4, 5}), batch(8, 8, 4));  // a start past the end: from the top
    EXPECT_EQ((std::vector<uint32_t>{2, 4, 1}), batch(5, 2, 4));     // each once, never past the count
    EXPECT_EQ(99u, out[3]);
    EXPECT_EQ((std::vector<uint32_t>{}), batch(1, 0, 4));
    EXPECT_EQ(0u, FindUntriedBatch(nullptr, 8, 0, 4, out));
    EXPECT_EQ(0u, FindUntriedBatch(states, 8, 0, 0, out));

    // Items whose results are on their way are left out, wherever the scan
    // meets them; an index beyond the table changes nothing.
    const uint32_t onTheirWay[] = {4, 1, 30};
    const uint32_t n = FindUntriedBatch(states, 8, 3, 4, out, onTheirWay, 3);
    EXPECT_EQ((std::vector<uint32_t>{5, 7, 2}), std::vector<uint32_t>(out, out + n));
}

// What the jobs of JobTeam's tests did: runs per job, how many ran at once.
struct JobRecord {
    std::atomic<int> runs[MaxBatchJobs];
    std::atomic<int> running;
    std::atomic<int> mostAtOnce;
    std::atomic<int> threads;  // jobs run by another thread than the test's
    DWORD caller;

    void Clear()
    {
        for (auto& r : runs)
            r = 0;
        running = mostAtOnce = threads = 0;
        caller = GetCurrentThreadId();
    }
    static void Job(void* context, uint32_t i)
    {
        JobRecord* r = static_cast<JobRecord*>(context);
        const int now = ++r->running;
        for (int most = r->mostAtOnce; now > most && !r->mostAtOnce.compare_exchange_weak(most, now);)
            ;
        if (GetCurrentThreadId() != r->caller)
            ++r->threads;
        Sleep(1 + i % 3);
        ++r->runs[i];
        --r->running;
    }
};

// Every job of a batch runs once, on the caller and the helpers together,
// batch after batch, never more at once than the team has threads; results
// can be taken in order as each job ends; an abandoned batch runs no job
// that was not taken.
TEST(JobTeam, EveryJobRunsOnceInOrderOfTakingAndAnAbandonedBatchStops)
{
    static JobRecord record;
    for (uint32_t helpers : {0u, 1u, 3u, 9u}) {
        JobTeam team;
        const uint32_t started = team.Start(helpers);
        EXPECT_EQ(std::min(helpers, MaxJobThreads - 1), started);
        for (uint32_t count : {0u, 1u, 5u, MaxBatchJobs}) {
            record.Clear();
            team.Run(count, JobRecord::Job, &record);
            EXPECT_EQ(0, record.running);
            for (uint32_t i = 0; i < MaxBatchJobs; ++i)
                EXPECT_EQ(i < count ? 1 : 0, int(record.runs[i])) << helpers << " " << count << " " << i;
            EXPECT_LE(record.mostAtOnce, int(started) + 1);
        }
        if (started > 0)
            EXPECT_NE(0, int(record.threads)) << "the helpers took no job";

        // In order: each job has ended when its wait returns.
        record.Clear();
        team.Begin(MaxBatchJobs, JobRecord::Job, &record);
        for (uint32_t i = 0; i < MaxBatchJobs; ++i) {
            team.WaitJob(i);
            EXPECT_EQ(1, int(record.runs[i])) << i;
        }
        team.Finish();
        EXPECT_EQ(0, record.running);

        // Abandoned after the first: the jobs in progress end, no other starts.
        record.Clear();
        team.Begin(MaxBatchJobs, JobRecord::Job, &record);
        team.WaitJob(0);
        team.Finish(true);
        EXPECT_EQ(0, record.running);
        int ran = 0;
        for (auto& r : record.runs) {
            EXPECT_LE(int(r), 1);
            ran += r;
        }
        if (started == 0)
            EXPECT_EQ(1, ran);  // the caller alone: only the job waited for
        team.Stop();
    }
    EXPECT_GE(JobThreadCount(), 1u);
    EXPECT_LE(JobThreadCount(), MaxJobThreads);
}

TEST(JobTeam, TakeJobHandsOutEachJobOnceAndStopsAtTheCount)
{
    volatile LONG next = 0;
    EXPECT_EQ(0u, TakeJob(&next, 2));
    EXPECT_EQ(1u, TakeJob(&next, 2));
    EXPECT_EQ(2u, TakeJob(&next, 2));
    EXPECT_EQ(2u, TakeJob(&next, 2));
    EXPECT_EQ(2, next);  // the counter never goes past the count
}

TEST(ItemStates, AddingAndRemovingItemsKeepsTheWorkersScanOnTheSameItem)
{
    ResetBrowserState();
    ResetItemStates(&Browser, 5, 2);
    ASSERT_EQ(5u, Browser.itemCount);
    EXPECT_EQ(ItemNeedsNone, Browser.itemStates[1]);
    EXPECT_EQ(ItemUntried, Browser.itemStates[2]);

    WorkerSaveArea save = {5, 3};
    SetItemState(&Browser, 3, ItemTried);
    SetItemState(&Browser, 99, ItemTried);  // beyond the table: nothing
    RemoveItemState(&Browser, &save, 1);     // before the current item
    EXPECT_EQ(4u, Browser.itemCount);
    EXPECT_EQ(4u, save.itemCount);
    EXPECT_EQ(2, save.currentIndex);
    EXPECT_EQ(ItemTried, Browser.itemStates[save.currentIndex]);
    RemoveItemState(&Browser, &save, 3);     // after it
    EXPECT_EQ(2, save.currentIndex);
    AppendItemState(&Browser, &save);
    EXPECT_EQ(4u, Browser.itemCount);
    EXPECT_EQ(4u, save.itemCount);
    EXPECT_EQ(ItemUntried, Browser.itemStates[3]);
    FreeItemStates(&Browser);
    EXPECT_EQ(nullptr, Browser.itemStates);
    EXPECT_EQ(0u, Browser.itemCount);
}

TEST(PendingQueue, HandOversWaitInOrderAndTheQueueIsBounded)
{
    ClearPendingQueue();
    ClearPendingPath();
    EXPECT_FALSE(TakeQueuedPendingPath());
    EXPECT_TRUE(QueuePendingPath(L"C:\\a.mag", 64));
    EXPECT_TRUE(QueuePendingPath(L"C:\\b.mag", 64));
    EXPECT_FALSE(QueuePendingPath(L"", 1));           // nothing to show
    EXPECT_FALSE(QueuePendingPath(L"C:\\cut", 4));    // no terminator within the units
    ASSERT_TRUE(TakeQueuedPendingPath());
    EXPECT_EQ(std::wstring(L"C:\\a.mag"), PendingPath);
    ASSERT_TRUE(TakeQueuedPendingPath());
    EXPECT_EQ(std::wstring(L"C:\\b.mag"), PendingPath);
    EXPECT_FALSE(TakeQueuedPendingPath());
    EXPECT_EQ(std::wstring(L"C:\\b.mag"), PendingPath);

    for (size_t i = 0; i < PendingQueueCapacity; ++i)
        EXPECT_TRUE(QueuePendingPath(L"C:\\x", 5));
    EXPECT_FALSE(QueuePendingPath(L"C:\\y", 5));
    ClearPendingQueue();
    ClearPendingPath();
    EXPECT_FALSE(TakeQueuedPendingPath());
}

TEST(SelectionStatus, NamesOnePictureWithItsSizeAndCountsOtherSelections)
{
    wchar_t text[64];
    const ImageInfo picture = {640, 400, 4};
    const ImageInfo none = {};
    FormatSelectionStatus(text, 64, 1, L"a.mag", &picture);
    EXPECT_EQ(std::wstring(L"a.mag : 640 x 400 4bit"), text);
    FormatSelectionStatus(text, 64, 1, L"note.txt", &none);
    EXPECT_EQ(std::wstring(L"1個選択"), text);
    FormatSelectionStatus(text, 64, 1, nullptr, nullptr);
    EXPECT_EQ(std::wstring(L"1個選択"), text);
    FormatSelectionStatus(text, 64, 3, L"a.mag", &picture);
    EXPECT_EQ(std::wstring(L"3個選択"), text);
    FormatSelectionStatus(text, 64, 0, L"a.mag", &picture);
    EXPECT_EQ(std::wstring(L""), text);
}

// The reference count of a COM object, read without changing it.
ULONG References(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// The list item of a folder's child, made and freed, changes the folder's
// references by exactly one.
void CheckOwnReference(IShellFolder* folder, LPCITEMIDLIST child)
{
    const ULONG before = References(folder);
    ListItemRecord* record = MakeListItemRecord(folder, child, 0);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(before + 1, References(folder));
    FreeListItemRecord(record);
    EXPECT_EQ(before, References(folder));
}

TEST(ListItemRecord, HoldsItsOwnReferenceToTheListedFolder)
{
    // The tree may let its folder go while the item still needs it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        ComPtr<IShellFolder> desktop;
        ASSERT_EQ(S_OK, SHGetDesktopFolder(desktop.receive()));
        ItemIdListOwner folderList(ILCreateFromPathW(temp));
        ASSERT_TRUE(folderList);
        ComPtr<IShellFolder> folder;
        ASSERT_EQ(S_OK, desktop->BindToObject(folderList.get(), nullptr, IID_IShellFolder, folder.receiveVoid()));
        CheckOwnReference(folder.get(), folderList.get());
    }
    if (SUCCEEDED(com))
        CoUninitialize();
}

TEST(ImagingServices, StoppingWaitsForTheUseInProgressAndRefusesLaterOnes)
{
    ASSERT_TRUE(StartImagingServices());
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::thread loader([&] {
        ImagingUse use;
        EXPECT_TRUE(use.granted());
        holding = true;
        while (!release)
            Sleep(1);
    });
    while (!holding)
        Sleep(1);

    // The stop begins: no new use is granted, and it waits for the one held.
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        StopImagingServices();
        stopped = true;
    });
    while (ImagingAvailable())
        Sleep(1);
    EXPECT_FALSE(ImagingUse().granted());
    Sleep(50);
    EXPECT_FALSE(stopped) << "the stop did not wait for the use in progress";
    release = true;
    loader.join();
    stopper.join();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(ImagingUse().granted());
}

}  // namespace
