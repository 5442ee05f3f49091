// What DllCanUnloadNow looks at: the number of live objects of the codec
// (class factories, decoders, frames, thumbnail handlers) and the number of
// IClassFactory::LockServer locks, both counted atomically.
#pragma once

#include <windows.h>

void ModuleObjectCreated();
void ModuleObjectDestroyed();
void ModuleLock(bool lock);

// True when no object lives and no lock is held.
bool ModuleCanUnload();

// The codec's own module, for its path; set by DllMain.
void SetCodecModule(HMODULE module);
HMODULE CodecModule();

// Counts one object for the life of whatever holds it.
class ModuleObjectCount {
public:
    ModuleObjectCount() { ModuleObjectCreated(); }
    ~ModuleObjectCount() { ModuleObjectDestroyed(); }
    ModuleObjectCount(const ModuleObjectCount&) = delete;
    ModuleObjectCount& operator=(const ModuleObjectCount&) = delete;
};
