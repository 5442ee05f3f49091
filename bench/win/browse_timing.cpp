// Measures what a person waits for in the browser, under Wine: the whole
// program (main window, tree, listing, worker) runs in this process as it
// does in Zize.exe, and the clock is read after each message it handles.
//   1. A folder of pictures made from the fixtures (own formats, BMP, PNG and
//      JPEG, 640 x 400 and larger): from the window's creation to the last
//      thumbnail; then the loading road alone (LoadImageThumbnail over the
//      same files) in the same process, and the ratio of the two.
//   2. A folder of small files: from selecting it to every item in the list
//      with its standard icon, and from there to the first thumbnail.
//   browse_timing.exe [PICTURES] [SMALL_FILES]   (default 1000 and 10000)
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/startup.h"
#include "browser/folder_tree.h"
#include "browser/pane_window.h"
#include "image/bmp.h"
#include "image/load_image_win.h"
#include "image/thumbnail.h"
#include "platform/file.h"
#include "ui/browser_state.h"
#include "ui/owners.h"

#include "timing.h"

namespace {

// States: every item tried or a folder; any item tried.
bool AllTried()
{
    if (Browser.itemCount == 0)
        return false;
    for (DWORD i = 0; i < Browser.itemCount; ++i)
        if (Browser.itemStates[i] == 0)
            return false;
    return true;
}

bool AnyThumbnail()
{
    for (DWORD i = 0; i < Browser.itemCount; ++i)
        if (Browser.itemStates[i] == 2)
            return true;
    return false;
}

std::wstring FixturesDir(const wchar_t* exe)
{
    // The build places this program in build/windows/bench/win; the fixtures
    // are beside the checkout.
    std::wstring dir(exe);
    for (int up = 0; up < 5; ++up)
        dir = dir.substr(0, dir.rfind(L'\\'));
    return dir + L"\\..\\shared\\fixtures\\";
}

// Writes a decoded picture through GDI+ in the given format.
bool SaveWithGdiplus(const DecodedImage& picture, const std::wstring& path, const CLSID& encoder)
{
    Gdiplus::Bitmap bitmap(static_cast<INT>(picture.width), static_cast<INT>(picture.height),
                           static_cast<INT>((picture.width * 3 + 3) & ~3u), PixelFormat24bppRGB, picture.pixels);
    return bitmap.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}

// Makes the folder of pictures: the fixtures copied round-robin, and the
// 640 x 400 MAG written again as BMP, PNG and JPEG.
std::vector<std::wstring> MakePictures(const std::wstring& fixtures, const std::wstring& folder, int count)
{
    const wchar_t* own[] = {L"mag\\s01_grad_640x400_mag16.mag", L"maki01\\s10_stripe2_640x400_maki.mki",
                            L"pi\\s02_plasma_320x200_pi16.pi", L"p2\\mb2_p2_15.p2"};
    DecodedImage grad = {};
    const std::wstring gradPath = fixtures + own[0];
    FileHandle file = FileOpenRead(gradPath.c_str());
    if (file == kInvalidFile || LoadImageFile(gradPath.c_str(), file, &grad, 0) != 0) {
        std::fprintf(stderr, "cannot read the fixtures at %ls\n", fixtures.c_str());
        std::exit(1);
    }
    FileClose(file);
    static const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    static const CLSID jpeg = {0x557cf401, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring bmp = folder + L"\\model.bmp", pngPath = folder + L"\\model.png", jpgPath = folder + L"\\model.jpg";
    WriteBmpFile(&grad, bmp.c_str());
    SaveWithGdiplus(grad, pngPath, png);
    SaveWithGdiplus(grad, jpgPath, jpeg);
    ReleaseDecodedImage(&grad);

    std::vector<std::wstring> sources;
    for (const wchar_t* name : own)
        sources.push_back(fixtures + name);
    sources.insert(sources.end(), {bmp, pngPath, jpgPath});
    std::vector<std::wstring> files;
    for (int i = 0; i < count; ++i) {
        const std::wstring& source = sources[i % sources.size()];
        wchar_t name[64];
        swprintf(name, 64, L"\\p%05d%ls", i, source.substr(source.rfind(L'.')).c_str());
        files.push_back(folder + name);
        CopyFileW(source.c_str(), files.back().c_str(), FALSE);
    }
    for (const std::wstring& model : {bmp, pngPath, jpgPath})
        DeleteFileW(model.c_str());
    return files;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const int pictureCount = argc > 1 ? _wtoi(argv[1]) : 1000;
    const int smallCount = argc > 2 ? _wtoi(argv[2]) : 10000;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    // The folders, in a scratch folder of the temp directory.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"zize_browse_timing";
    const std::wstring pictures = root + L"\\pictures", small = root + L"\\small";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(pictures.c_str(), nullptr);
    CreateDirectoryW(small.c_str(), nullptr);
    const std::vector<std::wstring> files = MakePictures(FixturesDir(argv[0]), pictures, pictureCount);
    for (int i = 0; i < smallCount; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"\\s%05d.pi", i);
        CopyFileW((FixturesDir(argv[0]) + L"pi\\s04_dot_1x1_pi16.pi").c_str(), (small + name).c_str(), FALSE);
    }
    Gdiplus::GdiplusShutdown(token);

    // 1. The program on the folder of pictures, to the last thumbnail.
    const double start = Now();
    RegisterZizeClasses(GetModuleHandleW(nullptr));
    OleInitialize(nullptr);
    PrepareBrowserState();
    Settings settings = {};
    HWND window = CreateZizeWindow(settings);
    ItemIdListOwner folder(ILCreateFromPathW(pictures.c_str()));
    CreateMainChildren(&Browser, 288, folder.get());
    ShowWindow(window, SW_SHOWNORMAL);
    while (!(Browser.itemCount == static_cast<DWORD>(pictureCount) && AllTried()))
        HandleOne();
    const double browsed = Now() - start;

    // The loading road alone over the same files.
    const double loadStart = Now();
    int loaded = 0;
    for (const std::wstring& path : files) {
        FileHandle file = FileOpenRead(path.c_str());
        ThumbnailBlock thumb;
        ImageInfo info;
        if (file != kInvalidFile && LoadImageThumbnail(path.c_str(), file, &thumb, &info,
                                                       static_cast<uint32_t>(FileSize(file))) == 0)
            ++loaded;
        FileClose(file);
    }
    const double loading = Now() - loadStart;

    // 2. The folder of small files: listed, then the first thumbnail.
    ItemIdListOwner smallList(ILCreateFromPathW(small.c_str()));
    HTREEITEM item = FindTreeItem(Browser.left.control, TVI_ROOT, smallList.get());
    const double selected = Now();
    TreeView_SelectItem(Browser.left.control, item);
    while (Browser.itemCount != static_cast<DWORD>(smallCount))
        HandleOne();
    const double listed = Now();
    while (!AnyThumbnail())
        HandleOne();
    const double first = Now();

    std::printf("pictures: %d (%d load)\n", pictureCount, loaded);
    std::printf("start to last thumbnail: %.2f s (%.1f ms a picture)\n", browsed, browsed * 1000 / pictureCount);
    std::printf("LoadImageThumbnail alone: %.2f s (%.1f ms a picture)\n", loading, loading * 1000 / pictureCount);
    std::printf("browser / loading: %.2f\n", browsed / loading);
    std::printf("small files: %d\n", smallCount);
    std::printf("selection to every item listed: %.2f s\n", listed - selected);
    std::printf("listed to first thumbnail: %.3f s\n", first - listed);

    SendMessageW(window, WM_CLOSE, 0, 0);
    RunMessageLoop();
    ReleaseBrowserState();
    OleUninitialize();
    return 0;
}
