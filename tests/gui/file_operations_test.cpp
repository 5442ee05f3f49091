// Renaming, deleting and dragging items of the file list, and the drop
// source that the drags use. Under Wine the shell's notifications reach only
// this process, which is where the operations announce themselves.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/browser_keys.h"
#include "browser/drop_source.h"
#include "browser/file_list.h"
#include "browser/file_operations.h"
#include "browser/shell_names.h"
#include "gui/file_list_support.h"
#include "support/windows_harness.h"

namespace {

class FileOperations : public file_list_support::FileList {
protected:
    // The list's image of an item: a thumbnail once the worker made it.
    int ImageOf(int index) const
    {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = index;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    // Edits the label of the one selected item as the user does: F2, the
    // new text, then Enter or Escape in the edit box.
    void EditLabel(const std::wstring& name, const std::wstring& text, UINT endKey)
    {
        Select({IndexOf(name)});
        HandleBrowserKey(&Browser, VK_F2);
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(nullptr, edit) << "no label edit for " << std::string(name.begin(), name.end());
        SetWindowTextW(edit, text.c_str());
        SendMessageW(edit, WM_KEYDOWN, endKey, 0);
        EXPECT_EQ(nullptr, reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0)));
    }
    // Pumps messages until done() holds; false after ten seconds.
    template <typename Done>
    bool PumpUntil(Done done)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10)) {
            PumpMessages();
            if (done())
                return true;
        }
        return false;
    }
    bool Exists(const wchar_t* name) const
    {
        return GetFileAttributesW((root + L"pics\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

// The names of the recycle bin's records (XDG_DATA_HOME/Trash/info).
std::set<std::wstring> TrashRecords(const std::wstring& info)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((info + L"\\*.trashinfo").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// Answers the next dialog of this process with a command, from a thread of
// its own, then closes any box that follows within a second.
class DialogAnswer {
public:
    explicit DialogAnswer(WORD command)
        : thread_([this, command] {
              HWND dialog = WaitForWindow(GetCurrentProcessId(), L"#32770", 10000);
              answered_ = dialog != nullptr;
              if (!dialog)
                  return;
              PostMessageW(dialog, WM_COMMAND, command, 0);
              for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 10000;)
                  Sleep(10);
              followed_ = CloseMessageBox(GetCurrentProcessId(), 1000);
          })
    {
    }
    ~DialogAnswer() { Join(); }
    bool Answered() { return Join(), answered_; }
    MessageBoxSeen Followed() { return Join(), followed_; }

private:
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    // Set before the thread starts, which writes them.
    bool answered_ = false;
    MessageBoxSeen followed_;
    std::thread thread_;
};

TEST_F(FileOperations, RenamingTheLabelRenamesTheFileAndTheListFollowsWithItsThumbnail)
{
    const int index = IndexOf(L"red.tga");
    const int thumbnail = ImageOf(index);
    ASSERT_NE(Browser.imageIndex[0], thumbnail) << "the picture has no thumbnail yet";

    EditLabel(L"red.tga", L"b.tga", VK_RETURN);
    EXPECT_FALSE(Exists(L"red.tga"));
    EXPECT_TRUE(Exists(L"b.tga"));
    EXPECT_EQ(L"b.tga", Names()[index]);
    EXPECT_EQ(thumbnail, ImageOf(index));

    // The shell's rename notification reaches the item's record.
    const std::wstring renamed = root + L"pics\\b.tga";
    EXPECT_TRUE(PumpUntil([&] {
        const ListItemRecord* record = ListRecordOf(list, index);
        wchar_t path[MAX_PATH] = {};
        return record && SHGetPathFromIDListW(record->absolute, path) && lstrcmpiW(path, renamed.c_str()) == 0;
    })) << "the item's record kept the old name";
    EXPECT_EQ(4u, Names().size());
    EXPECT_EQ(L"b.tga", Names()[index]);
    EXPECT_EQ(thumbnail, ImageOf(index));
    EXPECT_EQ(index, IndexOf(L"b.tga"));
}

TEST_F(FileOperations, EscapeAndRefusedNamesChangeNothing)
{
    // Escape ends the edit without a rename and without a message.
    {
        MessageBoxCloser closer(1000);
        EditLabel(L"red.tga", L"x.tga", VK_ESCAPE);
        EXPECT_FALSE(closer.Result().found);
    }
    EXPECT_TRUE(Exists(L"red.tga"));
    EXPECT_FALSE(Exists(L"x.tga"));

    // The name of an existing file: the failure box, the old label.
    {
        MessageBoxCloser closer(10000);
        EditLabel(L"red.tga", L"z.tga", VK_RETURN);
        const MessageBoxSeen seen = closer.Result();
        EXPECT_TRUE(seen.found);
        EXPECT_EQ(L"変更出来ませんでした.", seen.text);
    }
    EXPECT_TRUE(Exists(L"red.tga"));
    EXPECT_TRUE(Exists(L"z.tga"));
    EXPECT_GE(IndexOf(L"red.tga"), 0);

    // A name that would move the file elsewhere, and one too long for the
    // program's paths, are refused the same way rather than cut.
    std::wstring longName(ShellNameCapacity, L'x');
    for (std::wstring text : {std::wstring(L"sub\\moved.tga"), longName}) {
        MessageBoxCloser closer(10000);
        NMLVDISPINFOW info = {};
        info.hdr = {list, 0, static_cast<UINT>(LVN_ENDLABELEDITW)};
        info.item.iItem = IndexOf(L"red.tga");
        info.item.pszText = &text[0];
        SendMessageW(Browser.right.pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(L"変更出来ませんでした.", closer.Result().text);
    }
    EXPECT_TRUE(Exists(L"red.tga"));
    EXPECT_FALSE(Exists(L"sub\\moved.tga"));
    EXPECT_EQ(4u, Names().size());
}

TEST_F(FileOperations, DeleteSendsTheSelectedFilesToTheTrashInOneOperationAndCancelIsSilent)
{
    wchar_t data[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"XDG_DATA_HOME", data, MAX_PATH), 0u) << "the test runs without its trash";
    std::string unixData(data, data + wcslen(data));
    const std::wstring info = WindowsPath(unixData + "/Trash/info");
    const std::set<std::wstring> before = TrashRecords(info);

    // Cancelling the shell's confirmation deletes nothing and says nothing.
    Select({IndexOf(L"red.tga"), IndexOf(L"z.tga"), IndexOf(L"note.txt")});
    {
        DialogAnswer cancel(IDCANCEL);
        HandleBrowserKey(&Browser, VK_DELETE);
        EXPECT_TRUE(cancel.Answered());
        EXPECT_FALSE(cancel.Followed().found);
    }
    EXPECT_TRUE(Exists(L"red.tga") && Exists(L"z.tga") && Exists(L"note.txt"));

    // Confirmed once for all three: they land in the trash, the list follows.
    {
        DialogAnswer confirm(IDYES);
        HandleBrowserKey(&Browser, VK_DELETE);
        EXPECT_TRUE(confirm.Answered());
        EXPECT_FALSE(confirm.Followed().found) << "a second confirmation or a failure box";
    }
    EXPECT_FALSE(Exists(L"red.tga") || Exists(L"z.tga") || Exists(L"note.txt"));
    EXPECT_TRUE(PumpUntil([&] { return Names() == std::vector<std::wstring>{L"sub"}; }))
        << "the list still shows deleted files";
    EXPECT_EQ(1u, Browser.itemCount);

    std::set<std::wstring> added = TrashRecords(info);
    for (const std::wstring& old : before)
        added.erase(old);
    EXPECT_EQ(3u, added.size());
}

TEST_F(FileOperations, ADragWithoutAHeldButtonDropsAtOnceAndGivesTheDropSourceBack)
{
    ASSERT_NE(nullptr, Browser.dragSource);
    Select({IndexOf(L"red.tga"), IndexOf(L"z.tga")});

    // The pointer rests on the list, which takes no drops.
    RECT area = {};
    GetWindowRect(list, &area);
    SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    NMLISTVIEW begin = {};
    begin.hdr = {list, 0, static_cast<UINT>(LVN_BEGINDRAG)};
    begin.iItem = IndexOf(L"red.tga");
    SendMessageW(Browser.right.pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&begin));

    EXPECT_TRUE(Exists(L"red.tga") && Exists(L"z.tga"));
    EXPECT_EQ(4u, Names().size());
    // Every reference the drag loop took is given back.
    EXPECT_EQ(2u, Browser.dragSource->AddRef());
    EXPECT_EQ(1u, Browser.dragSource->Release());
}

TEST(DropSource, AnswersTheDragLoopAndCountsReferencesAtomically)
{
    IDropSource* source = CreateDropSource();
    ASSERT_NE(nullptr, source);
    EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(TRUE, MK_LBUTTON));
    EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, 0));
    EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, MK_RBUTTON));
    EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_MOVE));

    // Asking for the interfaces it has adds a reference; others clear *out.
    void* out = nullptr;
    EXPECT_EQ(S_OK, source->QueryInterface(IID_IDropSource, &out));
    EXPECT_EQ(static_cast<void*>(source), out);
    EXPECT_EQ(S_OK, source->QueryInterface(IID_IUnknown, &out));
    out = source;
    EXPECT_EQ(E_NOINTERFACE, source->QueryInterface(IID_IDataObject, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(2u, source->Release());
    EXPECT_EQ(1u, source->Release());

    // Two threads adding and releasing at once lose no count.
    auto churn = [source] {
        for (int i = 0; i < 200000; ++i) {
            source->AddRef();
            source->Release();
        }
    };
    std::thread first(churn), second(churn);
    first.join();
    second.join();
    EXPECT_EQ(2u, source->AddRef());
    EXPECT_EQ(1u, source->Release());
    EXPECT_EQ(0u, source->Release());
}

}  // namespace
