// SPDX-License-Identifier: MIT
// Owners of the system's handles, each closed the way its kind is closed
// when the owner goes.
#pragma once

#include <utility>
#include <windows.h>

namespace tessaline::win32 {

// A handle of the kind Traits describes: its type, its "none" value and
// how it is closed.
template <typename Traits> class UniqueHandleOf {
public:
    using Handle = typename Traits::Handle;

    UniqueHandleOf() = default;
    explicit UniqueHandleOf(Handle handle) : m_handle(handle) {}
    UniqueHandleOf(UniqueHandleOf&& other) noexcept
        : m_handle(std::exchange(other.m_handle, Traits::None())) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    ~UniqueHandleOf() { reset(); }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::None(); }
    // For an out-parameter: what was held is closed first.
    Handle* put() {
        reset();
        return &m_handle;
    }
    void reset() {
        if (const Handle held = std::exchange(m_handle, Traits::None()); held != Traits::None()) {
            Traits::Close(held);
        }
    }
    // Gives the handle up to the caller.
    Handle release() { return std::exchange(m_handle, Traits::None()); }

private:
    Handle m_handle = Traits::None();
};

namespace detail {

// CreateFile's handles: INVALID_HANDLE_VALUE for none.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { ::CloseHandle(handle); }
};
// The other kernel handles (sections, events, processes): null for none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::CloseHandle(handle); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::FreeLibrary(handle); }
};
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::RegCloseKey(handle); }
};
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::LocalFree(handle); }
};
template <typename Object> struct GdiObjectTraits {
    using Handle = Object;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::DeleteObject(handle); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle None() { return nullptr; }
    static void Close(Handle handle) { ::DeleteDC(handle); }
};
// ClosePrinter is winspool's: it is defined beside the spooler backend, which
// links winspool, so that only the users of printers take winspool in.
struct PrinterTraits {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static void Close(Handle handle);
};

} // namespace detail

using UniqueFile = UniqueHandleOf<detail::FileHandleTraits>;
using UniqueHandle = UniqueHandleOf<detail::KernelHandleTraits>;
using UniqueModule = UniqueHandleOf<detail::ModuleTraits>;
using UniqueRegistryKey = UniqueHandleOf<detail::RegistryKeyTraits>;
// Memory the system allocated for the caller with LocalAlloc.
using UniqueLocalMemory = UniqueHandleOf<detail::LocalMemoryTraits>;
// GDI objects, deleted with DeleteObject: never while selected into a device
// context (SelectedObject, declared after the owner, selects the old one back
// first). A bitmap or font handed to a window stays the caller's to keep
// alive while the window uses it, unless the window takes it over.
using UniqueBitmap = UniqueHandleOf<detail::GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandleOf<detail::GdiObjectTraits<HBRUSH>>;
using UniqueFont = UniqueHandleOf<detail::GdiObjectTraits<HFONT>>;
using UniquePen = UniqueHandleOf<detail::GdiObjectTraits<HPEN>>;
// A device context of our own (CreateCompatibleDC), deleted with DeleteDC.
using UniqueMemoryDc = UniqueHandleOf<detail::MemoryDcTraits>;
// A printer OpenPrinter or AddPrinter gave; the spooler backend's users only.
using UniquePrinter = UniqueHandleOf<detail::PrinterTraits>;

// A window's device context from GetDC (the screen's for no window), given
// back to that same window with ReleaseDC when the owner goes.
class UniqueWindowDc {
public:
    explicit UniqueWindowDc(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    UniqueWindowDc(const UniqueWindowDc&) = delete;
    UniqueWindowDc& operator=(const UniqueWindowDc&) = delete;
    ~UniqueWindowDc() {
        if (m_dc != nullptr) {
            ::ReleaseDC(m_window, m_dc);
        }
    }

    HDC get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// `object` selected into `dc` for the owner's life; the object it replaced is
// selected back when the owner goes. Nothing is selected for a null object
// (one that could not be made).
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_previous(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (m_previous != nullptr) {
            ::SelectObject(m_dc, m_previous);
        }
    }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace tessaline::win32
