// The archive window and its worker in this process: listing, sizing,
// thumbnails read back from the screen, status texts, opening members, and
// closing while the worker runs.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "arcwin/archive_layout.h"
#include "arcwin/archive_window.h"
#include "archive/lzh_directory.h"
#include "archive/lzh_extract.h"
#include "archive/zip_directory.h"
#include "archive/zip_extract.h"
#include "image/bmp.h"
#include "image/imaging_services_win.h"
#include "image/load_image_win.h"
#include "image/shared_lock_win.h"
#include "platform/memory_block.h"
#include "support/archive_members.h"
#include "support/fixtures.h"
#include "support/mag_encoder.h"
#include "support/windows_harness.h"
#include "support/zip_builder.h"
#include "ui/browser_state.h"
#include "ui/job_team.h"
#include "ui/message_table.h"
#include "viewer/open_path.h"

namespace {

const wchar_t* const ClassNames[] = {L"ZaVuvi", L"ZaraZaduz", L"RezaDiz", L"ZuzeDod"};
constexpr DWORD kWaitMs = 20000;

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps messages until done() holds or the time is up.
bool WaitFor(const std::function<bool()>& done, DWORD ms = kWaitMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    return true;
}

// The windows of a class that this process owns, with their titles.
std::vector<HWND> OwnWindows(const wchar_t* className)
{
    struct Search {
        const wchar_t* className;
        std::vector<HWND> found;
    } search = {className, {}};
    EnumWindows(
        [](HWND window, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && WindowClassName(window) == s->className)
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A 24-bit BMP file of a width x height picture made by colour(x, y).
std::vector<uint8_t> BmpFile(uint32_t width, uint32_t height, uint32_t seed)
{
    std::vector<uint8_t> file(kBmpHeaderSize);
    FillBmpHeader(width, height, file.data());
    const size_t stride = (3 * width + 3) & ~3u;
    for (uint32_t y = 0; y < height; ++y) {
        std::vector<uint8_t> row(stride, 0);
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                row[3 * x + c] = uint8_t((x * (c + 1) + y * (3 - c)) ^ seed);
        file.insert(file.end(), row.begin(), row.end());
    }
    return file;
}

ZipMember Member(const std::string& name, const std::vector<uint8_t>& data, uint16_t method = 8)
{
    ZipMember m;
    m.name = name;
    m.data = data;
    m.method = method;
    return m;
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The member's thumbnail as the decoding road gives it, or empty when the
// member is no picture: extracted, loaded from memory and scaled.
std::vector<uint8_t> ExpectedThumbnail(const std::wstring& path, bool lzh, uint32_t index)
{
    ArchiveReader reader;
    reader.file = FileOpenRead(path.c_str());
    std::vector<uint8_t> out;
    if ((lzh ? ReadLzhDirectory(&reader, reader.file, 0) : ReadZipDirectory(&reader, reader.file, 0)) == 0 &&
        index < reader.count && reader.entries[index].uncompressedSize > 16) {
        const ArchiveEntry& e = reader.entries[index];
        MemoryBlock block = MemoryBlockAlloc(e.uncompressedSize);
        uint8_t* bytes = MemoryBlockLock(block);
        int r = lzh ? ExtractLzhMember(&reader, index, bytes, 0, 0) : ExtractZipMember(&reader, index, bytes, 0, 0);
        MemoryBlockUnlock(block);
        DecodedImage image = {};
        if (r == 0 && LoadImageBlock(e.name, block, &image, 0) == 0) {
            ThumbnailBlock thumb;
            ScaleToThumbnail(&thumb, image.pixels, image.width, image.height,
                             static_cast<ptrdiff_t>(Stride24(image.width)));
            out.assign(thumb.pixels, thumb.pixels + kThumbnailBytes);
            ReleaseDecodedImage(&image);
        } else if (r != 0) {
            MemoryBlockFree(block);
        }
    }
    CloseArchive(&reader);
    return out;
}

class ArchiveWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        instance = GetModuleHandleW(nullptr);
        ResetBrowserState();
        Browser.instance = instance;
        InitSharedLock();
        ASSERT_TRUE(StartImagingServices());
        ASSERT_TRUE(RegisterZizeClasses(instance));
        allocations = LiveAllocations();
    }

    void TearDown() override
    {
        for (const wchar_t* name : {L"ZuzeDod", L"RezaDiz"})
            for (HWND window : OwnWindows(name))
                DestroyWindow(window);
        Pump();
        EXPECT_EQ(allocations, LiveAllocations()) << "memory blocks left after the windows closed";
        for (const wchar_t* name : ClassNames)
            UnregisterClassW(name, instance);
        StopImagingServices();
        DeleteSharedLock();
        ResetBrowserState();
    }

    // Opens path the way the file list does; returns its archive window.
    HWND Open(const std::wstring& path)
    {
        EXPECT_EQ(0, OpenPath(path.c_str()));
        Pump();
        for (HWND window : OwnWindows(L"ZuzeDod"))
            if (WindowTitle(window) == path)
                return window;
        return nullptr;
    }

    static ArchiveWindowState* State(HWND window) { return RecordOf<ArchiveWindowState>(window); }

    // Waits until the worker has made every thumbnail and ended.
    static bool WaitForThumbnails(HWND window, DWORD ms = kWaitMs)
    {
        return WaitFor([&] {
            ArchiveWindowState* s = State(window);
            DWORD code = 0;
            return s && s->thumbnailsDone &&
                   (!s->workerThread || (GetExitCodeThread(s->workerThread, &code) && code != STILL_ACTIVE));
        }, ms);
    }

    static int ItemImage(HWND list, int index)
    {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = index;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }

    static std::wstring StatusText(HWND window)
    {
        // Wine answers SB_GETTEXTW for part 255 with nothing; a simple bar
        // gives its one text for part 0.
        wchar_t text[512] = {};
        SendMessageW(State(window)->status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Selects exactly the given items with the mouse pointer on the first one's icon.
    static void Select(HWND list, std::initializer_list<int> items)
    {
        LVITEMW none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        if (items.size() > 0) {
            RECT icon = {LVIR_ICON, 0, 0, 0};
            SendMessageW(list, LVM_GETITEMRECT, *items.begin(), reinterpret_cast<LPARAM>(&icon));
            POINT p = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
            ClientToScreen(list, &p);
            SetCursorPos(p.x, p.y);
        }
        for (int i : items) {
            LVITEMW on = {};
            on.stateMask = LVIS_SELECTED;
            on.state = LVIS_SELECTED;
            SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&on));
        }
        Pump();
    }

    static void PressEnter(HWND list)
    {
        SendMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
        Pump();
    }

    static std::vector<std::wstring> ViewerTitles()
    {
        std::vector<std::wstring> titles;
        for (HWND w : OwnWindows(L"RezaDiz"))
            titles.push_back(WindowTitle(w));
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    // True when the screen shows thumb (80 x 80 blue, green, red) inside
    // item index's icon rectangle.
    static bool ScreenShowsThumbnail(HWND list, int index, const std::vector<uint8_t>& thumb)
    {
        // Unselected, on top, the pointer elsewhere; painting may lag a little.
        Select(list, {});
        SetCursorPos(0, 0);
        SetForegroundWindow(GetParent(list));
        SetWindowPos(GetParent(list), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return WaitFor([&] { return ScreenShowsThumbnailNow(list, index, thumb); }, 3000);
    }

    static bool ScreenShowsThumbnailNow(HWND list, int index, const std::vector<uint8_t>& thumb)
    {
        SendMessageW(list, LVM_ENSUREVISIBLE, index, FALSE);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
        GdiFlush();
        SIZE size = {};
        std::vector<uint32_t> screen = CaptureClient(list, &size);
        RECT icon = {LVIR_ICON, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&icon));
        for (LONG top = std::max(icon.top, 0L); top + 80 <= std::min(icon.bottom, size.cy); ++top)
            for (LONG left = std::max(icon.left, 0L); left + 80 <= std::min(icon.right, size.cx); ++left) {
                bool same = true;
                for (int y = 0; same && y < 80; ++y)
                    for (int x = 0; same && x < 80; ++x) {
                        const uint8_t* p = &thumb[(y * 80 + x) * 3];
                        uint32_t want = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                        same = screen[size_t(top + y) * size.cx + left + x] == want;
                    }
                if (same)
                    return true;
            }
        return false;
    }

    static std::wstring Artifact(const std::wstring& name)
    {
        std::wstring folder = WindowsPath(ZIZE_ARTIFACT_DIR);
        CreateDirectoryW(folder.c_str(), nullptr);
        return folder + L"\\" + name;
    }

    HINSTANCE instance = nullptr;
    long allocations = 0;
    TempDir dir;
};

ArchiveMetrics Metrics()
{
    ArchiveMetrics m = {};
    m.spacingX = 100;
    m.spacingY = 110;
    m.workWidth = 1024;
    m.workHeight = 740;
    m.frameWidth = 16;
    m.frameHeight = 39;
    m.vScrollWidth = 17;
    m.statusHeight = 22;
    return m;
}

TEST(ArchiveLayout, FiveIconsARowFiveRowsAtMostAndTheWorkAreaLimits)
{
    ArchiveMetrics m = Metrics();
    EXPECT_EQ(300u, ArchiveClientSize(3, m).width);
    EXPECT_EQ(110u, ArchiveClientSize(3, m).height);
    EXPECT_EQ(500u, ArchiveClientSize(7, m).width);
    EXPECT_EQ(220u, ArchiveClientSize(7, m).height);
    EXPECT_EQ(550u, ArchiveClientSize(25, m).height);
    EXPECT_EQ(550u, ArchiveClientSize(30, m).height);

    // The outer size: frame, 24 pixels, status bar, and a scroll bar from 26 on.
    EXPECT_EQ(300u + 16 + 24, ArchiveWindowSize(3, m).width);
    EXPECT_EQ(110u + 39 + 22, ArchiveWindowSize(3, m).height);
    EXPECT_EQ(500u + 16 + 24, ArchiveWindowSize(25, m).width);
    EXPECT_EQ(500u + 16 + 17 + 24, ArchiveWindowSize(30, m).width);
    EXPECT_EQ(550u + 39 + 22, ArchiveWindowSize(30, m).height);

    // A small work area limits the client area before the frame is added.
    m.workWidth = 250;
    m.workHeight = 200;
    EXPECT_EQ(250u, ArchiveClientSize(30, m).width);
    EXPECT_EQ(200u, ArchiveClientSize(30, m).height);
}

TEST_F(ArchiveWindowTest, WindowsAreSizedFromTheMemberCount)
{
    for (uint32_t n : {3u, 7u, 30u}) {
        std::vector<ZipMember> members;
        for (uint32_t i = 0; i < n; ++i)
            members.push_back(Member("m" + std::to_string(i) + ".txt", Bytes("text"), 0));
        std::wstring path = dir.Write(L"n" + std::to_wstring(n) + L".zip", BuildZip(members));
        HWND window = Open(path);
        ASSERT_NE(nullptr, window) << n;
        ArchiveWindowState* s = State(window);
        DWORD spacing = static_cast<DWORD>(SendMessageW(s->list, LVM_GETITEMSPACING, FALSE, 0));
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        RECT status = {}, outer = {};
        GetWindowRect(s->status, &status);
        GetWindowRect(window, &outer);
        const LONG columns = n < 5 ? LONG(n) : 5, rows = n < 5 ? 1 : n <= 25 ? LONG((n - 1) / 5 + 1) : 5;
        const LONG bar = n >= 26 ? GetSystemMetrics(SM_CXVSCROLL) : 0;
        EXPECT_EQ(columns * LOWORD(spacing) + (frame.right - frame.left) + bar + 24, outer.right - outer.left) << n;
        EXPECT_EQ(rows * HIWORD(spacing) + (frame.bottom - frame.top) + (status.bottom - status.top),
                  outer.bottom - outer.top)
            << n;
        EXPECT_EQ(n, ListViewItemTexts(s->list).size());
        ASSERT_TRUE(WaitForThumbnails(window));
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
    }
}

TEST_F(ArchiveWindowTest, OnlyPicturesGetThumbnailsAndTheStatusShowsThem)
{
    // A text file, a MAG, a nested ZIP, a 16-byte "BM" member and a BMP
    // under another extension.
    MagPicture mag = MakeMagPicture(false, 0, 0, 64, 40, MagPattern::Blocks, 7);
    std::vector<uint8_t> inner = BuildZip({Member("x.bmp", BmpFile(8, 8, 1))});
    std::vector<uint8_t> tiny = BmpFile(1, 1, 0);
    tiny.resize(16);
    std::wstring path = dir.Write(L"mixed.zip", BuildZip({Member("readme.txt", Bytes(std::string(300, 'a'))),
                                                          Member("a.mag", EncodeMag(mag)), Member("inner.zip", inner, 0),
                                                          Member("tiny.bmp", tiny, 0),
                                                          Member("picture.dat", BmpFile(33, 20, 5))}));
    HWND window = Open(path);
    ASSERT_NE(nullptr, window);
    ArchiveWindowState* s = State(window);
    EXPECT_EQ(GetFocus(), s->list);
    EXPECT_EQ((std::vector<std::wstring>{L"readme.txt", L"a.mag", L"inner.zip", L"tiny.bmp", L"picture.dat"}),
              ListViewItemTexts(s->list));

    ASSERT_TRUE(WaitForThumbnails(window));

    // The selected member is named whatever lies under the pointer (a
    // selection from the keyboard).
    Select(s->list, {});
    SetCursorPos(0, 0);
    LVITEMW on = {};
    on.stateMask = on.state = LVIS_SELECTED;
    SendMessageW(s->list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&on));
    EXPECT_EQ(L"a.mag : 64 x 40 4bit", StatusText(window));

    // Two thumbnails: the MAG and the BMP recognised by its signature.
    const bool made[] = {false, true, false, false, true};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(made[i], s->itemRecords[i].width != 0) << i;
        EXPECT_EQ(made[i], ItemImage(s->list, i) != s->fileIcon) << i;
        if (made[i]) {
            EXPECT_TRUE(ScreenShowsThumbnail(s->list, i, ExpectedThumbnail(path, false, i))) << i;
        }
    }
    SaveWindowPng(window, Artifact(L"archive_mixed.png"));

    // The status texts after the thumbnails.
    Select(s->list, {1});
    EXPECT_EQ(L"a.mag : 64 x 40 4bit", StatusText(window));
    Select(s->list, {0});
    EXPECT_EQ(L"1個選択", StatusText(window));
    Select(s->list, {0, 1, 4});
    EXPECT_EQ(L"3個選択", StatusText(window));
    Select(s->list, {});
    EXPECT_EQ(L"", StatusText(window));
}

// A member whose stored CRC-32 does not match still shows its picture; the
// status text says that its checksum does not match.
TEST_F(ArchiveWindowTest, AMemberWithAWrongChecksumIsShownAndTheStatusSaysSo)
{
    MagPicture mag = MakeMagPicture(false, 0, 0, 64, 40, MagPattern::Blocks, 7);
    ZipMember damaged = Member("bad.mag", EncodeMag(mag), 8);
    damaged.crc = 0x12345678;
    std::wstring path = dir.Write(L"crc.zip", BuildZip({damaged, Member("good.mag", EncodeMag(mag), 8)}));
    HWND window = Open(path);
    ASSERT_NE(nullptr, window);
    ArchiveWindowState* s = State(window);
    ASSERT_TRUE(WaitForThumbnails(window));
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(s->fileIcon, ItemImage(s->list, i)) << i;
    Select(s->list, {0});
    EXPECT_EQ(L"bad.mag : 64 x 40 4bit : チェックサムが一致しません", StatusText(window));
    Select(s->list, {1});
    EXPECT_EQ(L"good.mag : 64 x 40 4bit", StatusText(window));
}

TEST_F(ArchiveWindowTest, EnterOpensEverySelectedMemberWhileAndAfterThumbnailsAreMade)
{
    std::vector<ZipMember> members;
    for (int i = 0; i < 6; ++i)
        members.push_back(Member("p" + std::to_string(i) + ".bmp", BmpFile(300, 200, i)));
    std::wstring path = dir.Write(L"six.zip", BuildZip(members));
    HWND window = Open(path);
    ASSERT_NE(nullptr, window);
    ArchiveWindowState* s = State(window);

    // Asked of the worker while it still makes thumbnails (member 5 has not
    // been reached yet when the first thumbnail has hardly begun).
    Select(s->list, {0, 2, 5});
    PressEnter(s->list);
    ASSERT_TRUE(WaitFor([] { return OwnWindows(L"RezaDiz").size() == 3; }));
    EXPECT_EQ((std::vector<std::wstring>{L"p0.bmp", L"p2.bmp", L"p5.bmp"}), ViewerTitles());

    // Afterwards on the main thread; a text member opens nothing.
    ASSERT_TRUE(WaitForThumbnails(window));
    Select(s->list, {1, 3, 4});
    PressEnter(s->list);
    EXPECT_EQ(6u, OwnWindows(L"RezaDiz").size());
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
}

// A member asked of the worker just before it is told to finish is decoded
// there while the main thread decodes another: both come out whole.
TEST_F(ArchiveWindowTest, OpeningAsTheWorkerFinishesNeverSharesTheReader)
{
    REQUIRE_FIXTURES();
    std::vector<ZipMember> members;
    for (int i = 0; i < 4; ++i)
        members.push_back(Member("q" + std::to_string(i) + ".bmp", BmpFile(900, 700, 3 * i)));
    // The LZH fixture with its first member twice more at the end, so that
    // the last two members are -lh7- pictures.
    std::vector<uint8_t> lzh;
    ASSERT_TRUE(ReadFixture("archives/l06_lh7_lv2.lzh", &lzh));
    {
        ArchiveReader r;
        r.file = FileOpenMemory(lzh.data(), lzh.size());
        ASSERT_EQ(0, ReadLzhDirectory(&r, r.file, 0));
        const size_t first = static_cast<size_t>(r.entries[1].headerPosition);
        CloseArchive(&r);
        std::vector<uint8_t> member(lzh.begin(), lzh.begin() + first);
        lzh.pop_back();
        lzh.insert(lzh.end(), member.begin(), member.end());
        lzh.insert(lzh.end(), member.begin(), member.end());
        lzh.push_back(0);
    }
    std::vector<std::wstring> archives = {dir.Write(L"big.zip", BuildZip(members)), dir.Write(L"twice.lzh", lzh)};
    for (const std::wstring& path : archives) {
        HWND window = Open(path);
        ASSERT_NE(nullptr, window);
        ArchiveWindowState* s = State(window);
        const uint32_t n = s->reader.count;
        ASSERT_GE(n, 4u);

        // While the last thumbnail is being made, member 0 is asked of the
        // worker; as soon as the window has switched, member 1 is opened here.
        ASSERT_TRUE(WaitFor([&] { return s->itemRecords[n - 2].width != 0; }));
        Select(s->list, {0});
        PressEnter(s->list);
        MSG msg;
        while (!s->thumbnailsDone && GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        Select(s->list, {1});
        PressEnter(s->list);
        ASSERT_TRUE(WaitForThumbnails(window));
        Pump();

        // Each member that decodes has its viewer showing exactly its decoding.
        for (int index : {0, 1}) {
            const std::vector<uint8_t> expected = ExpectedThumbnail(path, s->kind == KindLzh, index);
            HWND viewer = nullptr;
            for (HWND w : OwnWindows(L"RezaDiz"))
                if (WindowTitle(w) == s->reader.entries[index].name)
                    viewer = w;
            ASSERT_EQ(expected.empty(), viewer == nullptr) << index;
            if (!viewer)
                continue;
            auto* image = RecordOf<ViewerImage>(viewer);
            ASSERT_NE(nullptr, image);
            ThumbnailBlock shown;
            ScaleToThumbnail(&shown, image->picture.pixels, image->picture.width, image->picture.height,
                             static_cast<ptrdiff_t>(Stride24(image->picture.width)));
            EXPECT_EQ(expected, std::vector<uint8_t>(shown.pixels, shown.pixels + kThumbnailBytes)) << index;
            DestroyWindow(viewer);
        }
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window));
    }
}

TEST_F(ArchiveWindowTest, ClosingWhileThumbnailsAreMadeWaitsForTheWorker)
{
    std::vector<ZipMember> members;
    for (int i = 0; i < 40; ++i)
        members.push_back(Member("c" + std::to_string(i) + ".bmp", BmpFile(640, 480, i)));
    std::wstring path = dir.Write(L"many.zip", BuildZip(members));
    HWND window = Open(path);
    ASSERT_NE(nullptr, window);
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), State(window)->workerThread, GetCurrentProcess(), &thread, 0,
                                FALSE, DUPLICATE_SAME_ACCESS));

    // The window stays until the worker answers, then goes with its thread.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(State(window)->thumbnailsDone);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kWaitMs));
    CloseHandle(thread);
}

TEST_F(ArchiveWindowTest, TheImagingLibraryStopsSafelyWhileAWorkerLoadsThroughIt)
{
    // As when the main window closes: the library stops while the worker
    // loads BMP members through it. The stop waits for the loads in
    // progress (at most the worker's batch, made or being made); every
    // later member fails and keeps the file icon.
    std::vector<ZipMember> members;
    for (int i = 0; i < 60; ++i)
        members.push_back(Member("g" + std::to_string(i) + ".bmp", BmpFile(320, 240, i)));
    std::wstring path = dir.Write(L"library.zip", BuildZip(members));
    HWND window = Open(path);
    ASSERT_NE(nullptr, window);
    ArchiveWindowState* s = State(window);
    ASSERT_TRUE(WaitFor([&] {
        Pump();
        return s->itemRecords[2].width != 0;
    }));
    StopImagingServices();
    const int madeAtStop = static_cast<int>(std::count_if(s->itemRecords, s->itemRecords + 60,
                                                          [](const ImageInfo& info) { return info.width != 0; }));
    ASSERT_TRUE(WaitForThumbnails(window));
    const int made = static_cast<int>(std::count_if(s->itemRecords, s->itemRecords + 60,
                                                    [](const ImageInfo& info) { return info.width != 0; }));
    EXPECT_LE(made, madeAtStop + int(JobBatchSize(JobThreadCount()))) << "members were loaded after the library stopped";
    EXPECT_LT(made, 60);
    EXPECT_EQ(s->fileIcon, ItemImage(s->list, 59));
    ASSERT_TRUE(StartImagingServices());  // for the teardown's own stop
}

// Every fixture archive lists its members by name; each member that
// decodes shows its scaled decoding, the others the file icon.
TEST_F(ArchiveWindowTest, FixtureArchivesShowTheirMembersThumbnails)
{
    REQUIRE_FIXTURES();
    std::map<std::string, uint32_t> counts;
    for (const ArchiveMemberRow& row : ReadArchiveMembers())
        ++counts[row.archive];
    ASSERT_FALSE(counts.empty());
    for (const auto& [archive, count] : counts) {
        const std::wstring path = FixturePath(archive);
        const bool lzh = archive.size() > 4 && archive.compare(archive.size() - 4, 4, ".lzh") == 0;
        HWND window = Open(path);
        ASSERT_NE(nullptr, window) << archive;
        ArchiveWindowState* s = State(window);
        ASSERT_EQ(count, s->reader.count) << archive;
        ASSERT_TRUE(WaitForThumbnails(window)) << archive;
        int thumbnails = 0;
        for (uint32_t i = 0; i < count; ++i) {
            std::vector<uint8_t> expected = ExpectedThumbnail(path, lzh, i);
            EXPECT_EQ(!expected.empty(), s->itemRecords[i].width != 0) << archive << " " << i;
            if (expected.empty()) {
                EXPECT_EQ(s->fileIcon, ItemImage(s->list, i)) << archive << " " << i;
                continue;
            }
            ++thumbnails;
            EXPECT_TRUE(ScreenShowsThumbnail(s->list, static_cast<int>(i), expected)) << archive << " " << i;
        }
        EXPECT_GT(thumbnails, 0) << archive;
        std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        SaveWindowPng(window, Artifact(L"archive_" + name + L".png"));
        SendMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(window)) << archive;
    }
}

// Damaged archives of every sort: nothing crashes or hangs, a window opens
// only for what lists members, and everything comes back after closing.
TEST_F(ArchiveWindowTest, DamagedArchivesOpenCleanlyOrNotAtAll)
{
    REQUIRE_FIXTURES();
    std::vector<std::pair<std::wstring, std::vector<uint8_t>>> files;
    for (const char* name : {"archives/z03_mixed_dirs_comment.zip", "archives/l06_lh7_lv2.lzh",
                             "archives/l02_lh5_lv0.lzh"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFixture(name, &bytes));
        const std::wstring ext = std::string(name).find(".lzh") != std::string::npos ? L".lzh" : L".zip";
        for (size_t cut : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 40, bytes.size() - 1})
            files.push_back({L"cut" + std::to_wstring(cut) + ext, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut)});
        // Every 97th byte flipped.
        std::vector<uint8_t> flipped = bytes;
        for (size_t i = 50; i < flipped.size(); i += 97)
            flipped[i] ^= 0x5A;
        files.push_back({L"flipped" + ext, flipped});
    }
    // A member claiming 4 GB, another with a size its data cannot give, a
    // name of 300 characters, bytes that are no Shift-JIS, and 65,535 empty members.
    ZipMember huge = Member("huge.bmp", BmpFile(40, 30, 2));
    std::vector<uint8_t> hugeZip = BuildZip({huge, Member("b.bmp", BmpFile(20, 20, 3))});
    const uint8_t centralSignature[] = {'P', 'K', 1, 2};
    const size_t central = std::search(hugeZip.begin(), hugeZip.end(), centralSignature, centralSignature + 4) - hugeZip.begin();
    ASSERT_LT(central + 28, hugeZip.size());
    std::fill(hugeZip.begin() + central + 24, hugeZip.begin() + central + 28, 0xFF);
    files.push_back({L"huge.zip", hugeZip});
    files.push_back({L"names.zip", BuildZip({Member(std::string(300, 'n') + ".bmp", BmpFile(9, 9, 1)),
                                             Member("\x81\xFF\xFE\x80.bmp", BmpFile(7, 7, 1))})});
    std::vector<ZipMember> empty(65535);
    for (size_t i = 0; i < empty.size(); ++i)
        empty[i].name = std::to_string(i);
    files.push_back({L"empty.zip", BuildZip(empty)});

    for (const auto& [name, bytes] : files) {
        const std::wstring path = dir.Write(name, bytes);
        HWND window = Open(path);
        if (window) {
            EXPECT_TRUE(WaitForThumbnails(window, 120000)) << std::string(name.begin(), name.end());
            SendMessageW(window, WM_CLOSE, 0, 0);
            EXPECT_FALSE(IsWindow(window));
        }
        EXPECT_TRUE(OwnWindows(L"ZuzeDod").empty());
    }
    EXPECT_EQ(allocations, LiveAllocations());
}

}  // namespace
