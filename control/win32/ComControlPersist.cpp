// SPDX-License-Identifier: MIT
// The control's persistent state: the version 1.0 and the extent.
#include "ComControl.h"
#include "ComIds.h"

#include <cstdint>
#include <cstring>

namespace tessaline::com {

namespace {

constexpr DWORD kStateVersion = static_cast<DWORD>(kTypeLibMajor) << 16 | kTypeLibMinor;

// The stream form: version (major in the high word), then the extent in
// HIMETRIC, each 32-bit little-endian.
struct StreamState {
    DWORD version;
    LONG cx;
    LONG cy;
};
static_assert(sizeof(StreamState) == 12);

// The stream inside a container's storage that holds the stream form.
constexpr const wchar_t* kContentsStream = L"Contents";

constexpr const wchar_t* kVersionName = L"_Version";
constexpr const wchar_t* kExtentXName = L"_ExtentX";
constexpr const wchar_t* kExtentYName = L"_ExtentY";

// The bag's value as a 32-bit number; false when it is absent or no number.
bool ReadBagNumber(IPropertyBag* bag, const wchar_t* name, IErrorLog* log, LONG& number) {
    win32::Variant value;
    value->vt = VT_I4;
    if (FAILED(bag->Read(name, value.get(), log))) {
        return false;
    }
    const bool ok = SUCCEEDED(::VariantChangeType(value.get(), value.get(), 0, VT_I4));
    if (ok) {
        number = value->lVal;
    }
    return ok;
}

HRESULT WriteBagNumber(IPropertyBag* bag, const wchar_t* name, LONG number) {
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return bag->Write(name, &value);
}

// Only a state saved by a version 1 control has a layout we know.
bool IsKnownVersion(DWORD version) {
    return (version >> 16) == kTypeLibMajor;
}

} // namespace

HRESULT STDMETHODCALLTYPE ComControl::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = kControlClsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::IsDirty() {
    return m_dirty ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE ComControl::Load(LPSTREAM stream) {
    if (stream == nullptr) {
        return E_POINTER;
    }
    StreamState state{};
    ULONG read = 0;
    const HRESULT hr = stream->Read(&state, sizeof(state), &read);
    if (FAILED(hr)) {
        return hr;
    }
    if (read != sizeof(state)) {
        return STG_E_READFAULT;
    }
    if (!IsKnownVersion(state.version) || state.cx < 0 || state.cy < 0) {
        return E_FAIL;
    }
    m_extent = {state.cx, state.cy};
    m_initialised = true;
    m_dirty = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::Save(LPSTREAM stream, BOOL clearDirty) {
    if (stream == nullptr) {
        return E_POINTER;
    }
    const StreamState state{kStateVersion, m_extent.cx, m_extent.cy};
    ULONG written = 0;
    const HRESULT hr = stream->Write(&state, sizeof(state), &written);
    if (FAILED(hr)) {
        return hr;
    }
    if (written != sizeof(state)) {
        return STG_E_WRITEFAULT;
    }
    if (clearDirty) {
        m_dirty = false;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr) {
        return E_POINTER;
    }
    size->QuadPart = sizeof(StreamState);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::InitNew() {
    if (m_initialised) {
        return E_UNEXPECTED;
    }
    m_initialised = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (bag == nullptr) {
        return E_POINTER;
    }
    LONG version = 0;
    if (ReadBagNumber(bag, kVersionName, log, version) &&
        !IsKnownVersion(static_cast<DWORD>(version))) {
        return E_FAIL;
    }
    // A bag without an extent (a page's <object> tag) keeps the default size.
    LONG cx = m_extent.cx;
    LONG cy = m_extent.cy;
    ReadBagNumber(bag, kExtentXName, log, cx);
    ReadBagNumber(bag, kExtentYName, log, cy);
    if (cx < 0 || cy < 0) {
        return E_FAIL;
    }
    m_extent = {cx, cy};
    m_initialised = true;
    m_dirty = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (bag == nullptr) {
        return E_POINTER;
    }
    HRESULT hr = WriteBagNumber(bag, kVersionName, static_cast<LONG>(kStateVersion));
    if (SUCCEEDED(hr)) {
        hr = WriteBagNumber(bag, kExtentXName, m_extent.cx);
    }
    if (SUCCEEDED(hr)) {
        hr = WriteBagNumber(bag, kExtentYName, m_extent.cy);
    }
    if (SUCCEEDED(hr) && clearDirty) {
        m_dirty = false;
    }
    return hr;
}

HRESULT STDMETHODCALLTYPE ComControl::InitNew(IStorage* storage) {
    if (storage == nullptr) {
        return E_POINTER;
    }
    return InitNew();
}

HRESULT STDMETHODCALLTYPE ComControl::Load(IStorage* storage) {
    if (storage == nullptr) {
        return E_POINTER;
    }
    win32::ComPtr<IStream> stream;
    const HRESULT hr = storage->OpenStream(kContentsStream, nullptr,
                                           STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put());
    return FAILED(hr) ? hr : Load(stream.get());
}

HRESULT STDMETHODCALLTYPE ComControl::Save(IStorage* storage, BOOL) {
    if (storage == nullptr) {
        return E_POINTER;
    }
    win32::ComPtr<IStream> stream;
    const HRESULT hr = storage->CreateStream(
        kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.put());
    return FAILED(hr) ? hr : Save(stream.get(), FALSE);
}

HRESULT STDMETHODCALLTYPE ComControl::SaveCompleted(IStorage*) {
    m_dirty = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::HandsOffStorage() {
    // The state lives in the object, not in the storage: nothing to let go.
    return S_OK;
}

} // namespace tessaline::com
