// SPDX-License-Identifier: MIT
#include "platform/component/ControlHost.h"

#include "platform/component/ComponentRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <exception>

namespace tessaline {

namespace {

// One connected event sink. Its address is the context the control calls back
// with, so it lives on the heap and stays put until it is disconnected. A sink
// disconnected from inside its own handler is only marked; it is freed once
// the handler has returned.
struct Sink {
    using EventHandler = ControlHost::EventHandler;

    EventHandler handler;
    TsEventSink sink{};
    uint32_t cookie = 0;
    int running = 0;
    bool connected = false;

    static void Invoke(void* context, int32_t dispid, const TsVariant* args, uint32_t argc) {
        auto* self = static_cast<Sink*>(context);
        if (!self || !self->connected || !self->handler) {
            return;
        }
        ++self->running;
        try {
            self->handler(dispid, std::span<const TsVariant>(args, args ? argc : 0));
        } catch (const std::exception& e) {
            // The control is C; an exception must end here.
            std::fprintf(stderr, "tessaline: event handler failed: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "tessaline: event handler failed\n");
        }
        --self->running;
    }
};

template <typename Fn> Fn Symbol(void* library, const char* name) {
    void* symbol = ::dlsym(library, name);
    Fn fn = nullptr;
    static_assert(sizeof fn == sizeof symbol);
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
}

std::string DlError() {
    const char* why = ::dlerror();
    return why ? why : "unknown error";
}

std::string Hex(TsResult result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

int32_t HostMessageBox(void* context, const char* text, const char* caption, uint32_t flags) {
    const auto* handler = static_cast<const ControlHost::MessageBoxHandler*>(context);
    std::string body = text ? text : "";
    std::string title = caption ? caption : "";
    if (handler && *handler) {
        try {
            return (*handler)(body, title, flags);
        } catch (...) {
            // Fall through to standard error: the message must not be lost.
        }
    }
    std::fprintf(stderr, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", body.c_str());
    return TS_IDOK;
}

} // namespace

struct ControlHost::State {
    void* library = nullptr;
    TsControl* control = nullptr;
    std::vector<std::unique_ptr<Sink>> sinks;
    MessageBoxHandler messageBox;
    TsHostSite site{};
};

ControlHost::ControlHost() : m_state(std::make_unique<State>()) {}

Result<std::unique_ptr<ControlHost>> ControlHost::CreateByProgId(const std::string& progId) {
    using R = Result<std::unique_ptr<ControlHost>>;
    ComponentRegistry registry;
    auto entry = registry.FindClassByProgId(progId);
    if (!entry) {
        if (!registry.Error().empty()) {
            return R::Fail("cannot look up \"" + progId + "\": " + registry.Error());
        }
        return R::Fail("The component \"" + progId + "\" is not registered in " +
                       registry.File().string() +
                       ". Register the control library first, for example: "
                       "tessaline-cli register /path/to/libtessaline-control.so");
    }
    if (entry->libraryPath.empty()) {
        return R::Fail("The registration of \"" + progId + "\" in " + registry.File().string() +
                       " names no library. Register the control library again: "
                       "tessaline-cli register /path/to/libtessaline-control.so");
    }

    std::unique_ptr<ControlHost> host(new ControlHost());
    host->m_libraryPath = entry->libraryPath;
    host->m_state->library = ::dlopen(entry->libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!host->m_state->library) {
        return R::Fail("cannot load " + entry->libraryPath + " for \"" + progId +
                       "\": " + DlError() +
                       ". If the library has moved, register it again: tessaline-cli register "
                       "/path/to/libtessaline-control.so");
    }
    if (auto moduleInfo =
            Symbol<TsDllGetModuleInfoFn>(host->m_state->library, "DllGetModuleInfo")) {
        const TsModuleInfo* info = moduleInfo();
        if (info && info->abiVersion != TS_COMPONENT_ABI_VERSION) {
            return R::Fail(entry->libraryPath + " speaks component ABI version " +
                           std::to_string(info->abiVersion) + "; this program speaks version " +
                           std::to_string(TS_COMPONENT_ABI_VERSION));
        }
    }
    ::dlerror();
    auto getClassObject =
        Symbol<TsDllGetClassObjectFn>(host->m_state->library, "DllGetClassObject");
    if (!getClassObject) {
        return R::Fail(entry->libraryPath + " is not a component library: " + DlError());
    }
    TsClassFactory* factory = nullptr;
    TsResult result = getClassObject(entry->clsid.c_str(), &factory);
    if (TS_FAILED(result) || !factory) {
        return R::Fail("the class " + entry->clsid + " (\"" + progId +
                       "\") is not available from " + entry->libraryPath + ": " + Hex(result));
    }
    TsControl* control = nullptr;
    result = factory->vtbl->CreateInstance(factory, &control);
    factory->vtbl->Release(factory);
    if (TS_FAILED(result) || !control) {
        return R::Fail("cannot create \"" + progId + "\": " + Hex(result));
    }
    host->m_state->control = control;
    host->m_state->site.context = &host->m_state->messageBox;
    host->m_state->site.MessageBox = &HostMessageBox;
    control->vtbl->SetHostSite(control, &host->m_state->site);
    return host;
}

ControlHost::~ControlHost() {
    if (m_state->control) {
        for (auto& sink : m_state->sinks) {
            if (sink->connected) {
                m_state->control->vtbl->Unadvise(m_state->control, sink->cookie);
                sink->connected = false;
            }
        }
        m_state->control->vtbl->SetHostSite(m_state->control, nullptr);
        m_state->control->vtbl->Release(m_state->control);
        m_state->control = nullptr;
    }
    m_state->sinks.clear();
    // The library goes only when it says nothing of it is alive; a library
    // without DllCanUnloadNow stays loaded for the life of the process.
    if (m_state->library) {
        auto canUnloadNow = Symbol<TsDllCanUnloadNowFn>(m_state->library, "DllCanUnloadNow");
        if (canUnloadNow && canUnloadNow() == TS_S_OK) {
            ::dlclose(m_state->library);
        }
    }
}

TsResult ControlHost::GetIDOfName(const std::string& name, int32_t& dispid) const {
    if (!m_state->control) {
        return TS_E_POINTER;
    }
    return m_state->control->vtbl->GetIDOfName(m_state->control, name.c_str(), &dispid);
}

TsResult ControlHost::Invoke(int32_t dispid, std::span<TsVariant> args, TsVariant* result) {
    if (!m_state->control) {
        return TS_E_POINTER;
    }
    if (args.size() > UINT32_MAX) {
        return TS_DISP_E_BADPARAMCOUNT;
    }
    return m_state->control->vtbl->Invoke(m_state->control, dispid,
                                          args.empty() ? nullptr : args.data(),
                                          static_cast<uint32_t>(args.size()), result);
}

void ControlHost::FreeResult(TsVariant& result) {
    if (m_state->control && result.vt == TS_VT_STR && result.u.str) {
        m_state->control->vtbl->FreeString(m_state->control, const_cast<char*>(result.u.str));
    }
    result = TsVariant{};
}

uint32_t ControlHost::Advise(EventHandler handler) {
    if (!m_state->control || !handler) {
        return 0;
    }
    std::erase_if(m_state->sinks, [](const auto& s) { return !s->connected && s->running == 0; });
    auto sink = std::make_unique<Sink>();
    sink->handler = std::move(handler);
    sink->sink.context = sink.get();
    sink->sink.Invoke = &Sink::Invoke;
    sink->connected = true; // before Advise: a control may greet a new sink at once
    uint32_t cookie = 0;
    if (TS_FAILED(m_state->control->vtbl->Advise(m_state->control, &sink->sink, &cookie)) ||
        cookie == 0) {
        return 0;
    }
    sink->cookie = cookie;
    m_state->sinks.push_back(std::move(sink));
    return cookie;
}

void ControlHost::Unadvise(uint32_t cookie) {
    if (!m_state->control || cookie == 0) {
        return;
    }
    auto it = std::find_if(m_state->sinks.begin(), m_state->sinks.end(),
                           [&](const auto& s) { return s->connected && s->cookie == cookie; });
    if (it == m_state->sinks.end()) {
        return;
    }
    m_state->control->vtbl->Unadvise(m_state->control, cookie);
    (*it)->connected = false;
    if ((*it)->running == 0) {
        m_state->sinks.erase(it);
    }
}

void ControlHost::SetMessageBox(MessageBoxHandler handler) {
    m_state->messageBox = std::move(handler);
}

TsResult ControlHost::Draw(const TsSurface& surface, TsRect bounds) {
    if (!m_state->control) {
        return TS_E_POINTER;
    }
    return m_state->control->vtbl->Draw(m_state->control, &surface, bounds);
}

const TsTypeLibInfo* ControlHost::TypeLib() const {
    const TsTypeLibInfo* info = nullptr;
    if (!m_state->control ||
        TS_FAILED(m_state->control->vtbl->GetTypeLib(m_state->control, &info))) {
        return nullptr;
    }
    return info;
}

std::vector<TsVerbInfo> ControlHost::Verbs() const {
    const TsVerbInfo* verbs = nullptr;
    uint32_t count = 0;
    if (!m_state->control ||
        TS_FAILED(m_state->control->vtbl->GetVerbs(m_state->control, &verbs, &count)) || !verbs) {
        return {};
    }
    return {verbs, verbs + count};
}

std::vector<TsPropertyPageInfo> ControlHost::PropertyPages() const {
    const TsPropertyPageInfo* pages = nullptr;
    uint32_t count = 0;
    if (!m_state->control ||
        TS_FAILED(m_state->control->vtbl->GetPropertyPages(m_state->control, &pages, &count)) ||
        !pages) {
        return {};
    }
    return {pages, pages + count};
}

uint32_t ControlHost::MiscStatus() const {
    uint32_t status = 0;
    if (!m_state->control ||
        TS_FAILED(m_state->control->vtbl->GetMiscStatus(m_state->control, &status))) {
        return 0;
    }
    return status;
}

const TsModuleInfo* ControlHost::ModuleInfo() const {
    if (!m_state->library) {
        return nullptr;
    }
    auto moduleInfo = Symbol<TsDllGetModuleInfoFn>(m_state->library, "DllGetModuleInfo");
    return moduleInfo ? moduleInfo() : nullptr;
}

} // namespace tessaline
