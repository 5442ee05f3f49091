// The wait cursor that long main-thread work shows. Only the Windows build
// has a cursor; natively these do nothing.
#pragma once

// Shows the wait cursor (true) or the arrow (false).
void ShowWaitCursor(bool wait);

// Shows the wait cursor for its lifetime and the arrow after it.
class ScopedWaitCursor {
public:
    ScopedWaitCursor() { ShowWaitCursor(true); }
    ~ScopedWaitCursor() { ShowWaitCursor(false); }
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;
};
