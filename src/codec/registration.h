// The registry entries of ZizeCodec.dll: each decoder class with its
// container format, extensions, pixel format and patterns, listed in the
// imaging component's decoder category; the thumbnail handler's class; and
// the handler named under each extension's ShellEx key. Everything is
// written below one classes key, and unregistering removes exactly what
// registering wrote.
#pragma once

#include <windows.h>

// Opens the classes key that DllRegisterServer writes to: the machine's
// (HKLM\Software\Classes) when the process is elevated, else the current
// user's (HKCU\Software\Classes). The caller closes it.
HRESULT OpenRegistrationClasses(HKEY* classes);

// Writes every entry below classes, with dllPath as the server. An
// extension whose thumbnail handler is already another's is left to it.
// When a write fails, what was written is removed again and
// SELFREG_E_CLASS is returned.
HRESULT RegisterCodec(HKEY classes, const wchar_t* dllPath);

// Removes every key that RegisterCodec writes, a thumbnail handler entry
// only when it names the codec's class, and then the keys above them that
// are left empty, up to (not including) the classes key.
// Nothing else is touched. Returns S_OK also when nothing was registered.
HRESULT UnregisterCodec(HKEY classes);
