// SPDX-License-Identifier: MIT
// One IUnknown for the COM objects of this project: QueryInterface from the
// list of interfaces an object names, AddRef and Release on one count.
#pragma once

#include <objbase.h>

namespace tessaline::win32 {

// An interface I of the list that also answers for the interfaces it
// extends, such as IViewObject2 for IViewObject.
template <typename I, typename... Extended> struct AlsoAs {};

namespace detail {

template <typename Entry> struct InterfaceEntry {
    using Type = Entry;
    static bool Answers(REFIID iid) { return IsEqualIID(iid, __uuidof(Entry)) != 0; }
};
template <typename I, typename... Extended> struct InterfaceEntry<AlsoAs<I, Extended...>> {
    using Type = I;
    static bool Answers(REFIID iid) {
        return IsEqualIID(iid, __uuidof(I)) || (IsEqualIID(iid, __uuidof(Extended)) || ...);
    }
};

template <typename Entry> using InterfaceOf = typename InterfaceEntry<Entry>::Type;
template <typename First, typename...> struct FirstOf { using Type = First; };

// The interface of `self` the list names for `iid` (IUnknown: the first), or null.
template <typename... Entries, typename Self> void* FindInterface(Self* self, REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown)) {
        return static_cast<InterfaceOf<typename FirstOf<Entries...>::Type>*>(self);
    }
    void* found = nullptr;
    static_cast<void>(((InterfaceEntry<Entries>::Answers(iid)
                            ? (found = static_cast<InterfaceOf<Entries>*>(self), true)
                            : false) ||
                       ...));
    return found;
}

} // namespace detail

// The base of a COM object implementing the interfaces of Entries (each an
// interface, or AlsoAs<I, ...>). The object starts with one reference, its
// creator's, and deletes itself with the last. An object answering further
// identifiers (a dispatch interface named by its own IID) hides QueryOther,
// which is asked when the list has no answer.
template <typename Derived, typename... Entries>
class ComObject : public detail::InterfaceOf<Entries>... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        auto* self = static_cast<Derived*>(this);
        void* found = detail::FindInterface<Entries...>(self, iid);
        if (found == nullptr) {
            found = self->QueryOther(iid);
        }
        *object = found;
        if (found == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&m_references));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    // The interface for an identifier beyond the list; null: none.
    void* QueryOther(REFIID) { return nullptr; }

private:
    LONG m_references = 1;
};

// The base of a COM object that lives inside another and shares its count
// (a connection point inside its control): QueryInterface from the list,
// AddRef and Release passed to the owner.
template <typename... Entries> class ComPart : public detail::InterfaceOf<Entries>... {
public:
    explicit ComPart(IUnknown& owner) : m_owner(owner) {}
    ComPart(const ComPart&) = delete;
    ComPart& operator=(const ComPart&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = detail::FindInterface<Entries...>(this, iid);
        if (*object == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner.Release(); }

protected:
    ~ComPart() = default;

private:
    IUnknown& m_owner;
};

} // namespace tessaline::win32
