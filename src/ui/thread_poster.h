// The main thread's way to a worker thread: its id and handle, posts that
// are repeated every 10 ms until the worker's queue takes them, and whether
// the thread still runs. A post to a thread that has ended fails at once
// instead of repeating for ever.
#pragma once

#include <windows.h>

struct ThreadPoster {
    HANDLE thread;
    DWORD threadId;

    // Whether the thread exists and has not ended.
    bool Running() const
    {
        DWORD code = 0;
        return thread && GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
    }

    // Posts the message, repeating until it is taken. Returns false when
    // the thread is not running.
    bool Post(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return PostMade([&](UINT* m, WPARAM* w, LPARAM* l) {
            *m = message;
            *w = wParam;
            *l = lParam;
        });
    }

    // As Post, with the message made anew before every try (for a
    // parameter that the main thread may change between two tries).
    template <typename Make>
    bool PostMade(Make make) const
    {
        for (;;) {
            UINT message = 0;
            WPARAM wParam = 0;
            LPARAM lParam = 0;
            make(&message, &wParam, &lParam);
            if (PostThreadMessageW(threadId, message, wParam, lParam))
                return true;
            if (!Running())
                return false;
            Sleep(10);
        }
    }
};
