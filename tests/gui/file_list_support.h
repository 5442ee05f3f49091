// A main window in this process on a folder of the test, shared by the
// tests of the file list and of the file operations: a sub-folder "sub",
// two pictures "red.tga" (64 x 40) and "z.tga" and a text file "note.txt",
// listed with every thumbnail made.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "browser/change_queue.h"
#include "browser/pane_window.h"
#include "gui/browser_test_support.h"
#include "gui/viewer_test_support.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "ui/browser_state.h"
#include "ui/owners.h"

namespace file_list_support {

class FileList : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.Path(L"");
        if (root.back() != L'\\')
            root += L'\\';
        ASSERT_TRUE(StartTestBrowser(root));

        CreateDirectoryW((root + L"pics").c_str(), nullptr);
        CreateDirectoryW((root + L"pics\\sub").c_str(), nullptr);
        red = dir.Write(L"pics\\red.tga", TgaFile(64, 40, [](uint32_t, uint32_t) { return 0xFF0000u; }));
        dir.Write(L"pics\\note.txt", std::vector<uint8_t>(10, 'x'));
        dir.Write(L"pics\\z.tga", TgaFile(8, 8, [](uint32_t, uint32_t) { return 0x00FF00u; }));

        Settings settings = {};
        window = CreateZizeWindow(settings);
        ASSERT_NE(nullptr, window);
        ItemIdListOwner start(ILCreateFromPathW((root + L"pics").c_str()));
        CreateMainChildren(&Browser, 200, start.get());
        ShowWindow(window, SW_SHOWNORMAL);
        PumpMessages();
        list = Browser.right.control;
        tree = Browser.left.control;
        ASSERT_NE(nullptr, TreeView_GetSelection(tree));
        WaitForListing(4);
    }
    void TearDown() override
    {
        for (HWND viewer; (viewer = FindWindowW(L"RezaDiz", nullptr)) != nullptr;)
            DestroyWindow(viewer);
        EndTestBrowser(window);
    }

    // The worker lists the selected folder and makes every thumbnail; then
    // it is idle and the test may change the list as the main window does
    // between two files.
    void WaitForListing(size_t items)
    {
        for (int i = 0; i < 1000; ++i) {
            PumpMessages();
            bool done = Browser.selectedTreeItem == TreeView_GetSelection(tree) && Browser.itemCount == items;
            for (DWORD k = 0; done && k < Browser.itemCount; ++k)
                done = Browser.itemStates[k] != 0;
            if (done)
                return;
            Sleep(10);
        }
        FAIL() << "the folder was not listed with its thumbnails";
    }
    std::vector<std::wstring> Names() const { return ListViewItemTexts(list); }
    // Pumps messages until done() holds; false after ten seconds.
    template <typename Done>
    static bool PumpUntil(Done done)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10)) {
            PumpMessages();
            if (done())
                return true;
        }
        return false;
    }
    // A key pressed in the file list, as the keyboard delivers it.
    void TypeKey(UINT key) const
    {
        SendMessageW(list, WM_KEYDOWN, key, 0);
        SendMessageW(list, WM_KEYUP, key, 0);
    }
    int IndexOf(const std::wstring& name) const
    {
        const std::vector<std::wstring> names = Names();
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] == name)
                return static_cast<int>(i);
        return -1;
    }
    void Select(const std::vector<int>& items)
    {
        LVITEMW none = {};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
        for (int i : items) {
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_SELECTED;
            SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
        }
    }
    std::wstring StatusText() const
    {
        // A bar in simple mode gives its one text as its first part.
        wchar_t text[400] = {};
        SendMessageW(Browser.statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Applies one change of the list's registration as the main window does.
    static void Apply(LONG event, LPCITEMIDLIST first, LPCITEMIDLIST second, WorkerSaveArea* save)
    {
        ASSERT_TRUE(AppendChange(first, second, event, ChangeFromList));
        ApplyChanges(save);
    }
    static ItemIdListOwner ListOf(const std::wstring& path) { return ItemIdListOwner(ILCreateFromPathW(path.c_str())); }

    TempDir dir;
    std::wstring root;
    std::wstring red;
    HWND window = nullptr;
    HWND list = nullptr;
    HWND tree = nullptr;
};

}  // namespace file_list_support
