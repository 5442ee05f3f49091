// The entry points of ZizeCodec.dll, exported by ZizeCodec.def.
#include <windows.h>
#include <olectl.h>

#include "codec/class_factory.h"
#include "codec/module_state.h"
#include "codec/registration.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    // Thread notifications stay on: the static runtime's thread-local
    // storage is cleaned up through them.
    if (reason == DLL_PROCESS_ATTACH)
        SetCodecModule(instance);
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return GetCodecClassObject(clsid, iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return ModuleCanUnload() ? S_OK : S_FALSE;
}

// Registers the codec for the current user, or for the machine when the
// process is elevated.
HRESULT STDAPICALLTYPE DllRegisterServer()
{
    wchar_t path[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(CodecModule(), path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0])
        return SELFREG_E_CLASS;
    HKEY classes = nullptr;
    HRESULT hr = OpenRegistrationClasses(&classes);
    if (FAILED(hr))
        return hr;
    hr = RegisterCodec(classes, path);
    RegCloseKey(classes);
    return hr;
}

HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    HKEY classes = nullptr;
    HRESULT hr = OpenRegistrationClasses(&classes);
    if (FAILED(hr))
        return hr;
    hr = UnregisterCodec(classes);
    RegCloseKey(classes);
    return hr;
}

}  // extern "C"
