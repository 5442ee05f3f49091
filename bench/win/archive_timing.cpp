// Measures the archive window under Wine: for each archive named, the time
// from opening it to its last thumbnail, and in the same run the time that
// the member road alone takes (extraction, loading and scaling of every
// member, DecodeMember on the main thread), with their ratio.
//   archive_timing.exe ARCHIVE...
#include <windows.h>

#include <cstdio>

#include "app/startup.h"
#include "arcwin/archive_window.h"
#include "arcwin/archive_worker.h"
#include "image/imaging_services_win.h"
#include "image/shared_lock_win.h"
#include "ui/message_table.h"
#include "viewer/open_path.h"

#include "timing.h"

int wmain(int argc, wchar_t** argv)
{
    RegisterZizeClasses(GetModuleHandleW(nullptr));
    InitSharedLock();
    StartImagingServices();
    for (int a = 1; a < argc; ++a) {
        const wchar_t* path = argv[a];
        const double opened = Now();
        OpenPath(path);
        HWND window = FindWindowW(L"ZuzeDod", path);
        ArchiveWindowState* state = window ? RecordOf<ArchiveWindowState>(window) : nullptr;
        if (!state) {
            std::printf("%ls: no archive window\n", path);
            continue;
        }
        while (!state->thumbnailsDone)
            HandleOne();
        const double window_time = Now() - opened;
        WaitForSingleObject(state->workerThread, INFINITE);

        // The same members through the member road alone.
        const uint32_t count = state->reader.count;
        ArchiveThumbnail thumb;
        int made = 0;
        const double alone = Now();
        for (uint32_t i = 0; i < count; ++i)
            made += DecodeMember(state, &thumb, i) == 0;
        const double alone_time = Now() - alone;

        std::printf("%ls: %u members, %d pictures\n", path, count, made);
        std::printf("  opening to last thumbnail: %.2f s (%.1f ms a member)\n", window_time, window_time * 1000 / count);
        std::printf("  extraction + loading + scaling alone: %.2f s (%.1f ms a member)\n", alone_time,
                    alone_time * 1000 / count);
        std::printf("  window / alone: %.2f\n", window_time / alone_time);
        DestroyWindow(window);
    }
    StopImagingServices();
    DeleteSharedLock();
    return 0;
}
