// The program's one drop source: what the platform's drag loop asks while
// the user drags items out of the file list.
#pragma once

#include <windows.h>
#include <ole2.h>

// A drop source with an atomic reference count. Made once at start-up with
// one reference, released at the end; the platform may add and release
// references from its own code during a drag.
class CDropSource final : public IDropSource {
public:
    // IID_IUnknown and IID_IDropSource hand out this object with a new
    // reference; anything else clears *out and gives E_NOINTERFACE.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    // Return the count after the change; Release deletes the object at 0.
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // Escape cancels the drag, releasing the left button drops, otherwise
    // the drag goes on.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    // The platform's own cursors are shown.
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

private:
    friend IDropSource* CreateDropSource();
    CDropSource() = default;
    ~CDropSource() = default;

    volatile LONG references_ = 1;
};

// A new drop source with one reference, or nullptr when memory is short.
IDropSource* CreateDropSource();
