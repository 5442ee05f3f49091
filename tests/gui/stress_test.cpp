// The browser under a long session's load in a short time: a thousand folder
// changes while the worker makes thumbnails, three hundred viewers and fifty
// archive windows opened and closed meanwhile; afterwards every window,
// record, memory block and handle is given back.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser/folder_tree.h"
#include "gui/file_list_support.h"
#include "platform/memory_block.h"
#include "support/zip_builder.h"
#include "viewer/open_path.h"

namespace {

using Stress = file_list_support::FileList;

// The process's handle count, or 0 where the platform does not count.
DWORD HandleCount()
{
    DWORD count = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &count) ? count : 0;
}

std::vector<HWND> OwnTopWindows(const wchar_t* className)
{
    std::vector<HWND> windows;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, className, nullptr)) != nullptr;) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId())
            windows.push_back(w);
    }
    return windows;
}

TEST_F(Stress, AThousandFolderChangesWithViewersAndArchiveWindowsGiveEverythingBack)
{
    // Ten folders of small pictures beside the listed one, and an archive.
    std::vector<HTREEITEM> folders;
    for (int f = 0; f < 10; ++f) {
        const std::wstring name = L"pics\\f" + std::to_wstring(f);
        ASSERT_TRUE(CreateDirectoryW((root + name).c_str(), nullptr));
        for (int i = 0; i < 6; ++i)
            dir.Write(name + L"\\" + std::to_wstring(i) + L".tga",
                      TgaFile(40 + 8 * i, 30, [f](uint32_t x, uint32_t y) { return uint32_t(x * 7 + y * f); }));
    }
    std::vector<ZipMember> members;
    for (int i = 0; i < 12; ++i) {
        ZipMember member;
        member.name = "m" + std::to_string(i) + ".tga";
        member.data = TgaFile(64, 48, [i](uint32_t x, uint32_t y) { return uint32_t(x + y * i); });
        member.method = 8;
        members.push_back(member);
    }
    const std::wstring archive = dir.Write(L"many.zip", BuildZip(members));
    // The shell announces the new folders; the tree and the list follow.
    HTREEITEM pics = TreeView_GetSelection(tree);
    for (int f = 0; f < 10; ++f) {
        const std::wstring path = root + L"pics\\f" + std::to_wstring(f);
        SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), nullptr);
    }
    WaitForListing(14);
    for (int f = 0; f < 10; ++f) {
        ItemIdListOwner folder(ILCreateFromPathW((root + L"pics\\f" + std::to_wstring(f)).c_str()));
        HTREEITEM item = folder ? FindTreeItem(tree, TVI_ROOT, folder.get()) : nullptr;
        ASSERT_NE(nullptr, item);
        folders.push_back(item);
    }
    ASSERT_EQ(pics, TreeView_GetParent(tree, folders[0]));
    WaitForListing(14);

    const long blocks = LiveAllocations();
    const size_t treeRecords = LiveTreeRecordCount();
    const DWORD handles = HandleCount();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);

    // The load: folder changes as fast as the user can click, viewers and
    // archive windows opened and closed while the workers run.
    int viewers = 0;
    int archives = 0;
    for (int i = 0; i < 1000; ++i) {
        TreeView_SelectItem(tree, folders[size_t(i * 7) % folders.size()]);
        if (i % 3 == 0 && viewers < 300) {
            const std::wstring picture = root + L"pics\\f" + std::to_wstring(i % 10) + L"\\" +
                                         std::to_wstring(i % 6) + L".tga";
            OpenPath(picture.c_str());
            ++viewers;
        }
        if (i % 20 == 0 && archives < 50) {
            OpenPath(archive.c_str());
            ++archives;
        }
        if (i % 5 == 0)
            PumpMessages();
        if (i % 30 == 0) {
            for (HWND viewer : OwnTopWindows(L"RezaDiz"))
                SendMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
            for (HWND window : OwnTopWindows(L"ZuzeDod"))
                PostMessageW(window, WM_CLOSE, 0, 0);
        }
    }
    EXPECT_EQ(300, viewers);
    EXPECT_EQ(50, archives);

    // Back on the first folder, every window closed.
    TreeView_SelectItem(tree, pics);
    WaitForListing(14);
    for (HWND viewer : OwnTopWindows(L"RezaDiz"))
        SendMessageW(viewer, WM_KEYDOWN, VK_ESCAPE, 0);
    for (HWND window : OwnTopWindows(L"ZuzeDod"))
        PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([] { return OwnTopWindows(L"RezaDiz").empty() && OwnTopWindows(L"ZuzeDod").empty(); }));

    EXPECT_EQ(blocks, LiveAllocations());
    EXPECT_EQ(treeRecords, LiveTreeRecordCount());
    // Wine counts neither GUI objects nor handles (0); Windows does.
    EXPECT_EQ(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_EQ(user, GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    EXPECT_EQ(handles, HandleCount());
}

}  // namespace
