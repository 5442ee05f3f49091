// Small owners for what the user interface takes from the system and must
// give back on every path: GDI objects, device contexts and selections,
// icons, menus, image lists, item-ID lists, COM interfaces, kernel handles,
// modules and global or local memory. Each owner releases its object at the
// end of its scope; release() hands the object on instead.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

// Owns one object of type T and releases it with Free unless it is empty.
template <typename T, void (*Free)(T)>
class Unique {
public:
    Unique() = default;
    explicit Unique(T object) : object_(object) {}
    ~Unique() { reset(); }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : object_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return object_; }
    explicit operator bool() const { return object_ != T(); }
    T release()
    {
        T object = object_;
        object_ = T();
        return object;
    }
    void reset(T object = T())
    {
        if (object_ != T())
            Free(object_);
        object_ = object;
    }
    // The address to receive a new object; the old one is released first.
    T* receive()
    {
        reset();
        return &object_;
    }

private:
    T object_ = T();
};

namespace owners_detail {
inline void FreeGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void FreeMemoryDc(HDC dc) { DeleteDC(dc); }
inline void FreeIcon(HICON icon) { DestroyIcon(icon); }
inline void FreeMenu(HMENU menu) { DestroyMenu(menu); }
inline void FreeImageList(HIMAGELIST list) { ImageList_Destroy(list); }
inline void FreeItemIdList(LPITEMIDLIST list) { CoTaskMemFree(list); }
inline void FreeHandle(HANDLE handle) { CloseHandle(handle); }
inline void ReleaseModuleHandle(HMODULE module) { FreeLibrary(module); }
inline void FreeGlobal(HGLOBAL block) { GlobalFree(block); }
inline void FreeLocal(HLOCAL block) { LocalFree(block); }
inline void FreeCoTask(void* block) { CoTaskMemFree(block); }
}  // namespace owners_detail

using GdiObjectOwner = Unique<HGDIOBJ, owners_detail::FreeGdiObject>;
using MemoryDcOwner = Unique<HDC, owners_detail::FreeMemoryDc>;
using IconOwner = Unique<HICON, owners_detail::FreeIcon>;
using MenuOwner = Unique<HMENU, owners_detail::FreeMenu>;
using ImageListOwner = Unique<HIMAGELIST, owners_detail::FreeImageList>;
// Item-ID lists come from the shell's allocator (ILFree is CoTaskMemFree).
using ItemIdListOwner = Unique<LPITEMIDLIST, owners_detail::FreeItemIdList>;
// A kernel handle (thread, event, file); INVALID_HANDLE_VALUE is not taken.
using HandleOwner = Unique<HANDLE, owners_detail::FreeHandle>;
using ModuleOwner = Unique<HMODULE, owners_detail::ReleaseModuleHandle>;
using GlobalOwner = Unique<HGLOBAL, owners_detail::FreeGlobal>;
using LocalOwner = Unique<HLOCAL, owners_detail::FreeLocal>;
using CoTaskOwner = Unique<void*, owners_detail::FreeCoTask>;

// A device context of a window from GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context; the previous one is selected
// again at the end of the scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~Selection()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A locked global memory block, unlocked at the end of the scope.
template <typename T>
class GlobalLockHolder {
public:
    explicit GlobalLockHolder(HGLOBAL block) : block_(block), data_(static_cast<T*>(block ? GlobalLock(block) : nullptr)) {}
    ~GlobalLockHolder()
    {
        if (data_)
            GlobalUnlock(block_);
    }
    GlobalLockHolder(const GlobalLockHolder&) = delete;
    GlobalLockHolder& operator=(const GlobalLockHolder&) = delete;
    T* get() const { return data_; }

private:
    HGLOBAL block_;
    T* data_;
};

// One reference to a COM interface, released at the end of the scope.
template <typename I>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(I* object) : object_(object) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    I* get() const { return object_; }
    I* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    I* release()
    {
        I* object = object_;
        object_ = nullptr;
        return object;
    }
    void reset(I* object = nullptr)
    {
        if (object_)
            object_->Release();
        object_ = object;
    }
    // For QueryInterface and the shell's out-parameters.
    I** receive()
    {
        reset();
        return &object_;
    }
    void** receiveVoid() { return reinterpret_cast<void**>(receive()); }

private:
    I* object_ = nullptr;
};
