// The folder tree of the main window: the shell's folders from the desktop
// down, filled as they are expanded, the start folder found and selected,
// and the tree following new, removed and renamed folders. Under Wine the
// shell's notifications reach only recursive registrations of this
// process, so the changes are announced from here with SHChangeNotify.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "browser/change_queue.h"
#include "browser/folder_tree.h"
#include "browser/pane_window.h"
#include "browser/shell_names.h"
#include "gui/viewer_test_support.h"
#include "gui/browser_test_support.h"
#include "support/fixtures.h"
#include "ui/browser_state.h"
#include "ui/messages.h"
#include "ui/owners.h"

namespace {


std::wstring TextOf(HWND tree, HTREEITEM item)
{
    wchar_t text[300] = {};
    TVITEMW read = {};
    read.mask = TVIF_HANDLE | TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = 300;
    TreeView_GetItem(tree, &read);
    return text;
}

int ChildrenCount(HWND tree, HTREEITEM item)
{
    TVITEMW read = {};
    read.mask = TVIF_HANDLE | TVIF_CHILDREN;
    read.hItem = item;
    TreeView_GetItem(tree, &read);
    return read.cChildren;
}

std::vector<HTREEITEM> Children(HWND tree, HTREEITEM item)
{
    std::vector<HTREEITEM> children;
    for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child))
        children.push_back(child);
    return children;
}

std::vector<std::wstring> ChildTexts(HWND tree, HTREEITEM item)
{
    std::vector<std::wstring> texts;
    for (HTREEITEM child : Children(tree, item))
        texts.push_back(TextOf(tree, child));
    return texts;
}

// The names that a folder's enumeration gives, in its own order.
std::vector<std::wstring> EnumeratedNames(IShellFolder* folder)
{
    std::vector<std::wstring> names;
    ComPtr<IEnumIDList> children;
    if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, children.receive()) != S_OK)
        return names;
    ItemIdListOwner child;
    ULONG fetched = 0;
    while (children->Next(1, child.receive(), &fetched) == S_OK) {
        wchar_t text[ShellNameCapacity] = {};
        ShellDisplayName(folder, child.get(), SHGDN_NORMAL, text, ShellNameCapacity);
        names.push_back(text);
    }
    return names;
}

class FolderTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The settings file goes to the test's folder too.
        ASSERT_TRUE(StartTestBrowser(dir.Path(L"")));
        root = dir.Path(L"tree");
        ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));

        Settings settings = {};
        window = CreateZizeWindow(settings);
        ASSERT_NE(nullptr, window);
        CreateMainChildren(&Browser, 200);
        tree = Browser.left.control;
        ASSERT_NE(nullptr, tree);
        // The tests set the tree up themselves, each with its own start.
        TreeView_DeleteAllItems(tree);
    }
    void TearDown() override
    {
        EndTestBrowser(window);
    }
    std::wstring Make(const std::wstring& relative)
    {
        const std::wstring path = root + L"\\" + relative;
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        return path;
    }
    static ItemIdListOwner ListOf(const std::wstring& path) { return ItemIdListOwner(ILCreateFromPathW(path.c_str())); }
    HTREEITEM Loaded(const std::wstring& path)
    {
        ItemIdListOwner list = ListOf(path);
        return list ? FindLoadedTreeItem(tree, TVI_ROOT, list.get()) : nullptr;
    }
    HTREEITEM Find(const std::wstring& path)
    {
        ItemIdListOwner list = ListOf(path);
        return list ? FindTreeItem(tree, TVI_ROOT, list.get()) : nullptr;
    }
    // Announces a change as the shell does, waits for the left pane to queue
    // it and applies the queue as the worker's pause would.
    void Announce(LONG event, const std::wstring& path, const std::wstring& second = L"")
    {
        SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), second.empty() ? nullptr : second.c_str());
        for (int i = 0; i < 500 && Browser.changeCount == 0; ++i) {
            PumpMessages();
            Sleep(10);
        }
        ASSERT_NE(0u, Browser.changeCount) << "the change did not reach the queue";
        WorkerSaveArea save = {};
        ApplyChanges(&save);
    }

    TempDir dir;
    std::wstring root;
    HWND window = nullptr;
    HWND tree = nullptr;
};

TEST_F(FolderTree, TheStartFolderIsSelectedAndFoldersShowOnlyTheirSubFoldersInTheShellsOrder)
{
    for (const wchar_t* name : {L"ab", L"a-c", L"a_d", L"b1", L"B~", L"x.zip", L"deep", L"deep\\leaf"})
        Make(name);
    const std::wstring hidden = Make(L"hidden");
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    dir.Write(L"tree\\photos.zip", {0x50, 0x4B, 5, 6});
    dir.Write(L"tree\\OLD.LZH", {0});
    const std::wstring leafPath = root + L"\\deep\\leaf";

    ItemIdListOwner start = ListOf(leafPath);
    ASSERT_TRUE(start);
    HTREEITEM leaf = InitFolderTree(tree, window, start.get());
    ASSERT_NE(nullptr, leaf);
    EXPECT_EQ(L"leaf", TextOf(tree, leaf));
    EXPECT_TRUE(ILIsEqual(start.get(), TreeRecordOf(tree, leaf)->absolute));
    EXPECT_NE(nullptr, TreeView_GetImageList(tree, TVSIL_NORMAL));
    EXPECT_NE(NoChangeRegistration, Browser.changeRegistration[1]);

    // Every folder on the way is expanded, up to the desktop at the root.
    HTREEITEM item = TreeView_GetParent(tree, leaf);
    for (; TreeView_GetParent(tree, item); item = TreeView_GetParent(tree, item))
        EXPECT_TRUE(TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) << TextOf(tree, item).size();
    EXPECT_EQ(TreeView_GetRoot(tree), item);
    EXPECT_EQ(nullptr, TreeView_GetNextSibling(tree, item));

    // Folders show the shell's small icons, closed and open.
    for (HTREEITEM shown : {leaf, item}) {
        TVITEMW images = {};
        images.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        images.hItem = shown;
        ASSERT_TRUE(TreeView_GetItem(tree, &images));
        const auto* absolute = reinterpret_cast<LPCWSTR>(TreeRecordOf(tree, shown)->absolute);
        SHFILEINFOW closed = {}, open = {};
        constexpr UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
        SHGetFileInfoW(absolute, 0, &closed, sizeof closed, flags);
        SHGetFileInfoW(absolute, 0, &open, sizeof open, flags | SHGFI_OPENICON);
        EXPECT_EQ(closed.iIcon, images.iImage);
        EXPECT_EQ(open.iIcon, images.iSelectedImage);
    }

    // Sub-folders only: no archives, not even a folder named like one, and
    // nothing hidden; sorted by the folder's own comparison, which here
    // differs from the order of its enumeration.
    HTREEITEM folder = Loaded(root);
    ASSERT_NE(nullptr, folder);
    const std::vector<std::wstring> texts = ChildTexts(tree, folder);
    EXPECT_EQ(6u, texts.size());
    for (const wchar_t* name : {L"ab", L"a-c", L"a_d", L"b1", L"B~", L"deep"})
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), name));
    IShellFolder* shell = TreeRecordOf(tree, folder)->folder;
    ASSERT_NE(EnumeratedNames(shell), texts) << "the enumeration is sorted already; the test proves nothing";
    const std::vector<HTREEITEM> children = Children(tree, folder);
    for (size_t i = 1; i < children.size(); ++i) {
        const HRESULT order =
            shell->CompareIDs(0, TreeRecordOf(tree, children[i - 1])->relative, TreeRecordOf(tree, children[i])->relative);
        EXPECT_LT(short(HRESULT_CODE(order)), 1) << "children " << i - 1 << " and " << i;
    }

    // A folder with a button loses it when it turns out to be empty.
    EXPECT_EQ(1, ChildrenCount(tree, leaf));
    TreeView_Expand(tree, leaf, TVE_EXPAND);
    EXPECT_EQ(0, ChildrenCount(tree, leaf));
    EXPECT_EQ(nullptr, TreeView_GetChild(tree, leaf));

    // Finding expands on the way; the loaded search does not.
    Make(L"ab\\inner");
    EXPECT_EQ(nullptr, Loaded(root + L"\\ab\\inner"));
    HTREEITEM inner = Find(root + L"\\ab\\inner");
    ASSERT_NE(nullptr, inner);
    EXPECT_EQ(L"inner", TextOf(tree, inner));
    EXPECT_EQ(inner, Loaded(root + L"\\ab\\inner"));
    EXPECT_EQ(leaf, Find(leafPath));

    // Selecting a folder asks the worker to list it: record and item.
    const DWORD worker = Browser.workerThreadId;
    Browser.workerThreadId = GetCurrentThreadId();
    TreeView_SelectItem(tree, inner);
    Browser.workerThreadId = worker;
    MSG posted = {};
    ASSERT_TRUE(PeekMessageW(&posted, reinterpret_cast<HWND>(-1), WT_LIST_FOLDER, WT_LIST_FOLDER, PM_REMOVE));
    EXPECT_EQ(reinterpret_cast<WPARAM>(TreeRecordOf(tree, inner)), posted.wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(inner), posted.lParam);
    Browser.selectedTreeItem = inner;
    EXPECT_EQ(TreeRecordOf(tree, inner), SelectedFolderRecord(&Browser));

    // Every record goes with its item when the window closes.
    EXPECT_LT(10u, LiveTreeRecordCount());
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_EQ(0u, LiveTreeRecordCount());
}

TEST_F(FolderTree, WithoutAStartFolderThatCanBeFoundTheExecutablesFolderIsSelected)
{
    // A folder that has gone since its list was made is not found.
    const std::wstring gone = Make(L"gone");
    ItemIdListOwner start = ListOf(gone);
    ASSERT_TRUE(RemoveDirectoryW(gone.c_str()));
    SetTestExeDir(Make(L"exe"));
    HTREEITEM item = InitFolderTree(tree, window, start.get());
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(L"exe", TextOf(tree, item));
    EXPECT_EQ(nullptr, Loaded(gone));
}

TEST_F(FolderTree, TheDesktopShowsTheComputerButNeitherTheControlPanelNorTheRecycleBin)
{
    ASSERT_NE(nullptr, InitFolderTree(tree, window, nullptr));
    HTREEITEM desktop = TreeView_GetRoot(tree);
    ASSERT_NE(nullptr, desktop);
    EXPECT_TRUE(TreeView_GetItemState(tree, desktop, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE);

    // The computer is there; the two excluded folders are not. (Wine keeps
    // the Control Panel below the computer, where it stays: its ID there
    // differs from that of its own item-ID list.)
    ItemIdListOwner computerList;
    ASSERT_HRESULT_SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, computerList.receive()));
    HTREEITEM computer = FindLoadedTreeItem(tree, TVI_ROOT, computerList.get());
    ASSERT_NE(nullptr, computer);
    EXPECT_EQ(desktop, TreeView_GetParent(tree, computer));
    for (int folder : {CSIDL_CONTROLS, CSIDL_BITBUCKET}) {
        ItemIdListOwner list;
        ASSERT_HRESULT_SUCCEEDED(SHGetSpecialFolderLocation(nullptr, folder, list.receive()));
        for (HTREEITEM child : Children(tree, desktop))
            EXPECT_FALSE(ILIsEqual(list.get(), TreeRecordOf(tree, child)->absolute)) << "CSIDL " << folder;
    }
}

TEST_F(FolderTree, NewRemovedAndRenamedFoldersAreFollowed)
{
    for (const wchar_t* name : {L"beta", L"gamma", L"deep", L"deep\\leaf", L"deep\\leaf\\down", L"cold"})
        Make(name);
    HTREEITEM leaf = InitFolderTree(tree, window, ListOf(root + L"\\deep\\leaf").get());
    ASSERT_NE(nullptr, leaf);
    HTREEITEM folder = Loaded(root);
    ASSERT_NE(nullptr, Find(root + L"\\deep\\leaf\\down"));
    TreeView_Expand(tree, Loaded(root + L"\\deep\\leaf\\down"), TVE_EXPAND);
    ASSERT_EQ(0, ChildrenCount(tree, Loaded(root + L"\\deep\\leaf\\down")));

    // A new folder is appended unsorted where the children are loaded, and
    // gives an empty folder its button back; elsewhere nothing is loaded.
    Announce(SHCNE_MKDIR, Make(L"alpha"));
    EXPECT_EQ((std::vector<std::wstring>{L"beta", L"cold", L"deep", L"gamma", L"alpha"}), ChildTexts(tree, folder));
    Announce(SHCNE_MKDIR, Make(L"deep\\leaf\\down\\new"));
    HTREEITEM down = Loaded(root + L"\\deep\\leaf\\down");
    EXPECT_EQ(1, ChildrenCount(tree, down));
    TreeView_Expand(tree, down, TVE_EXPAND);
    EXPECT_EQ((std::vector<std::wstring>{L"new"}), ChildTexts(tree, down));
    Announce(SHCNE_MKDIR, Make(L"beta\\sub"));
    EXPECT_EQ(nullptr, TreeView_GetChild(tree, Loaded(root + L"\\beta")));

    // A removed folder goes with its record.
    const size_t records = LiveTreeRecordCount();
    ASSERT_TRUE(RemoveDirectoryW((root + L"\\gamma").c_str()));
    Announce(SHCNE_RMDIR, root + L"\\gamma");
    EXPECT_EQ(nullptr, Loaded(root + L"\\gamma"));
    EXPECT_EQ(records - 1, LiveTreeRecordCount());

    // A renamed folder keeps its place; its loaded descendants now live
    // under the new path and can be listed and expanded there.
    const std::wstring renamed = root + L"\\deeper";
    ASSERT_TRUE(MoveFileW((root + L"\\deep").c_str(), renamed.c_str()));
    HTREEITEM deep = TreeView_GetParent(tree, leaf);
    Announce(SHCNE_RENAMEFOLDER, root + L"\\deep", renamed);
    EXPECT_EQ(L"deeper", TextOf(tree, deep));
    EXPECT_EQ(deep, Loaded(renamed));
    EXPECT_EQ(down, Loaded(renamed + L"\\leaf\\down"));
    HTREEITEM made = Loaded(renamed + L"\\leaf\\down\\new");
    ASSERT_NE(nullptr, made);
    EXPECT_TRUE(ILIsEqual(ListOf(renamed + L"\\leaf\\down\\new").get(), TreeRecordOf(tree, made)->absolute));
    CreateDirectoryW((renamed + L"\\leaf\\down\\new\\newer").c_str(), nullptr);
    HTREEITEM newer = Find(renamed + L"\\leaf\\down\\new\\newer");
    ASSERT_NE(nullptr, newer);
    EXPECT_EQ(L"newer", TextOf(tree, newer));

    // A whole-tree update drops what has gone and appends what is new, once.
    ASSERT_TRUE(RemoveDirectoryW((root + L"\\cold").c_str()));
    Make(L"also");
    ItemIdListOwner rootList = ListOf(root);
    ApplyTreeChange(&Browser, ChangeRecord{rootList.get(), nullptr, SHCNE_UPDATEDIR, ChangeFromTree});
    ApplyTreeChange(&Browser, ChangeRecord{rootList.get(), nullptr, SHCNE_UPDATEDIR, ChangeFromTree});
    EXPECT_EQ((std::vector<std::wstring>{L"beta", L"deeper", L"alpha", L"also"}), ChildTexts(tree, folder));
    EXPECT_EQ((std::vector<std::wstring>{L"new"}), ChildTexts(tree, down));

    // A folder moved to another parent leaves its old place and appears
    // under the new one.
    const std::wstring moved = root + L"\\leaf";
    ASSERT_TRUE(MoveFileW((renamed + L"\\leaf").c_str(), moved.c_str()));
    Announce(SHCNE_RENAMEFOLDER, renamed + L"\\leaf", moved);
    EXPECT_EQ(nullptr, Loaded(renamed + L"\\leaf"));
    EXPECT_NE(nullptr, Loaded(moved));
    EXPECT_EQ((std::vector<std::wstring>{L"beta", L"deeper", L"alpha", L"also", L"leaf"}), ChildTexts(tree, folder));
}

}  // namespace

TEST_F(FolderTree, ARightClickOnAFolderSelectsIt)
{
    Make(L"left");
    Make(L"right");
    SetTestExeDir(root);
    HTREEITEM start = InitFolderTree(tree, window, nullptr);
    ASSERT_NE(nullptr, start);
    TreeView_SelectItem(tree, start);
    TreeView_Expand(tree, start, TVE_EXPAND);
    HTREEITEM right = Loaded(root + L"\\right");
    ASSERT_NE(nullptr, right);
    ASSERT_NE(right, TreeView_GetSelection(tree));

    // The context menu request that a right click on the folder's text
    // makes the tree send (it goes on to the pane).
    ShowWindow(window, SW_SHOWNORMAL);
    TreeView_EnsureVisible(tree, right);
    RECT text = {};
    ASSERT_TRUE(TreeView_GetItemRect(tree, right, &text, TRUE));
    POINT point = {(text.left + text.right) / 2, (text.top + text.bottom) / 2};
    ClientToScreen(tree, &point);
    SendMessageW(tree, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), MAKELPARAM(point.x, point.y));
    PumpMessages();
    EXPECT_EQ(right, TreeView_GetSelection(tree));
}
