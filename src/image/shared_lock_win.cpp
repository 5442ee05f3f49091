#include "image/shared_lock_win.h"

CRITICAL_SECTION SharedLock;

void InitSharedLock()
{
    InitializeCriticalSection(&SharedLock);
}

void DeleteSharedLock()
{
    DeleteCriticalSection(&SharedLock);
}
