// Measures what a person waits for in the browser, under Wine: the whole
// program (main window, tree, listing, worker) runs in this process as it
// does in Zize.exe, and the clock is read after each message it handles.
//   1. A folder of pictures made from the fixtures (own formats, BMP, PNG and
//      JPEG, 640 x 400 and larger): from the window's creation to the last
//      thumbnail; then the loading road alone (LoadImageThumbnail over the
//      same files) in the same process, and the ratio of the two.
//   2. A folder of small files: from selecting it to every item in the list
//      with its standard icon and the list painted, and from there to the
//      first thumbnail.
//   3. The same folder changed as a whole (SHCNE_UPDATEDIR, queued as the
//      pane queues the shell's notice): until the list is up to date.
//   browse_timing.exe [PICTURES] [SMALL_FILES] [mixed|own|gdiplus] [count]
//   (default 1000, 10000, mixed). "own" uses the own formats only, "gdiplus"
//   BMP, PNG and JPEG only. "count" also counts the messages between the
//   threads and the main thread's busy time (hooks: slower, not for timing).
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"
#include "browser/change_queue.h"
#include "browser/folder_tree.h"
#include "browser/pane_window.h"
#include "image/bmp.h"
#include "image/load_image_win.h"
#include "image/shared_lock_win.h"
#include "image/thumbnail.h"
#include "platform/file.h"
#include "ui/browser_state.h"
#include "ui/list_thumbnails.h"
#include "ui/owners.h"

#include "timing.h"

namespace {

// States: every item tried or a folder; any item tried.
bool AllTried()
{
    if (Browser.itemCount == 0)
        return false;
    for (DWORD i = 0; i < Browser.itemCount; ++i)
        if (Browser.itemStates[i] == 0)
            return false;
    return true;
}

bool AnyThumbnail()
{
    for (DWORD i = 0; i < Browser.itemCount; ++i)
        if (Browser.itemStates[i] == 2)
            return true;
    return false;
}

std::wstring FixturesDir(const wchar_t* exe)
{
    // The build places this program in build/windows/bench/win; the fixtures
    // are beside the checkout.
    std::wstring dir(exe);
    for (int up = 0; up < 5; ++up)
        dir = dir.substr(0, dir.rfind(L'\\'));
    return dir + L"\\..\\shared\\fixtures\\";
}

// Writes a decoded picture through GDI+ in the given format.
bool SaveWithGdiplus(const DecodedImage& picture, const std::wstring& path, const CLSID& encoder)
{
    Gdiplus::Bitmap bitmap(static_cast<INT>(picture.width), static_cast<INT>(picture.height),
                           static_cast<INT>((picture.width * 3 + 3) & ~3u), PixelFormat24bppRGB, picture.pixels);
    return bitmap.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}

// Makes the folder of pictures: the fixtures copied round-robin, and the
// 640 x 400 MAG written again as BMP, PNG and JPEG.
std::vector<std::wstring> MakePictures(const std::wstring& fixtures, const std::wstring& folder, int count,
                                       const std::wstring& set)
{
    const wchar_t* own[] = {L"mag\\s01_grad_640x400_mag16.mag", L"maki01\\s10_stripe2_640x400_maki.mki",
                            L"pi\\s02_plasma_320x200_pi16.pi", L"p2\\mb2_p2_15.p2"};
    DecodedImage grad = {};
    const std::wstring gradPath = fixtures + own[0];
    FileHandle file = FileOpenRead(gradPath.c_str());
    if (file == kInvalidFile || LoadImageFile(gradPath.c_str(), file, &grad, 0) != 0) {
        std::fprintf(stderr, "cannot read the fixtures at %ls\n", fixtures.c_str());
        std::exit(1);
    }
    FileClose(file);
    static const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    static const CLSID jpeg = {0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring bmp = folder + L"\\model.bmp", pngPath = folder + L"\\model.png", jpgPath = folder + L"\\model.jpg";
    WriteBmpFile(&grad, bmp.c_str());
    SaveWithGdiplus(grad, pngPath, png);
    SaveWithGdiplus(grad, jpgPath, jpeg);
    ReleaseDecodedImage(&grad);

    std::vector<std::wstring> sources;
    if (set != L"gdiplus")
        for (const wchar_t* name : own)
            sources.push_back(fixtures + name);
    if (set != L"own")
        sources.insert(sources.end(), {bmp, pngPath, jpgPath});
    std::vector<std::wstring> files;
    for (int i = 0; i < count; ++i) {
        const std::wstring& source = sources[i % sources.size()];
        wchar_t name[64];
        swprintf(name, 64, L"\\p%05d%ls", i, source.substr(source.rfind(L'.')).c_str());
        files.push_back(folder + name);
        CopyFileW(source.c_str(), files.back().c_str(), FALSE);
    }
    for (const std::wstring& model : {bmp, pngPath, jpgPath})
        DeleteFileW(model.c_str());
    return files;
}

// Message counts by hooks: what the main thread's windows receive (sent
// and posted, the program's own messages apart) and what the worker takes
// from its queue.
long MainAppMessages[0x20];
long MainOtherMessages;
long WorkerMessages[0x10];
double MainBusy;
double MainAppTime[0x20];     // inclusive, sent messages handled at the top
double DispatchedPaint, DispatchedOther;  // posted messages by DispatchMessage
int SentDepth;
double SentStart;

LRESULT CALLBACK CountSent(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (m->message >= WM_APP && m->message < WM_APP + 0x20)
            ++MainAppMessages[m->message - WM_APP];
        else
            ++MainOtherMessages;
        if (SentDepth++ == 0)
            SentStart = Now();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK TimeSent(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPRETSTRUCT* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (--SentDepth == 0 && m->message >= WM_APP && m->message < WM_APP + 0x20)
            MainAppTime[m->message - WM_APP] += Now() - SentStart;
        if (SentDepth < 0)
            SentDepth = 0;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountTaken(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* m = reinterpret_cast<const MSG*>(lParam);
        if (!m->hwnd && m->message >= WM_APP && m->message < WM_APP + 0x10)
            ++WorkerMessages[m->message - WM_APP];
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A ping-pong thread: each round one synchronous send to the main window
// and one thread message back, as one item of the worker's protocol costs
// twice.
struct PingPong {
    HWND window;
    int rounds;
};

DWORD WINAPI PingPongThread(void* param)
{
    PingPong* p = static_cast<PingPong*>(param);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    for (int i = 0; i < p->rounds; ++i) {
        SendMessageW(p->window, WM_NULL, 0, 0);
        PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
        GetMessageW(&msg, nullptr, 0, 0);
    }
    return 0;
}

// The cost of one send from a thread plus one post to a thread, each a
// round trip between the threads, in ms.
double RoundTripMs(HWND window, int rounds)
{
    PingPong p = {window, rounds};
    const double t = Now();
    HANDLE thread = CreateThread(nullptr, 0, PingPongThread, &p, 0, nullptr);
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT)
        HandleOne();
    CloseHandle(thread);
    return (Now() - t) * 1000 / rounds;
}

// The main thread's part of one thumbnail, in ms a picture: adding an
// 80 x 80 picture to an image list made for the listing's count (as the
// listing makes it: no growth), giving the image to an item, and the
// list's repaint.
struct StoreCost {
    double add, set, paint;
};

StoreCost StoreMs(HWND list, int items)
{
    static ThumbnailBlock thumb;
    StoreCost cost = {};
    HIMAGELIST images = ImageList_Create(kThumbnailSide, kThumbnailSide, ILC_COLOR24 | ILC_MASK, items + 3, 0);
    for (int i = 0; i < items; ++i) {
        const double t0 = Now();
        AddThumbnailImage(images, thumb.pixels);
        const double t1 = Now();
        SetListViewItemImage(list, i, Browser.imageIndex[0]);
        const double t2 = Now();
        UpdateWindow(list);
        const double t3 = Now();
        cost.add += t1 - t0;
        cost.set += t2 - t1;
        cost.paint += t3 - t2;
    }
    ImageList_Destroy(images);
    cost.add *= 1000.0 / items;
    cost.set *= 1000.0 / items;
    cost.paint *= 1000.0 / items;
    return cost;
}

// The processor time of every thread of the process so far, in seconds.
double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto seconds = [](const FILETIME& t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// HandleOne with the main thread's busy time added up.
void HandleOneCounted()
{
    MSG msg;
    const double t = Now();
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        const double d = Now();
        DispatchMessageW(&msg);
        (msg.message == WM_PAINT ? DispatchedPaint : DispatchedOther) += Now() - d;
        MainBusy += Now() - t;
    } else {
        MainBusy += Now() - t;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int pictureCount = argc > 1 ? _wtoi(argv[1]) : 1000;
    const int smallCount = argc > 2 ? _wtoi(argv[2]) : 10000;
    const std::wstring set = argc > 3 ? argv[3] : L"mixed";
    const bool counting = argc > 4 && std::wstring(argv[4]) == L"count";
    void (*handle)() = counting ? HandleOneCounted : HandleOne;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    // The folders, in a scratch folder of the temp directory.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"zize_browse_timing";
    const std::wstring pictures = root + L"\\pictures", small = root + L"\\small";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(pictures.c_str(), nullptr);
    CreateDirectoryW(small.c_str(), nullptr);
    const std::vector<std::wstring> files = MakePictures(FixturesDir(argv[0]), pictures, pictureCount, set);
    for (int i = 0; i < smallCount; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"\\s%05d.pi", i);
        CopyFileW((FixturesDir(argv[0]) + L"pi\\s04_dot_1x1_pi16.pi").c_str(), (small + name).c_str(), FALSE);
    }
    Gdiplus::GdiplusShutdown(token);

    // 1. The program on the folder of pictures, to the last thumbnail.
    const double cpu0 = ProcessCpuSeconds();
    const double start = Now();
    RegisterZizeClasses(GetModuleHandleW(nullptr));
    OleInitialize(nullptr);
    PrepareBrowserState();
    Settings settings = {};
    HWND window = CreateZizeWindow(settings);
    ItemIdListOwner folder(ILCreateFromPathW(pictures.c_str()));
    CreateMainChildren(&Browser, 288, folder.get());
    ShowWindow(window, SW_SHOWNORMAL);
    HHOOK sentHook = counting ? SetWindowsHookExW(WH_CALLWNDPROC, CountSent, nullptr, GetCurrentThreadId()) : nullptr;
    HHOOK sentRetHook =
        counting ? SetWindowsHookExW(WH_CALLWNDPROCRET, TimeSent, nullptr, GetCurrentThreadId()) : nullptr;
    HHOOK takenHook =
        counting ? SetWindowsHookExW(WH_GETMESSAGE, CountTaken, nullptr, Browser.workerThreadId) : nullptr;
    while (Browser.itemCount != static_cast<DWORD>(pictureCount))
        handle();
    const double listedPictures = Now() - start;
    while (!AnyThumbnail())
        handle();
    const double firstPicture = Now() - start;
    const double cpu1 = ProcessCpuSeconds();
    while (!AllTried())
        handle();
    const double browsed = Now() - start;
    const double cpu2 = ProcessCpuSeconds();
    if (sentHook)
        UnhookWindowsHookEx(sentHook);
    if (takenHook)
        UnhookWindowsHookEx(takenHook);
    if (sentRetHook)
        UnhookWindowsHookEx(sentRetHook);

    // The loading road alone over the same files.
    const double loadStart = Now();
    int loaded = 0;
    for (const std::wstring& path : files) {
        FileHandle file = FileOpenRead(path.c_str());
        ThumbnailBlock thumb;
        ImageInfo info;
        if (file != kInvalidFile && LoadImageThumbnail(path.c_str(), file, &thumb, &info,
                                                       static_cast<uint32_t>(FileSize(file))) == 0)
            ++loaded;
        FileClose(file);
    }
    const double loading = Now() - loadStart;

    // 2. The folder of small files: listed, then the first thumbnail.
    ItemIdListOwner smallList(ILCreateFromPathW(small.c_str()));
    HTREEITEM item = FindTreeItem(Browser.left.control, TVI_ROOT, smallList.get());
    const double selected = Now();
    TreeView_SelectItem(Browser.left.control, item);
    while (Browser.itemCount != static_cast<DWORD>(smallCount))
        HandleOne();
    // The list asks for the names it shows as it paints: listed means painted.
    UpdateWindow(Browser.right.control);
    const double listed = Now();
    while (!AnyThumbnail())
        HandleOne();
    const double first = Now();

    // 3. The shell says that the small folder changed as a whole: from the
    // change, queued as the pane queues it, to the list brought up to date.
    while (!AllTried())
        HandleOne();
    const double notified = Now();
    AppendChange(smallList.get(), nullptr, SHCNE_UPDATEDIR, ChangeFromList);
    PostToWorker(WT_CHANGES, 0, 0);
    for (;;) {
        HandleOne();
        SharedLockHolder lock;
        if (Browser.changeCount == 0)
            break;
    }
    const double updated = Now();

    std::printf("pictures: %d (%d load, %ls)\n", pictureCount, loaded, set.c_str());
    std::printf("start to listed: %.2f s, to first thumbnail: %.2f s\n", listedPictures, firstPicture);
    std::printf("start to last thumbnail: %.2f s (%.1f ms a picture)\n", browsed, browsed * 1000 / pictureCount);
    std::printf("LoadImageThumbnail alone: %.2f s (%.1f ms a picture)\n", loading, loading * 1000 / pictureCount);
    std::printf("browser / loading: %.2f\n", browsed / loading);
    std::printf("processor time of this process (all threads): %.2f s to the first thumbnail, %.2f s from there\n",
                cpu1 - cpu0, cpu2 - cpu1);
    std::printf("small files: %d\n", smallCount);
    std::printf("selection to every item listed: %.2f s\n", listed - selected);
    std::printf("listed to first thumbnail: %.3f s\n", first - listed);
    std::printf("a shell update of the whole folder applied: %.2f s\n", updated - notified);

    if (counting) {
        const StoreCost store = StoreMs(Browser.right.control, pictureCount);
        const double trip = RoundTripMs(window, pictureCount);
        std::printf("alone, ms a picture: image list add %.3f, item image %.3f, repaint %.3f; send + post %.3f\n",
                    store.add, store.set, store.paint, trip);
        std::printf("main thread busy to the last thumbnail: %.2f s (dispatched WM_PAINT %.2f s, other %.2f s)\n",
                    MainBusy, DispatchedPaint, DispatchedOther);
        std::printf("main thread, sent messages handled:");
        for (int m = 0; m < 0x20; ++m)
            if (MainAppTime[m] > 0)
                std::printf(" WM_APP+0x%02x %.2f s", m, MainAppTime[m]);
        std::printf("\n");
        std::printf("per picture, to the main thread:");
        for (int m = 0; m < 0x20; ++m)
            if (MainAppMessages[m])
                std::printf(" WM_APP+0x%02x %.2f", m, double(MainAppMessages[m]) / pictureCount);
        std::printf(" other %.2f\nper picture, taken by the worker:", double(MainOtherMessages) / pictureCount);
        for (int m = 0; m < 0x10; ++m)
            if (WorkerMessages[m])
                std::printf(" WM_APP+0x%02x %.2f", m, double(WorkerMessages[m]) / pictureCount);
        std::printf("\n");
    }

    SendMessageW(window, WM_CLOSE, 0, 0);
    RunMessageLoop();
    ReleaseBrowserState();
    OleUninitialize();
    return 0;
}
