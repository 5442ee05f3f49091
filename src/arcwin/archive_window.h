// The archive window class "ZuzeDod": the members of one ZIP or LZH archive
// as large icons, whose thumbnails its own worker thread makes, each
// opening in a viewer window from memory.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "archive/archive_reader.h"
#include "image/classify.h"
#include "image/decoded_image.h"
#include "platform/file.h"

// The record that one archive window owns, made by its creation handler
// and freed when it is destroyed.
struct ArchiveWindowState {
    HWND list;                    // the SysListView32 child
    HWND status;                  // the status bar child
    HINSTANCE instance;           // the program's, for the children and the viewer windows
    wchar_t* path;                // owned copy of the archive's path; also the title
    FileHandle file;              // the archive's read handle, handed to the reader
    HIMAGELIST imageList;         // the list view's thumbnails
    HANDLE workerThread;
    uint32_t workerThreadId;
    uint32_t thumbnailsDone;      // 1 once AT_FINISH has been posted: members decode here
    FileKind kind;                // KindZip or KindLzh
    ArchiveReader reader;
    ImageInfo* itemRecords;       // count records, zero until a member's thumbnail is made

    // The file icon's index in the image list.
    int fileIcon;
    // Set while the window is being destroyed: the worker's last answer
    // then destroys nothing more.
    bool destroying;
    // Held by whichever thread uses the reader (its file position, the LZH
    // tables): the worker serving an AT_OPEN may still extract while the
    // main thread, after AT_FINISH, decodes another member.
    CRITICAL_SECTION readerLock;
};

LRESULT CALLBACK ArchiveWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Opens member index in a viewer: on the main thread once the thumbnails
// are done, else by the worker between two thumbnails.
void OpenArchiveMember(ArchiveWindowState* state, uint32_t index);
