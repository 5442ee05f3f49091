#include "viewer/viewer_commands.h"

#include <commdlg.h>

#include "ui/browser_access.h"
#include "ui/owners.h"
#include "image/bmp.h"
#include "image/classify.h"
#include "image/dib.h"
#include "image/dib_win.h"
#include "image/load_image_win.h"
#include "viewer/placement.h"
#include "viewer/viewer_scroll.h"
#include "viewer/viewer_window.h"

namespace {

constexpr int TitleCapacity = 260;

// The keys of a viewer window and the commands they send.
struct KeyCommand {
    UINT key;
    int command;
};

const KeyCommand ViewerKeys[] = {
    {'R', CommandFitToDisplay},   {'W', CommandFitWindowToPicture}, {'M', CommandFocusFileList},
    {VK_SPACE, CommandFocusViewerBelow}, {VK_TAB, CommandFocusNextByAge}, {VK_LEFT, CommandMirror},
    {VK_RIGHT, CommandMirror},    {VK_UP, CommandUpsideDown},       {VK_DOWN, CommandUpsideDown},
    {VK_RETURN, CommandToggleMode}, {'S', CommandSave},             {VK_ESCAPE, CommandClose},
};

// Resizes the window's outer rectangle, keeping its place and z-order.
void ResizeWindow(HWND window, int width, int height)
{
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

// Command 1: the size the window would get on opening.
void FitToDisplay(HWND window, ViewerImage* image)
{
    ViewerPlacement placement = {};
    ComputeViewerPlacement(image, &placement);
    ResizeWindow(window, placement.width, placement.height);
}

// Command 2: the client area shrunk to the picture's proportions.
void FitWindowToPicture(HWND window, ViewerImage* image)
{
    RECT client = {};
    GetClientRect(window, &client);
    const uint32_t cw = static_cast<uint32_t>(client.right);
    const uint32_t ch = static_cast<uint32_t>(client.bottom);
    const uint32_t W = image->picture.width;
    const uint32_t H = image->picture.height;
    const uint32_t sh = static_cast<uint32_t>(uint64_t(H) * cw / W);
    const uint32_t sw = static_cast<uint32_t>(uint64_t(W) * ch / H);
    RECT wanted = {0, 0, static_cast<LONG>(cw), static_cast<LONG>(ch)};
    if (sh < ch)
        wanted.bottom = static_cast<LONG>(sh);
    else
        wanted.right = static_cast<LONG>(sw < cw ? sw : cw);
    AdjustWindowRect(&wanted, WS_OVERLAPPEDWINDOW, FALSE);
    ResizeWindow(window, wanted.right - wanted.left, wanted.bottom - wanted.top);
}

void Flip(HWND window, ViewerImage* image, int mode)
{
    WindowDc dc(window);
    FlipAndRefresh(&image->picture, dc.get(), image->bitmap, mode);
    InvalidateRect(window, nullptr, FALSE);
}

// Command 8: fitted <-> actual size.
void ToggleMode(HWND window, ViewerImage* image)
{
    image->fitMode = image->fitMode ? 0 : 1;
    if (image->fitMode) {
        SetZoomTitle(window, 100);
        EnableScrollBar(window, SB_BOTH, ESB_DISABLE_BOTH);
        ShowScrollBar(window, SB_BOTH, FALSE);
    } else {
        RefitViewerScrollBars(image, window);
        SetZoomTitle(window, -1);
    }
    InvalidateRect(window, nullptr, FALSE);
}

// Command 9: asks for a file name, proposing the title's file name.
void Save(HWND window)
{
    wchar_t path[TitleCapacity] = {};
    GetWindowTextW(window, path, TitleCapacity);
    ProposeSaveName(path);

    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = window;
    request.lpstrFilter = L"bmpﾌｧｲﾙ\0*.bmp\0";
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = TitleCapacity;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&request))
        return;
    SaveViewerPicture(window, path);
}

void CarryOut(HWND window, ViewerImage* image, int command)
{
    switch (command) {
    case CommandFitToDisplay:
        if (image->fitMode)
            FitToDisplay(window, image);
        break;
    case CommandFitWindowToPicture:
        if (image->fitMode)
            FitWindowToPicture(window, image);
        break;
    case CommandFocusFileList:
        if (HWND list = FileListWindow())
            SetFocus(list);
        break;
    case CommandFocusViewerBelow:
        if (HWND below = FindWindowExW(nullptr, window, ViewerWindowClass, nullptr))
            SetFocus(below);
        break;
    case CommandFocusNextByAge:
        if (HWND next = FindNextViewerByAge(window))
            SetFocus(next);
        break;
    case CommandMirror:
        Flip(window, image, FlipMirror);
        break;
    case CommandUpsideDown:
        Flip(window, image, FlipUpsideDown);
        break;
    case CommandToggleMode:
        ToggleMode(window, image);
        break;
    case CommandSave:
        Save(window);
        break;
    case CommandClose:
        DestroyWindow(window);
        break;
    default:
        break;
    }
}

}  // namespace

HMENU BuildViewerMenu(uint8_t fitMode)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    AppendMenuW(menu, MF_STRING, CommandSave, L"名前を付けて保存");
    AppendMenuW(menu, MF_SEPARATOR, ViewerMenuSeparators[0], nullptr);
    AppendMenuW(menu, MF_STRING, CommandToggleMode,
                fitMode ? L"等倍表示モード" : L"ウィンドウサイズに合わせて表示するモード");
    AppendMenuW(menu, MF_STRING, CommandMirror, L"左右反転");
    AppendMenuW(menu, MF_STRING, CommandUpsideDown, L"上下反転");
    AppendMenuW(menu, MF_SEPARATOR, ViewerMenuSeparators[1], nullptr);
    if (fitMode) {
        AppendMenuW(menu, MF_STRING, CommandFitToDisplay, L"画像サイズをディスプレイの大きさに合わせる");
        AppendMenuW(menu, MF_STRING, CommandFitWindowToPicture, L"ウィンドウサイズを画像に合わせる");
        AppendMenuW(menu, MF_SEPARATOR, ViewerMenuSeparators[2], nullptr);
    }
    AppendMenuW(menu, MF_STRING, CommandClose, L"このウィンドウを破棄");
    return menu;
}

int SaveViewerPicture(HWND window, const wchar_t* path)
{
    ViewerImage* image = ViewerOf(window);
    if (!image)
        return -1;
    const int result = WriteBmpFile(&image->picture, path);
    if (result != 0)
        MessageBoxW(window, L"保存出来ませんでした.", path, MB_ICONWARNING);
    return result;
}

bool DropOnViewer(HWND window, const wchar_t* path)
{
    ViewerImage* image = ViewerOf(window);
    if (!image)
        return false;
    FileKind kind = KindNone;
    FileHandle file = OpenAndClassify(path, &kind);
    if (file == kInvalidFile)
        return false;
    if (kind == KindZip || kind == KindLzh) {
        FileClose(file);
        return false;
    }
    DecodedImage dropped = {};
    const int loaded = LoadImageFile(path, file, &dropped, 1);
    FileClose(file);
    if (loaded != 0)
        return false;

    // Composed over the overlap, at the top-left corners; size and title stay.
    BlendOver(&image->picture, &dropped);
    ReleaseDecodedImage(&dropped);
    WindowDc dc(window);
    FlipAndRefresh(&image->picture, dc.get(), image->bitmap, 0);
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

LRESULT OnViewerContextMenu(ViewerImage* image, HWND window, WPARAM, LPARAM lParam)
{
    MenuOwner menu(BuildViewerMenu(image->fitMode));
    if (!menu)
        return 0;
    const int x = LOWORD(lParam);
    const int y = HIWORD(lParam);
    TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_LEFTBUTTON, x, y, 0, window, nullptr);
    return 0;
}

LRESULT OnViewerKeyDown(ViewerImage*, HWND window, WPARAM wParam, LPARAM)
{
    for (const KeyCommand& entry : ViewerKeys)
        if (entry.key == wParam) {
            SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(entry.command), 0);
            break;
        }
    return 0;
}

LRESULT OnViewerCommand(ViewerImage* image, HWND window, WPARAM wParam, LPARAM)
{
    if (wParam >= CommandFitToDisplay && wParam <= CommandClose)
        CarryOut(window, image, static_cast<int>(wParam));
    return 0;
}
