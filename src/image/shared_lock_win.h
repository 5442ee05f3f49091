// SharedLock: the one process-wide critical section. It guards every access
// to a picture's pixels inside the platform's imaging library and the queue
// of shell change notifications. The main window initialises it when it is
// created and deletes it when it is destroyed; tests use the same functions.
#pragma once

#include <windows.h>

extern CRITICAL_SECTION SharedLock;

void InitSharedLock();
void DeleteSharedLock();

// Holds SharedLock for the life of the object.
class SharedLockHolder {
public:
    SharedLockHolder() { EnterCriticalSection(&SharedLock); }
    ~SharedLockHolder() { LeaveCriticalSection(&SharedLock); }
    SharedLockHolder(const SharedLockHolder&) = delete;
    SharedLockHolder& operator=(const SharedLockHolder&) = delete;
};
