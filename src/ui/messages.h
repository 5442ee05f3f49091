// The program's own window and thread messages, all WM_APP + n.
#pragma once

#include <windows.h>

#include <cstdint>

// To the folder worker thread (posted with PostThreadMessageW).
constexpr UINT WT_QUIT = WM_APP + 0x00;
constexpr UINT WT_START_LIST = WM_APP + 0x01;
constexpr UINT WT_RENDER_ITEM = WM_APP + 0x02;
constexpr UINT WT_NEXT = WM_APP + 0x03;
constexpr UINT WT_LIST_FOLDER = WM_APP + 0x04;
constexpr UINT WT_CHANGES = WM_APP + 0x05;

// To the pane windows: shell change notifications.
constexpr UINT MSG_TREE_CHANGE = WM_APP + 0x0B;
constexpr UINT MSG_LIST_CHANGE = WM_APP + 0x0C;

// To the main window.
constexpr UINT MSG_CONTROL = WM_APP + 0x11;
constexpr UINT MSG_OPEN_PENDING = WM_APP + 0x13;
constexpr UINT MSG_REQUEST_ITEM = WM_APP + 0x14;
constexpr UINT MSG_THUMBNAIL_READY = WM_APP + 0x15;
constexpr UINT MSG_FOLDER_LISTED = WM_APP + 0x16;
constexpr UINT MSG_RESTART = WM_APP + 0x17;
constexpr UINT MSG_CHANGES_PENDING = WM_APP + 0x18;

// To an archive worker thread (posted with PostThreadMessageW); wParam is
// the member index for AT_RENDER and AT_OPEN, 0 otherwise.
constexpr UINT AT_QUIT = WM_APP + 0x00;
constexpr UINT AT_START = WM_APP + 0x01;
constexpr UINT AT_RENDER = WM_APP + 0x02;
constexpr UINT AT_FINISH = WM_APP + 0x05;
constexpr UINT AT_OPEN = WM_APP + 0x06;

// To an archive window, sent by its worker (MSG_CONTROL and
// MSG_THUMBNAIL_READY too): wParam the member's name, lParam a filled
// ViewerImage that the window takes over.
constexpr UINT MSG_SHOW_MEMBER = WM_APP + 0x14;

// lParam values of MSG_CONTROL.
constexpr LPARAM CONTROL_WORKER_EXITED = 0x8008;
constexpr LPARAM CONTROL_KEY = 0x800A;

// The hand-over of a second instance: WM_COPYDATA with this dwData.
constexpr ULONG_PTR COPYDATA_PENDING_PATH = 1;

// The folder worker's save area, passed by address with
// MSG_CHANGES_PENDING (valid until that send returns): the deferred
// WT_NEXT and the scan position, which the main thread keeps in step while
// it adds and removes list items.
struct WorkerSaveArea {
    uint64_t nextWParam;  // the deferred WT_NEXT's wParam
    uint64_t nextMode;    // and its mode
    uint32_t itemCount;
    int32_t currentIndex;  // -1 = none
};

// The folder worker's reply record, passed by address with
// MSG_THUMBNAIL_READY (valid until that send returns): the result data (an
// ImageInfo for a picture, the icon buffer for a shell icon) and the list
// index it belongs to.
struct WorkerReply {
    const void* data;
    uint32_t index;
};
