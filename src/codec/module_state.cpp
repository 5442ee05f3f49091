#include "codec/module_state.h"

namespace {

LONG objects = 0;
LONG locks = 0;
HMODULE codecModule = nullptr;

}  // namespace

void ModuleObjectCreated()
{
    InterlockedIncrement(&objects);
}

void ModuleObjectDestroyed()
{
    InterlockedDecrement(&objects);
}

void ModuleLock(bool lock)
{
    if (lock)
        InterlockedIncrement(&locks);
    else {
        // An unlock without a lock is ignored rather than counted below zero.
        LONG now = InterlockedCompareExchange(&locks, 0, 0);
        while (now > 0) {
            LONG seen = InterlockedCompareExchange(&locks, now - 1, now);
            if (seen == now)
                break;
            now = seen;
        }
    }
}

bool ModuleCanUnload()
{
    return InterlockedCompareExchange(&objects, 0, 0) == 0 && InterlockedCompareExchange(&locks, 0, 0) == 0;
}

void SetCodecModule(HMODULE module)
{
    codecModule = module;
}

HMODULE CodecModule()
{
    return codecModule;
}
