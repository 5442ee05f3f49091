// The class object of each codec class: decoders for the five formats and
// the thumbnail handler.
#pragma once

#include <windows.h>

// Returns in object the class object of clsid, asked for as iid.
// CLASS_E_CLASSNOTAVAILABLE for a class the codec does not have.
HRESULT GetCodecClassObject(REFCLSID clsid, REFIID iid, void** object);
