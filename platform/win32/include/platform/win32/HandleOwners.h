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

} // namespace detail

using UniqueFile = UniqueHandleOf<detail::FileHandleTraits>;
using UniqueHandle = UniqueHandleOf<detail::KernelHandleTraits>;
using UniqueModule = UniqueHandleOf<detail::ModuleTraits>;
using UniqueRegistryKey = UniqueHandleOf<detail::RegistryKeyTraits>;
// Memory the system allocated for the caller with LocalAlloc.
using UniqueLocalMemory = UniqueHandleOf<detail::LocalMemoryTraits>;

} // namespace tessaline::win32
