// The test harness's own helpers that later end-to-end tests lean on.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/windows_harness.h"

namespace {

TEST(Harness, ReadsTheItemTextsOfAListView)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_ICON, 0, 0, 200, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, list);
    const wchar_t* names[] = {L"猫.jpg", L"sub", L"archive.lzh"};
    for (int i = 0; i < 3; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<wchar_t*>(names[i]);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"猫.jpg", L"sub", L"archive.lzh"}), ListViewItemTexts(list));
    DestroyWindow(list);
}

std::vector<UINT> keysSeen;

LRESULT CALLBACK RecordKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        keysSeen.push_back(static_cast<UINT>(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Harness, PressKeyDeliversTheKeyToTheWindow)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordKeys;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZizeTestKeys";
    ASSERT_TRUE(RegisterClassExW(&wc));
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"keys", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    keysSeen.clear();
    PressKey(window, VK_F5);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(std::vector<UINT>{VK_F5}, keysSeen);
    DestroyWindow(window);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

}  // namespace
