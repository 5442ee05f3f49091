// The IUnknown part shared by the codec's objects: a reference count, the
// module's object count for DllCanUnloadNow, and QueryInterface over the
// interfaces that Derived::Find(iid) names (nullptr for the others).
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "codec/module_state.h"

template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = static_cast<Derived*>(this)->Find(iid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

    // Hands the new object, created with one reference, over as iid and
    // drops that reference: the object dies here when iid is refused.
    HRESULT Hand(REFIID iid, void** object)
    {
        HRESULT hr = QueryInterface(iid, object);
        Release();
        return hr;
    }

protected:
    ComObject() = default;
    ~ComObject() = default;

private:
    ModuleObjectCount count_;
    LONG refs_ = 1;
};
