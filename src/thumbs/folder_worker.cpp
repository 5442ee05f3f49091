#include "thumbs/folder_worker.h"

#include "ui/browser_state.h"
#include "ui/messages.h"

// Makes its message queue, signals the worker-ready event, then takes
// messages until WT_QUIT, which it answers with CONTROL_WORKER_EXITED.
// No thumbnail work is done: every other message is ignored.
DWORD WINAPI FolderWorkerThread(void* param)
{
    BrowserState* state = static_cast<BrowserState*>(param);

    // The queue exists once the thread has peeked at it.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(state->workerReady);

    // Until WT_QUIT (or the end of the queue).
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WT_QUIT)
            break;
    }

    // The main window destroys itself only after this answer.
    SendMessageW(state->mainWindow, MSG_CONTROL, 0, CONTROL_WORKER_EXITED);
    return 0;
}
