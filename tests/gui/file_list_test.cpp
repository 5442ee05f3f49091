// The file list of the main window: the selection on the status bar,
// opening items, the browser's keys and the shell changes applied to a
// listed folder with the item states and the worker's save area in step.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/browser_keys.h"
#include "app/startup.h"
#include "browser/change_queue.h"
#include "browser/file_list.h"
#include "browser/folder_tree.h"
#include "browser/pane_window.h"
#include "gui/file_list_support.h"
#include "gui/viewer_test_support.h"
#include "support/fixtures.h"
#include "support/windows_harness.h"
#include "ui/browser_state.h"
#include "ui/item_states.h"
#include "ui/messages.h"
#include "ui/owners.h"
#include "viewer/viewer_window.h"

namespace {

using file_list_support::FileList;

TEST_F(FileList, TheStatusBarShowsTheSelection)
{
    const int picture = IndexOf(L"red.tga");
    ASSERT_GE(picture, 0);
    Select({picture});
    EXPECT_EQ(L"red.tga : 64 x 40 24bit", StatusText());
    Select({});
    EXPECT_EQ(L"", StatusText());
    Select({IndexOf(L"note.txt")});
    EXPECT_EQ(L"1個選択", StatusText());
    Select({0, 1, 2});
    EXPECT_EQ(L"3個選択", StatusText());
}

TEST_F(FileList, EnterOpensPicturesAndFoldersAndBackspaceGoesUpButNotPastTheDesktopsChildren)
{
    // Enter on a picture opens its viewer; on a text file nothing opens.
    Select({IndexOf(L"red.tga"), IndexOf(L"note.txt")});
    TypeKey(VK_RETURN);
    HWND viewer = FindWindowW(L"RezaDiz", red.c_str());
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(64u, ViewerOf(viewer)->picture.width);
    DestroyWindow(viewer);
    EXPECT_EQ(nullptr, FindWindowW(L"RezaDiz", nullptr));

    // With the option to open other files the shell is asked to open the
    // text file; Wine's prefix knows no program for it and says so in a box.
    Browser.flags |= OpenAnyFile;
    Select({IndexOf(L"note.txt")});
    MessageBoxCloser closer(20000);
    TypeKey(VK_RETURN);
    EXPECT_TRUE(closer.Result().found) << "the shell was not asked to open the text file";
    Browser.flags &= ~OpenAnyFile;

    // Enter on a folder selects it in the tree, below the listed folder.
    HTREEITEM pics = TreeView_GetSelection(tree);
    Select({IndexOf(L"sub")});
    TypeKey(VK_RETURN);
    HTREEITEM sub = TreeView_GetSelection(tree);
    ASSERT_NE(pics, sub);
    EXPECT_EQ(pics, TreeView_GetParent(tree, sub));
    ASSERT_NE(nullptr, TreeRecordOf(tree, sub));
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(TreeRecordOf(tree, sub)->absolute, path);
    EXPECT_EQ(0, lstrcmpiW((root + L"pics\\sub").c_str(), path));

    // Backspace lists the parent of the listed folder.
    Browser.selectedTreeItem = sub;
    TypeKey(VK_BACK);
    EXPECT_EQ(pics, TreeView_GetSelection(tree));

    // From a child of the desktop nothing happens.
    HTREEITEM top = TreeView_GetChild(tree, TreeView_GetRoot(tree));
    ASSERT_NE(nullptr, top);
    TreeView_SelectItem(tree, top);
    Browser.selectedTreeItem = top;
    TypeKey(VK_BACK);
    EXPECT_EQ(top, TreeView_GetSelection(tree));
}

TEST_F(FileList, ADoubleClickOpensTheItemUnderThePointerAndF5ListsTheFolderAgain)
{
    // The pointer on the picture's icon, then the list's double click.
    const int picture = IndexOf(L"red.tga");
    RECT icon = {LVIR_ICON, 0, 0, 0};
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, picture, reinterpret_cast<LPARAM>(&icon)));
    POINT at = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    const POINT client = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    HWND viewer = FindWindowW(L"RezaDiz", red.c_str());
    EXPECT_NE(nullptr, viewer);
    DestroyWindow(viewer);

    // A file made by another program is not announced under Wine: F5 shows it.
    dir.Write(L"pics\\outside.tga", TgaFile(4, 4, [](uint32_t, uint32_t) { return 0u; }));
    TypeKey(VK_F5);
    WaitForListing(5);
    EXPECT_GE(IndexOf(L"outside.tga"), 0);
}

TEST_F(FileList, ShellChangesKeepTheItemStatesAndTheWorkersScanInStep)
{
    const std::vector<std::wstring> before = Names();
    ASSERT_EQ(4u, before.size());
    for (DWORD i = 0; i < Browser.itemCount; ++i)
        Browser.itemStates[i] = static_cast<uint8_t>(10 + i);
    WorkerSaveArea save = {4, 2};

    // A new file is appended with state 0; the worker counts it.
    const std::wstring added = dir.Write(L"pics\\new.tga", TgaFile(4, 4, [](uint32_t, uint32_t) { return 0u; }));
    Apply(SHCNE_CREATE, ListOf(added).get(), nullptr, &save);
    EXPECT_EQ(L"new.tga", Names().back());
    ASSERT_EQ(5u, Browser.itemCount);
    EXPECT_EQ(0, Browser.itemStates[4]);
    EXPECT_EQ(5u, save.itemCount);

    // Deleting an item below the scan position moves the scan down with it.
    ItemIdListOwner redList = ListOf(red);
    DeleteFileW(red.c_str());
    const int redIndex = IndexOf(L"red.tga");
    ASSERT_GE(redIndex, 0);
    save.currentIndex = redIndex + 1;
    const uint8_t after = Browser.itemStates[redIndex + 1];
    Apply(SHCNE_DELETE, redList.get(), nullptr, &save);
    EXPECT_EQ(-1, IndexOf(L"red.tga"));
    EXPECT_EQ(4u, Browser.itemCount);
    EXPECT_EQ(after, Browser.itemStates[redIndex]);
    EXPECT_EQ(4u, save.itemCount);
    EXPECT_EQ(redIndex, save.currentIndex);

    // A rename changes the text in place; an update asks for a new thumbnail.
    const std::wstring renamed = root + L"pics\\renamed.tga";
    ItemIdListOwner addedList = ListOf(added);
    ASSERT_TRUE(MoveFileW(added.c_str(), renamed.c_str()));
    Apply(SHCNE_RENAMEITEM, addedList.get(), ListOf(renamed).get(), &save);
    const int index = IndexOf(L"renamed.tga");
    ASSERT_EQ(3, index);
    Browser.itemStates[index] = 2;
    Apply(SHCNE_UPDATEITEM, ListOf(renamed).get(), nullptr, &save);
    EXPECT_EQ(0, Browser.itemStates[index]);

    // Changes elsewhere leave the list alone; a repeated creation lists
    // nothing twice.
    const std::wstring elsewhere = dir.Write(L"other.tga", TgaFile(4, 4, [](uint32_t, uint32_t) { return 0u; }));
    Apply(SHCNE_CREATE, ListOf(elsewhere).get(), nullptr, &save);
    EXPECT_EQ(4u, Browser.itemCount);
    Apply(SHCNE_CREATE, ListOf(renamed).get(), nullptr, &save);
    EXPECT_EQ(4u, Browser.itemCount);
    EXPECT_EQ(4u, save.itemCount);

    // A file moved out of the folder leaves the list, one moved in appears.
    const std::wstring movedOut = root + L"moved.tga";
    ItemIdListOwner renamedList = ListOf(renamed);
    ASSERT_TRUE(MoveFileW(renamed.c_str(), movedOut.c_str()));
    Apply(SHCNE_RENAMEITEM, renamedList.get(), ListOf(movedOut).get(), &save);
    EXPECT_EQ(-1, IndexOf(L"renamed.tga"));
    EXPECT_EQ(-1, IndexOf(L"moved.tga"));
    EXPECT_EQ(3u, Browser.itemCount);
    const std::wstring movedIn = root + L"pics\\in.tga";
    ItemIdListOwner elsewhereList = ListOf(elsewhere);
    ASSERT_TRUE(MoveFileW(elsewhere.c_str(), movedIn.c_str()));
    Apply(SHCNE_RENAMEITEM, elsewhereList.get(), ListOf(movedIn).get(), &save);
    EXPECT_EQ(L"in.tga", Names().back());
    EXPECT_EQ(4u, Browser.itemCount);
    EXPECT_EQ(ItemUntried, Browser.itemStates[3]);

    // The whole list brought up to date: gone items deleted, new ones
    // appended; the others, a rewritten one too, keep their places.
    std::vector<std::wstring> expected = Names();
    expected.erase(std::find(expected.begin(), expected.end(), L"z.tga"));
    expected.push_back(L"late.tga");
    DeleteFileW((root + L"pics\\z.tga").c_str());
    dir.Write(L"pics\\late.tga", TgaFile(4, 4, [](uint32_t, uint32_t) { return 0u; }));
    dir.Write(L"pics\\in.tga", TgaFile(40, 40, [](uint32_t, uint32_t) { return 0u; }));
    Apply(SHCNE_UPDATEDIR, ListOf(root + L"pics").get(), nullptr, &save);
    EXPECT_EQ(expected, Names());
    EXPECT_EQ(Names().size(), Browser.itemCount);
    EXPECT_EQ(Browser.itemCount, save.itemCount);
    EXPECT_EQ(0, Browser.itemStates[Browser.itemCount - 1]);

    // The listed folder removed: the tree moves to its parent.
    HTREEITEM pics = TreeView_GetSelection(tree);
    Apply(SHCNE_RMDIR, ListOf(root + L"pics").get(), nullptr, &save);
    EXPECT_EQ(TreeView_GetParent(tree, pics), TreeView_GetSelection(tree));
}

}  // namespace

namespace {

// The file-system path of list item index, or nothing.
std::wstring ItemPath(HWND list, int index)
{
    const ListItemRecord* record = ListRecordOf(list, index);
    wchar_t path[MAX_PATH] = {};
    if (!record || !SHGetPathFromIDListW(record->absolute, path))
        return L"";
    return path;
}

}  // namespace

TEST_F(FileList, TheListedFolderRenamedOrRemovedByTheShellLeavesEveryActionWorking)
{
    // The listed folder and then its parent renamed, as the shell announces
    // it: the tree follows and the folder is listed again under its new
    // path, so that its pictures open from there.
    const std::wstring top = root.substr(0, root.size() - 1);
    struct Step {
        std::wstring from, to, listed;
    };
    const Step steps[] = {{root + L"pics", root + L"renamed", root + L"renamed"},
                          {top, top + L"-moved", top + L"-moved\\renamed"}};
    std::wstring listed;
    for (const Step& step : steps) {
        ASSERT_TRUE(MoveFileW(step.from.c_str(), step.to.c_str()));
        SHChangeNotify(SHCNE_RENAMEFOLDER, SHCNF_PATHW | SHCNF_FLUSH, step.from.c_str(), step.to.c_str());
        listed = step.listed;
        EXPECT_TRUE(PumpUntil([&] {
            const ListItemRecord* record = ListRecordOf(list, IndexOf(L"red.tga"));
            return Browser.selectedTreeItem == TreeView_GetSelection(tree) && record && record->width != 0 &&
                   ItemPath(list, IndexOf(L"red.tga")) == listed + L"\\red.tga";
        })) << "the list did not follow the rename";
        Select({IndexOf(L"red.tga")});
        EXPECT_EQ(L"red.tga : 64 x 40 24bit", StatusText());
        TypeKey(VK_RETURN);
        HWND viewer = FindWindowW(L"RezaDiz", (listed + L"\\red.tga").c_str());
        EXPECT_NE(nullptr, viewer);
        if (viewer)
            DestroyWindow(viewer);
    }

    // The listed folder removed: the list shows its parent, and keys on
    // the old selection change nothing and break nothing.
    HTREEITEM moved = TreeView_GetSelection(tree);
    Select({IndexOf(L"note.txt")});
    for (const wchar_t* name : {L"red.tga", L"z.tga", L"note.txt"})
        ASSERT_TRUE(DeleteFileW((listed + L"\\" + name).c_str()));
    ASSERT_TRUE(RemoveDirectoryW((listed + L"\\sub").c_str()));
    ASSERT_TRUE(RemoveDirectoryW(listed.c_str()));
    SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHW | SHCNF_FLUSH, listed.c_str(), nullptr);
    TypeKey(VK_RETURN);
    TypeKey(VK_F2);
    SendMessageW(list, LVM_CANCELEDITLABEL, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return TreeView_GetSelection(tree) != moved; }));
    EXPECT_EQ(nullptr, FindWindowW(L"RezaDiz", nullptr));
    MoveFileW((top + L"-moved").c_str(), top.c_str());  // for the test folder's removal
}

TEST_F(FileList, AHandedOverFileThatTheListDoesNotShowYetStillOpens)
{
    // Made after the listing, without a notification (another program).
    const std::wstring late = dir.Write(L"pics\\late.tga", TgaFile(12, 9, [](uint32_t, uint32_t) { return 0xFFu; }));
    ASSERT_EQ(-1, IndexOf(L"late.tga"));
    std::wstring path = late;
    COPYDATASTRUCT data = {COPYDATA_PENDING_PATH, static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)), &path[0]};
    SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    PumpMessages();
    HWND viewer = FindWindowW(L"RezaDiz", late.c_str());
    ASSERT_NE(nullptr, viewer);
    EXPECT_EQ(12u, ViewerOf(viewer)->picture.width);
    EXPECT_EQ(L'\0', PendingPath[0]);
}
