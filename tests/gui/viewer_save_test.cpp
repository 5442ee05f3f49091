// The zoom suffix of a viewer's title, the save name proposed from it, and
// saving through the file dialog into a BMP file.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "gui/viewer_test_support.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "viewer/viewer_window.h"

namespace {

uint32_t Pattern(uint32_t x, uint32_t y)
{
    return (x * 29 & 0xFF) << 16 | (y * 71 & 0xFF) << 8 | ((x ^ y) & 0xFF);
}

std::wstring Proposed(const wchar_t* title)
{
    wchar_t buffer[260] = {};
    wcscpy(buffer, title);
    ProposeSaveName(buffer);
    return buffer;
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

using ViewerTitle = ViewerWindowTest;

TEST_F(ViewerTitle, ZoomSuffixIsWrittenReplacedAndRemoved)
{
    HWND window = Open(MakeViewerImage(30, 20, Pattern), 0, L"C:\\a.mag");
    SetZoomTitle(window, 50);
    EXPECT_EQ(std::wstring(L"C:\\a.mag | 50%"), WindowTitle(window));
    SetZoomTitle(window, 75);
    EXPECT_EQ(std::wstring(L"C:\\a.mag | 75%"), WindowTitle(window));
    SetZoomTitle(window, 1234);
    EXPECT_EQ(std::wstring(L"C:\\a.mag | 1234%"), WindowTitle(window));
    SetZoomTitle(window, -1);
    EXPECT_EQ(std::wstring(L"C:\\a.mag"), WindowTitle(window));
    SetZoomTitle(window, -1);
    EXPECT_EQ(std::wstring(L"C:\\a.mag"), WindowTitle(window));

    // The suffix is found by the first "|", with or without a space before it.
    for (const wchar_t* title : {L"x | 5%", L"x| 5%"}) {
        SetWindowTextW(window, title);
        SetZoomTitle(window, -1);
        EXPECT_EQ(std::wstring(L"x"), WindowTitle(window)) << title;
    }
    SetWindowTextW(window, L"|");
    SetZoomTitle(window, 20);
    EXPECT_EQ(std::wstring(L"| 20%"), WindowTitle(window));
    SetZoomTitle(window, -1);
    EXPECT_EQ(std::wstring(L""), WindowTitle(window));
    SetZoomTitle(window, 20);
    EXPECT_EQ(std::wstring(L""), WindowTitle(window));

    // A title that fills the buffer is cut, never written past it.
    const std::wstring longTitle(258, L'n');
    SetWindowTextW(window, longTitle.c_str());
    SetZoomTitle(window, 100);
    EXPECT_EQ(longTitle + L" ", WindowTitle(window));
    SetZoomTitle(window, -1);
    EXPECT_EQ(longTitle + L" ", WindowTitle(window));
}

TEST(ViewerSaveName, IsTheFileNameBeforeTheZoomSuffix)
{
    EXPECT_EQ(std::wstring(L"a.mag"), Proposed(L"C:\\pics\\a.mag | 50%"));
    EXPECT_EQ(std::wstring(L"a.mag"), Proposed(L"C:\\pics\\a.mag"));
    EXPECT_EQ(std::wstring(L"写真.pi"), Proposed(L"Z:\\古い\\写真.pi | 100%"));
    EXPECT_EQ(std::wstring(L"member.png"), Proposed(L"dir/member.png | 7%"));
    EXPECT_EQ(std::wstring(L""), Proposed(L"|"));
    EXPECT_EQ(std::wstring(L""), Proposed(L"| 50%"));
    EXPECT_EQ(std::wstring(L""), Proposed(L""));
}

using ViewerSave = ViewerWindowTest;

TEST_F(ViewerSave, SKeyProposesTheNameAndWritesTheShownPictureAsTyped)
{
    TempDir dir;
    HWND window = Open(MakeViewerImage(120, 30, Pattern), 1, L"C:\\pics\\a.mag");
    PumpMessages();
    SendMessageW(window, WM_KEYDOWN, VK_LEFT, 0);  // the file holds the flipped picture

    // A name without ".bmp" is written as typed.
    const std::wstring path = dir.Path(L"saved");
    FileDialogAnswer answer(path, 10000);
    SendMessageW(window, WM_KEYDOWN, 'S', 0);
    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(std::wstring(L"a.mag"), answer.Proposed());

    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    const size_t stride = (3 * 120 + 3) & ~size_t(3);
    ASSERT_EQ(54 + stride * 30, bytes.size());
    EXPECT_EQ('B', bytes[0]);
    EXPECT_EQ('M', bytes[1]);
    int32_t height = 0;
    memcpy(&height, &bytes[22], 4);
    EXPECT_EQ(-30, height);
    for (uint32_t y = 0; y < 30; y += 7)
        for (uint32_t x = 0; x < 120; x += 13) {
            const uint8_t* p = &bytes[54 + y * stride + 3 * x];
            const uint32_t c = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
            ASSERT_EQ(Pattern(119 - x, y), c) << x << "," << y;
        }
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(ViewerSave, CancellingWritesNothing)
{
    TempDir dir;
    HWND window = Open(MakeViewerImage(120, 30, Pattern), 0, L"");
    FileDialogAnswer answer(L"", 10000);
    SendMessageW(window, WM_COMMAND, CommandSave, 0);
    ASSERT_TRUE(answer.Answered());
    EXPECT_EQ(std::wstring(L""), answer.Proposed());
    EXPECT_TRUE(IsWindow(window));
}

// A visible dialog-class window of this process other than except, waited
// for up to timeoutMs.
HWND WaitForOtherDialog(HWND except, DWORD timeoutMs)
{
    struct Search {
        HWND except;
        HWND found;
    } search = {except, nullptr};
    for (DWORD waited = 0; waited < timeoutMs && !search.found; waited += 20) {
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (window != s->except && process == GetCurrentProcessId() && IsWindowVisible(window) &&
                    WindowClassName(window) == L"#32770") {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(20);
    }
    return search.found;
}

TEST_F(ViewerSave, AChosenFileThatCannotBeCreatedShowsTheBoxWithThePathAsCaption)
{
    // The chosen file exists and is held open without sharing: the dialog
    // asks whether to replace it, and the writer then cannot create it.
    TempDir dir;
    const std::wstring path = dir.Write(L"held.bmp", std::vector<uint8_t>(10, 1));
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    HWND window = Open(MakeViewerImage(120, 30, Pattern), 0);
    MessageBoxSeen seen;
    bool answered = false;
    bool replaced = false;
    std::thread driver([&] {
        FileDialogAnswer answer(path, 10000);
        answered = answer.Answered();
        if (HWND prompt = WaitForOtherDialog(answer.Dialog(), 10000)) {
            PostMessageW(prompt, WM_COMMAND, IDYES, 0);
            replaced = true;
        }
        for (int i = 0; i < 200 && IsWindow(answer.Dialog()); ++i)
            Sleep(20);
        seen = CloseMessageBox(GetCurrentProcessId(), 10000);
    });
    SendMessageW(window, WM_KEYDOWN, 'S', 0);
    driver.join();
    CloseHandle(held);
    ASSERT_TRUE(answered);
    EXPECT_TRUE(replaced);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(path, seen.caption);
    EXPECT_NE(std::wstring::npos, seen.text.find(L"保存出来ませんでした."));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(10u, ReadWholeFile(path).size());
}

TEST_F(ViewerSave, AFileThatCannotBeWrittenShowsTheBoxWithThePathAsCaption)
{
    TempDir dir;
    HWND window = Open(MakeViewerImage(120, 30, Pattern), 0);
    const std::wstring path = dir.Path(L"missing\\folder\\x.bmp");
    MessageBoxCloser closer(10000);
    EXPECT_NE(0, SaveViewerPicture(window, path.c_str()));
    const MessageBoxSeen seen = closer.Result();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(path, seen.caption);
    EXPECT_NE(std::wstring::npos, seen.text.find(L"保存出来ませんでした."));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(Pattern(5, 5), PixelAt(ViewerOf(window)->picture, 5, 5));
}

}  // namespace
