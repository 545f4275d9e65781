// SPDX-License-Identifier: MIT
// ControlHost on Windows: the registered ActiveX control, created by ProgID
// through COM and called through IDispatch; events through its connection
// point, type information from its type library.
#include "platform/component/ControlHost.h"

#include "ComTypeDescription.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/ComEventSink.h"
#include "platform/win32/ComOwners.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <optional>
#include <utility>
#include <vector>

namespace tessaline {

namespace {

constexpr int kGuidTextLength = 39; // "{...}" and the closing zero

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// What the system says of `result`, with its number.
std::string Describe(HRESULT result) {
    return win32::SystemErrorText(static_cast<uint32_t>(result)) + " (" + Hex(result) + ")";
}

// How the host's strings are written: UTF-8, or the ANSI code page.
struct TextCoding {
    bool utf8 = false;

    std::wstring Wide(std::string_view text) const {
        return utf8 ? win32::Widen(text) : win32::FromAnsi(text);
    }
    std::string Bytes(std::wstring_view text) const {
        return utf8 ? win32::Narrow(text) : win32::ToAnsi(text);
    }
};

// An argument of the component ABI as IDispatch takes it. Strings become
// BSTRs `strings` keeps; references point at the caller's own variables.
bool ToVariant(const TsVariant& in, VARIANT& out, const TextCoding& coding,
               std::vector<win32::Bstr>& strings) {
    ::VariantInit(&out);
    const bool byRef = (in.vt & TS_VT_BYREF) != 0;
    switch (in.vt & ~TS_VT_BYREF) {
    case TS_VT_I2:
        if (byRef) {
            out.vt = VT_BYREF | VT_I2;
            out.piVal = in.u.pi2;
            return in.u.pi2 != nullptr;
        }
        out.vt = VT_I2;
        out.iVal = in.u.i2;
        return true;
    case TS_VT_I4:
        if (byRef) {
            // LONG is 32 bits on Windows, like int32_t.
            static_assert(sizeof(LONG) == sizeof(int32_t));
            out.vt = VT_BYREF | VT_I4;
            out.plVal = reinterpret_cast<LONG*>(in.u.pi4);
            return in.u.pi4 != nullptr;
        }
        out.vt = VT_I4;
        out.lVal = in.u.i4;
        return true;
    case TS_VT_STR: {
        const char* text = byRef ? (in.u.pstr != nullptr ? *in.u.pstr : nullptr) : in.u.str;
        if (byRef && in.u.pstr == nullptr) {
            return false;
        }
        win32::Bstr& value = strings.emplace_back(coding.Wide(text != nullptr ? text : ""));
        if (value.get() == nullptr) {
            return false;
        }
        if (byRef) {
            out.vt = VT_BYREF | VT_BSTR;
            out.pbstrVal = value.addressof();
        } else {
            out.vt = VT_BSTR;
            out.bstrVal = value.get();
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace

struct ControlHost::State {
    ~State();
    // Finds the connection point of the control's events.
    void FindEvents();
    void Disconnect();

    // Declared first, so that COM stops after everything below is let go.
    std::optional<win32::ComScope> com;
    win32::ComPtr<IDispatch> control;
    win32::ComPtr<IConnectionPoint> events;
    IID eventsIid{};
    std::vector<std::pair<uint32_t, win32::ComPtr<win32::ComEventSink>>> sinks;
    TextCoding coding;
    MessageBoxHandler messageBox;
    std::unique_ptr<win32::ComTypeDescription> typeLib;
    std::vector<std::string> verbNames;
};

ControlHost::State::~State() {
    Disconnect();
}

void ControlHost::State::Disconnect() {
    for (auto& [cookie, sink] : sinks) {
        if (events) {
            events->Unadvise(cookie);
        }
        sink->Detach();
    }
    sinks.clear();
    events.reset();
    control.reset();
}

void ControlHost::State::FindEvents() {
    // The events go through the connection point of the interface the
    // control names as its default source.
    const auto classInfo = control.query<IProvideClassInfo2>();
    const auto container = control.query<IConnectionPointContainer>();
    if (classInfo && container &&
        SUCCEEDED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &eventsIid)) &&
        FAILED(container->FindConnectionPoint(eventsIid, events.put()))) {
        events.detach();
    }
}

ControlHost::ControlHost() : m_state(std::make_unique<State>()) {}

ControlHost::~ControlHost() = default;

Result<std::unique_ptr<ControlHost>> ControlHost::CreateByProgId(const std::string& progId) {
    using R = Result<std::unique_ptr<ControlHost>>;
    std::unique_ptr<ControlHost> host(new ControlHost());
    State& state = *host->m_state;
    const win32::ComScope& com = state.com.emplace();
    if (!com.Usable()) {
        return R::Fail("cannot start COM: " + Describe(com.Started()));
    }

    const std::wstring wideProgId = win32::FromAnsi(progId);
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(wideProgId.c_str(), &clsid))) {
        return R::Fail("The control \"" + progId +
                       "\" is not registered. Register the control library first, for example: "
                       "tessaline-cli register Tessaline.ocx (or regsvr32 Tessaline.ocx, as an "
                       "administrator)");
    }
    wchar_t clsidText[kGuidTextLength] = {};
    ::StringFromGUID2(clsid, clsidText, kGuidTextLength);
    wchar_t path[MAX_PATH] = {};
    LONG pathBytes = sizeof(path) - sizeof(wchar_t);
    const std::wstring serverKey = std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32";
    if (::RegQueryValueW(HKEY_CLASSES_ROOT, serverKey.c_str(), path, &pathBytes) == ERROR_SUCCESS) {
        host->m_libraryPath = win32::ToAnsi(path);
    }
    const HRESULT created = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                               state.control.put_void());
    if (FAILED(created)) {
        state.control.detach();
        return R::Fail("cannot create \"" + progId + "\" from " +
                       (host->m_libraryPath.empty() ? std::string("its registered library")
                                                    : host->m_libraryPath) +
                       ": " + Describe(created) +
                       ". If the library has moved, register it again: tessaline-cli register "
                       "Tessaline.ocx");
    }

    state.FindEvents();
    return host;
}

std::unique_ptr<ControlHost> ControlHost::Adopt(IDispatch* control) {
    std::unique_ptr<ControlHost> host(new ControlHost());
    State& state = *host->m_state;
    state.coding.utf8 = true;
    state.control = win32::ComPtr<IDispatch>(control);
    state.FindEvents();
    return host;
}

void ControlHost::Disconnect() {
    m_state->Disconnect();
}

TsResult ControlHost::GetIDOfName(const std::string& name, int32_t& dispid) const {
    if (!m_state->control) {
        return TS_E_POINTER;
    }
    std::wstring wide = m_state->coding.Wide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = 0;
    const HRESULT hr =
        m_state->control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
        dispid = id;
    }
    return static_cast<TsResult>(hr);
}

TsResult ControlHost::Invoke(int32_t dispid, std::span<TsVariant> args, TsVariant* result) {
    if (result != nullptr) {
        *result = TsVariant{};
    }
    if (!m_state->control) {
        return TS_E_POINTER;
    }
    std::vector<win32::Bstr> strings;
    strings.reserve(args.size()); // references to strings point into it
    std::vector<VARIANT> reversed(args.size());
    bool bound = true;
    for (size_t i = 0; i < args.size() && bound; ++i) {
        // DISPPARAMS holds the arguments last to first.
        bound = ToVariant(args[i], reversed[args.size() - 1 - i], m_state->coding, strings);
    }
    HRESULT hr = TS_DISP_E_TYPEMISMATCH;
    win32::Variant out;
    if (bound) {
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                          static_cast<UINT>(reversed.size()), 0};
        win32::ExceptionInfo exception;
        UINT argError = 0;
        hr = m_state->control->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &params, out.get(), &exception, &argError);
    }
    if (SUCCEEDED(hr) && result != nullptr) {
        switch (out->vt) {
        case VT_I4:
            result->vt = TS_VT_I4;
            result->u.i4 = static_cast<int32_t>(out->lVal);
            break;
        case VT_I2:
            result->vt = TS_VT_I2;
            result->u.i2 = out->iVal;
            break;
        case VT_BSTR: {
            // malloc, as FreeResult pairs it with free.
            const std::string text = m_state->coding.Bytes(
                std::wstring_view(out->bstrVal, ::SysStringLen(out->bstrVal)));
            char* copy = static_cast<char*>(std::malloc(text.size() + 1));
            if (copy == nullptr) {
                hr = E_OUTOFMEMORY;
                break;
            }
            std::memcpy(copy, text.c_str(), text.size() + 1);
            result->vt = TS_VT_STR;
            result->u.str = copy;
            break;
        }
        default:
            break;
        }
    }
    return static_cast<TsResult>(hr);
}

void ControlHost::FreeResult(TsVariant& result) {
    if (result.vt == TS_VT_STR) {
        std::free(const_cast<char*>(result.u.str));
    }
    result = TsVariant{};
}

uint32_t ControlHost::Advise(EventHandler handler) {
    if (!m_state->events || !handler) {
        return 0;
    }
    auto sink = win32::ComPtr<win32::ComEventSink>::Adopt(
        new win32::ComEventSink(m_state->eventsIid, std::move(handler)));
    DWORD cookie = 0;
    if (FAILED(m_state->events->Advise(sink.get(), &cookie)) || cookie == 0) {
        return 0;
    }
    m_state->sinks.emplace_back(static_cast<uint32_t>(cookie), std::move(sink));
    return static_cast<uint32_t>(cookie);
}

void ControlHost::Unadvise(uint32_t cookie) {
    auto& sinks = m_state->sinks;
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->first == cookie) {
            m_state->events->Unadvise(cookie);
            it->second->Detach();
            sinks.erase(it);
            return;
        }
    }
}

void ControlHost::SetMessageBox(MessageBoxHandler handler) {
    // An ActiveX control shows its messages itself, owned by its window.
    m_state->messageBox = std::move(handler);
}

TsResult ControlHost::Draw(const TsSurface&, TsRect) {
    // A Windows host lets the control draw itself: in place, or through
    // IViewObject into the host's device context.
    return TS_E_NOTIMPL;
}

const TsTypeLibInfo* ControlHost::TypeLib() const {
    if (m_state->typeLib != nullptr) {
        return &m_state->typeLib->Info();
    }
    const auto provider = m_state->control.query<IProvideClassInfo>();
    win32::ComPtr<ITypeInfo> classInfo;
    win32::ComPtr<ITypeLib> library;
    UINT index = 0;
    if (provider && SUCCEEDED(provider->GetClassInfo(classInfo.put())) &&
        SUCCEEDED(classInfo->GetContainingTypeLib(library.put(), &index))) {
        auto description = std::make_unique<win32::ComTypeDescription>();
        if (description->Read(library.get())) {
            m_state->typeLib = std::move(description);
        }
    }
    return m_state->typeLib != nullptr ? &m_state->typeLib->Info() : nullptr;
}

std::vector<TsVerbInfo> ControlHost::Verbs() const {
    std::vector<TsVerbInfo> verbs;
    const auto ole = m_state->control.query<IOleObject>();
    win32::ComPtr<IEnumOLEVERB> list;
    if (ole && ole->EnumVerbs(list.put()) == S_OK && list) {
        m_state->verbNames.clear();
        std::vector<std::pair<int32_t, std::string>> found;
        OLEVERB verb{};
        while (list->Next(1, &verb, nullptr) == S_OK) {
            found.emplace_back(
                static_cast<int32_t>(verb.lVerb),
                m_state->coding.Bytes(verb.lpszVerbName != nullptr ? verb.lpszVerbName : L""));
            ::CoTaskMemFree(verb.lpszVerbName);
        }
        m_state->verbNames.reserve(found.size());
        for (auto& [id, name] : found) {
            verbs.push_back({id, m_state->verbNames.emplace_back(std::move(name)).c_str()});
        }
    }
    return verbs;
}

std::vector<TsPropertyPageInfo> ControlHost::PropertyPages() const {
    // An ActiveX control's pages are classes of their own that the system's
    // property frame shows (OleCreatePropertyFrame), not descriptions.
    return {};
}

uint32_t ControlHost::MiscStatus() const {
    DWORD status = 0;
    const auto ole = m_state->control.query<IOleObject>();
    if (ole && FAILED(ole->GetMiscStatus(DVASPECT_CONTENT, &status))) {
        status = 0;
    }
    return static_cast<uint32_t>(status);
}

const TsModuleInfo* ControlHost::ModuleInfo() const {
    // The library's strings and version are its resources on Windows.
    return nullptr;
}

} // namespace tessaline
