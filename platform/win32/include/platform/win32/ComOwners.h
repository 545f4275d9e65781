// SPDX-License-Identifier: MIT
// Owners of COM's resources, so that nothing is released by hand: a
// reference to an interface, a BSTR, a VARIANT, and COM or OLE started for
// a scope. The pointer's names (get, put, query) are those of WIL's com_ptr,
// which Windows programmers know.
#pragma once

#include <cstdint>
#include <ole2.h>
#include <oleauto.h>
#include <string_view>
#include <utility>

namespace tessaline::win32 {

// One counted reference to a COM interface, released when the owner goes.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference of its own to `p`.
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p != nullptr) {
            m_p->AddRef();
        }
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Takes over the reference the caller holds (a new object's first one).
    static ComPtr Adopt(T* p) {
        ComPtr owner;
        owner.m_p = p;
        return owner;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For an out-parameter that hands a reference over: what was held is
    // released first.
    T** put() {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    void reset() {
        if (T* held = std::exchange(m_p, nullptr)) {
            held->Release();
        }
    }
    // Gives the reference up to the caller.
    T* detach() { return std::exchange(m_p, nullptr); }
    // A new reference into `out`, as an interface method hands one out.
    void copy_to(T** out) const {
        *out = m_p;
        if (m_p != nullptr) {
            m_p->AddRef();
        }
    }

    // The object's interface U; empty when it has none.
    template <typename U> ComPtr<U> query() const { return query<U>(__uuidof(U)); }
    // The object's interface `iid`, which U stands for (an interface known
    // only by its identifier, such as a control's events).
    template <typename U> ComPtr<U> query(REFIID iid) const {
        ComPtr<U> other;
        if (m_p != nullptr && FAILED(m_p->QueryInterface(iid, other.put_void()))) {
            other.detach(); // a failed QueryInterface leaves null, or garbage
        }
        return other;
    }

private:
    T* m_p = nullptr;
};

// A BSTR, freed when the owner goes.
class Bstr {
public:
    Bstr() = default;
    // A copy of `text`; empty (null) when there is no memory for it.
    explicit Bstr(std::wstring_view text)
        : m_text(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(Bstr&& other) noexcept : m_text(std::exchange(other.m_text, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        std::swap(m_text, other.m_text);
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { reset(); }

    BSTR get() const { return m_text; }
    BSTR* put() {
        reset();
        return &m_text;
    }
    // The string's own place, for a by-reference argument the callee may
    // replace (what it puts there is then this owner's).
    BSTR* addressof() { return &m_text; }
    void reset() { ::SysFreeString(std::exchange(m_text, nullptr)); }
    BSTR detach() { return std::exchange(m_text, nullptr); }
    std::wstring_view view() const { return {m_text, ::SysStringLen(m_text)}; }

private:
    BSTR m_text = nullptr;
};

// A VARIANT, cleared (its string or reference freed) when the owner goes.
class Variant {
public:
    Variant() { ::VariantInit(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&m_value); }

    VARIANT* get() { return &m_value; }
    const VARIANT* get() const { return &m_value; }
    VARIANT* operator->() { return &m_value; }
    const VARIANT* operator->() const { return &m_value; }
    // For an out-parameter: what was held is cleared first.
    VARIANT* put() {
        ::VariantClear(&m_value);
        return &m_value;
    }

private:
    VARIANT m_value;
};

// The error information of a failed IDispatch::Invoke, freed when it goes.
struct ExceptionInfo : EXCEPINFO {
    ExceptionInfo() : EXCEPINFO{} {}
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() {
        ::SysFreeString(bstrSource);
        ::SysFreeString(bstrDescription);
        ::SysFreeString(bstrHelpFile);
    }
};

// COM (apartment-threaded) or OLE started on this thread for the owner's
// life; stopped again only when this owner started it.
class ComScope {
public:
    enum class Kind { Com, Ole };
    explicit ComScope(Kind kind = Kind::Com)
        : m_kind(kind),
          m_started(kind == Kind::Ole ? ::OleInitialize(nullptr)
                                      : ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(m_started)) {
            if (m_kind == Kind::Ole) {
                ::OleUninitialize();
            } else {
                ::CoUninitialize();
            }
        }
    }

    // What starting said: S_OK, S_FALSE (already started here), or a
    // failure; RPC_E_CHANGED_MODE is a thread where COM runs in another mode.
    HRESULT Started() const { return m_started; }
    // COM can be used on this thread.
    bool Usable() const { return SUCCEEDED(m_started) || m_started == RPC_E_CHANGED_MODE; }

private:
    Kind m_kind;
    HRESULT m_started;
};

} // namespace tessaline::win32
