// Renaming, deleting and dragging items of the file list, and the drop
// source of the drags. Under Wine the shell's notifications reach only this
// process, so the list follows only what the operations announce.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>
#include <shlobj.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/browser_keys.h"
#include "browser/drop_source.h"
#include "browser/file_operations.h"
#include "browser/list_item.h"
#include "browser/shell_names.h"
#include "gui/file_list_support.h"
#include "platform/utf8.h"
#include "support/windows_harness.h"

namespace {

class FileOperations : public file_list_support::FileList {
protected:
    int ImageOf(int index) const
    {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = index;
        SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    // F2 on the item, the new text, then Enter or Escape in the edit box.
    void EditLabel(const std::wstring& name, const std::wstring& text, UINT endKey)
    {
        Select({IndexOf(name)});
        TypeKey(VK_F2);
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(nullptr, edit);
        SetWindowTextW(edit, text.c_str());
        SendMessageW(edit, WM_KEYDOWN, endKey, 0);
    }
    bool Exists(const wchar_t* name) const
    {
        return GetFileAttributesW((root + L"pics\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

// Answers the shell's next dialog with a command from a thread of its own,
// then looks for a box that follows within a second (and closes it).
struct DialogAnswer {
    explicit DialogAnswer(WORD command)
        : thread([this, command] {
              HWND dialog = WaitForWindow(GetCurrentProcessId(), L"#32770", 10000);
              if (!(answered = dialog != nullptr))
                  return;
              PostMessageW(dialog, WM_COMMAND, command, 0);
              for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 10000;)
                  Sleep(10);
              followed = CloseMessageBox(GetCurrentProcessId(), 1000).found;
          })
    {
    }
    ~DialogAnswer() { Wait(); }
    void Wait()
    {
        if (thread.joinable())
            thread.join();
    }
    bool answered = false;
    bool followed = false;
    std::thread thread;  // last: it writes the two above
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

    // The rename notification reaches the item's record; the thumbnail stays.
    const std::wstring renamed = root + L"pics\\b.tga";
    EXPECT_TRUE(PumpUntil([&] {
        wchar_t path[MAX_PATH] = {};
        const ListItemRecord* record = ListRecordOf(list, index);
        return record && SHGetPathFromIDListW(record->absolute, path) && lstrcmpiW(renamed.c_str(), path) == 0;
    })) << "the item's record kept the old name";
    EXPECT_EQ(L"b.tga", Names()[index]);
    EXPECT_EQ(thumbnail, ImageOf(index));
}

TEST_F(FileOperations, EscapeAndRefusedNamesChangeNothing)
{
    {
        MessageBoxCloser closer(1000);
        EditLabel(L"red.tga", L"x.tga", VK_ESCAPE);
        EXPECT_FALSE(closer.Result().found);
    }
    {
        MessageBoxCloser closer(10000);
        EditLabel(L"red.tga", L"z.tga", VK_RETURN);
        EXPECT_EQ(L"変更出来ませんでした.", closer.Result().text);
    }

    // A name that would move the file elsewhere, and one too long for the
    // program's paths, are refused rather than cut.
    for (std::wstring text : {std::wstring(L"sub\\moved.tga"), std::wstring(ShellNameCapacity, L'x')}) {
        MessageBoxCloser closer(10000);
        NMLVDISPINFOW info = {};
        info.hdr = {list, 0, static_cast<UINT>(LVN_ENDLABELEDITW)};
        info.item.iItem = IndexOf(L"red.tga");
        info.item.pszText = &text[0];
        SendMessageW(Browser.right.pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(L"変更出来ませんでした.", closer.Result().text);
    }
    EXPECT_TRUE(Exists(L"red.tga") && Exists(L"z.tga"));
    EXPECT_FALSE(Exists(L"x.tga") || Exists(L"sub\\moved.tga"));
    EXPECT_EQ(4u, Names().size());
    EXPECT_GE(IndexOf(L"red.tga"), 0);
}

// The names of the trash's records under XDG_DATA_HOME.
std::set<std::wstring> TrashRecords()
{
    char data[MAX_PATH] = {};
    GetEnvironmentVariableA("XDG_DATA_HOME", data, MAX_PATH);
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(WindowsPath(std::string(data) + "/Trash/info/*.trashinfo").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        names.insert(found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return names;
}

TEST(RenamedFileName, AnExtensionTheLabelHidIsKept)
{
    const struct {
        const wchar_t* fileName;
        const wchar_t* label;
        const wchar_t* edited;
        const wchar_t* name;
        size_t shown;
    } cases[] = {
        {L"a.mag", L"a", L"b", L"b.mag", 1},              // hidden: kept
        {L"a.mag", L"a", L"b.MAG", L"b.MAG", 1},          // typed again: not twice
        {L"a.mag", L"a", L"b.txt", L"b.txt.mag", 5},      // as Explorer does
        {L"b.tar.gz", L"b.tar", L"c", L"c.gz", 1},        // only the last one was hidden
        {L"a.mag", L"a", L".mag", L".mag", 4},            // all extension: shown whole
        {L"a.mag", L"a.mag", L"b", L"b", 1},              // shown and removed by the user
        {L"dir.v2", L"dir.v2", L"x", L"x", 1},            // folders show their whole name
        {L"README", L"README", L"x", L"x", 1},            // no extension
        {L".hidden", L".hidden", L"x", L"x", 1},          // all extension
        {L"a.mag", L"写真", L"b", L"b", 1},               // a label of another kind
        {L"a.mag", L"", L"b", L"b", 1},                   // no label from the shell
        {L"a.mag", L"a", L"", L"", 0},                    // empty stays empty, to be refused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.fileName) + " " + WideToUtf8(c.label) + " " + WideToUtf8(c.edited));
        wchar_t name[ShellNameCapacity] = L"?";
        size_t shown = 99;
        ASSERT_TRUE(RenamedFileName(c.fileName, c.label, c.edited, name, ShellNameCapacity, &shown));
        EXPECT_EQ(std::wstring(c.name), name);
        EXPECT_EQ(c.shown, shown);
    }

    // The kept extension must fit too.
    wchar_t name[8];
    size_t shown = 0;
    EXPECT_TRUE(RenamedFileName(L"a.mag", L"a", L"bcd", name, 8, &shown));
    EXPECT_FALSE(RenamedFileName(L"a.mag", L"a", L"bcde", name, 8, &shown));
}

TEST_F(FileOperations, WithExtensionsHiddenARenameKeepsTheFilesExtension)
{
    // The shell hides every extension while "HideFileExt" is 1.
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
    HKEY advanced = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &advanced, nullptr));
    DWORD saved = 0, size = sizeof saved;
    const bool had = RegQueryValueExW(advanced, L"HideFileExt", nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(&saved), &size) == ERROR_SUCCESS;
    const DWORD hide = 1;
    RegSetValueExW(advanced, L"HideFileExt", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hide), sizeof hide);

    const int index = IndexOf(L"red.tga");
    EditLabel(L"red.tga", L"b", VK_RETURN);
    EXPECT_TRUE(Exists(L"b.tga"));
    EXPECT_FALSE(Exists(L"b"));
    EXPECT_EQ(L"b", Names()[index]);

    if (had)
        RegSetValueExW(advanced, L"HideFileExt", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved), sizeof saved);
    else
        RegDeleteValueW(advanced, L"HideFileExt");
    RegCloseKey(advanced);
}

TEST_F(FileOperations, DeleteSendsTheSelectedFilesToTheTrashInOneOperationAndCancelIsSilent)
{
    ASSERT_GT(GetEnvironmentVariableW(L"XDG_DATA_HOME", nullptr, 0), 0u) << "the test runs without its own trash";
    const std::set<std::wstring> before = TrashRecords();
    Select({IndexOf(L"red.tga"), IndexOf(L"z.tga"), IndexOf(L"note.txt")});
    {
        DialogAnswer cancel(IDCANCEL);
        TypeKey(VK_DELETE);
        cancel.Wait();
        EXPECT_TRUE(cancel.answered);
        EXPECT_FALSE(cancel.followed) << "a cancelled delete showed a message";
    }
    EXPECT_TRUE(Exists(L"red.tga") && Exists(L"z.tga") && Exists(L"note.txt"));
    {
        DialogAnswer confirm(IDYES);
        TypeKey(VK_DELETE);
        confirm.Wait();
        EXPECT_TRUE(confirm.answered);
        EXPECT_FALSE(confirm.followed) << "a second confirmation or a failure box";
    }
    EXPECT_FALSE(Exists(L"red.tga") || Exists(L"z.tga") || Exists(L"note.txt"));
    EXPECT_TRUE(PumpUntil([&] { return Names() == std::vector<std::wstring>{L"sub"}; }));
    EXPECT_EQ(1u, Browser.itemCount);
    EXPECT_EQ(before.size() + 3, TrashRecords().size());
}

// A drop target of the test's own: it takes copies and moves, and keeps
// what was dropped on it (the files' paths) and the effects it was offered.
class RecordingDropTarget : public IDropTarget {
public:
    std::vector<std::wstring> files;
    DWORD offered = 0;
    bool dropped = false;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override
    {
        if (id == IID_IUnknown || id == IID_IDropTarget) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override
    {
        offered = *effect;
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override
    {
        *effect &= DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        dropped = true;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        if (SUCCEEDED(data->GetData(&format, &medium))) {
            HDROP drop = static_cast<HDROP>(medium.hGlobal);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                wchar_t path[MAX_PATH] = {};
                DragQueryFileW(drop, i, path, MAX_PATH);
                files.push_back(path);
            }
            ReleaseStgMedium(&medium);
        }
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }

private:
    ULONG references_ = 1;
};

TEST_F(FileOperations, DraggedItemsReachADropTargetAsTheirFilesAndTheSourceIsGivenBack)
{
    ASSERT_NE(nullptr, Browser.dragSource);
    Select({IndexOf(L"red.tga"), IndexOf(L"z.tga")});

    // The target's window under the pointer; no button is held, so the
    // drag drops there at once.
    // (SS_NOTIFY: a plain static control is transparent to the pointer.)
    HWND target = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"target", WS_POPUP | WS_VISIBLE | SS_NOTIFY, 700, 500,
                                  200, 150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, target);
    RecordingDropTarget drop;
    ASSERT_EQ(S_OK, RegisterDragDrop(target, &drop));
    SetCursorPos(800, 575);
    PumpMessages();
    NMLISTVIEW begin = {};
    begin.hdr = {list, 0, static_cast<UINT>(LVN_BEGINDRAG)};
    SendMessageW(Browser.right.pane, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&begin));
    RevokeDragDrop(target);
    DestroyWindow(target);

    EXPECT_TRUE(drop.dropped) << "the drag did not reach the drop target";
    EXPECT_EQ(DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE), drop.offered);
    std::vector<std::wstring> names;
    for (const std::wstring& file : drop.files)
        names.push_back(file.substr(file.find_last_of(L'\\') + 1));
    EXPECT_EQ((std::vector<std::wstring>{L"red.tga", L"z.tga"}), names);
    EXPECT_TRUE(Exists(L"red.tga") && Exists(L"z.tga"));  // a copy leaves them
    EXPECT_EQ(2u, Browser.dragSource->AddRef());  // every reference of the drag given back
    EXPECT_EQ(1u, Browser.dragSource->Release());
}

TEST(DropSource, AnswersTheDragLoopAndCountsReferencesAtomically)
{
    IDropSource* source = CreateDropSource();
    ASSERT_NE(nullptr, source);
    EXPECT_EQ(DRAGDROP_S_CANCEL, source->QueryContinueDrag(TRUE, MK_LBUTTON));
    EXPECT_EQ(DRAGDROP_S_DROP, source->QueryContinueDrag(FALSE, MK_RBUTTON));
    EXPECT_EQ(S_OK, source->QueryContinueDrag(FALSE, MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(DRAGDROP_S_USEDEFAULTCURSORS, source->GiveFeedback(DROPEFFECT_MOVE));

    void* out = nullptr;
    EXPECT_EQ(S_OK, source->QueryInterface(IID_IDropSource, &out));
    EXPECT_EQ(static_cast<void*>(source), out);
    EXPECT_EQ(E_NOINTERFACE, source->QueryInterface(IID_IDataObject, &out));
    EXPECT_EQ(nullptr, out);
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
