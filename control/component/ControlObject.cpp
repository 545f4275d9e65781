// SPDX-License-Identifier: MIT
#include "ControlObject.h"

#include "Boundary.h"
#include "CTessalineCtrl.h"
#include "CTessalinePropPage.h"
#include "ComponentEvents.h"
#include "ControlFace.h"
#include "Dispatch.h"
#include "ModuleState.h"
#include "TessalineIds.h"
#include "TypeLibrary.h"

#include <array>
#include <atomic>
#include <string_view>

namespace tessaline {

namespace {

constexpr std::array<TsVerbInfo, 1> kVerbs{{{TS_VERB_PROPERTIES, "&Properties..."}}};

struct ControlObject : TsControl {
    ControlObject();
    ~ControlObject() { ModuleObjectDestroyed(); }
    ControlObject(const ControlObject&) = delete;
    ControlObject& operator=(const ControlObject&) = delete;

    std::atomic<uint32_t> refs{1};
    ComponentEvents events;
    CTessalineCtrl control{events};
};

ControlObject* Self(TsControl* self) {
    return static_cast<ControlObject*>(self);
}

uint32_t AddRef(TsControl* self) {
    if (self == nullptr) {
        return 0;
    }
    return ++Self(self)->refs;
}

uint32_t Release(TsControl* self) {
    if (self == nullptr) {
        return 0;
    }
    const uint32_t left = --Self(self)->refs;
    if (left == 0) {
        delete Self(self);
    }
    return left;
}

// Keeps the object alive for one call: a host may release its last
// reference from inside an event handler while the call is still running.
class CallReference {
public:
    explicit CallReference(TsControl* self) : m_self(self) { AddRef(m_self); }
    ~CallReference() { Release(m_self); }
    CallReference(const CallReference&) = delete;
    CallReference& operator=(const CallReference&) = delete;

private:
    TsControl* m_self;
};

TsResult GetIDOfName(TsControl* self, const char* name, int32_t* dispid) {
    return AtBoundary([&] {
        if (self == nullptr || name == nullptr || dispid == nullptr) {
            return TS_E_POINTER;
        }
        const TsMemberInfo* member = FindDispatchMember(std::string_view(name));
        if (member == nullptr) {
            return TS_DISP_E_UNKNOWNNAME;
        }
        *dispid = member->dispid;
        return TS_S_OK;
    });
}

TsResult Invoke(TsControl* self, int32_t dispid, TsVariant* args, uint32_t argc,
                TsVariant* result) {
    return AtBoundary([&] {
        if (self == nullptr) {
            return TS_E_POINTER;
        }
        const CallReference hold(self);
        return InvokeDispatch(Self(self)->control, dispid, args, argc, result);
    });
}

void FreeString(TsControl*, char* text) {
    FreeDispatchString(text);
}

TsResult Advise(TsControl* self, const TsEventSink* sink, uint32_t* cookie) {
    return AtBoundary([&] {
        if (self == nullptr || sink == nullptr || cookie == nullptr || sink->Invoke == nullptr) {
            return TS_E_POINTER;
        }
        *cookie = Self(self)->events.Advise(*sink);
        return TS_S_OK;
    });
}

TsResult Unadvise(TsControl* self, uint32_t cookie) {
    return AtBoundary([&] {
        if (self == nullptr) {
            return TS_E_POINTER;
        }
        return Self(self)->events.Unadvise(cookie) ? TS_S_OK : TS_CONNECT_E_NOCONNECTION;
    });
}

TsResult SetHostSite(TsControl* self, const TsHostSite* site) {
    return AtBoundary([&] {
        if (self == nullptr) {
            return TS_E_POINTER;
        }
        Self(self)->events.SetHostSite(site);
        return TS_S_OK;
    });
}

TsResult GetTypeLib(TsControl* self, const TsTypeLibInfo** info) {
    if (self == nullptr || info == nullptr) {
        return TS_E_POINTER;
    }
    *info = &TessalineTypeLib();
    return TS_S_OK;
}

TsResult Draw(TsControl* self, const TsSurface* surface, TsRect bounds) {
    if (self == nullptr || surface == nullptr) {
        return TS_E_POINTER;
    }
    if (surface->FillRect == nullptr || surface->DrawText == nullptr) {
        return TS_E_POINTER;
    }
    surface->FillRect(surface->context, bounds, kFaceBackColour);
    // The host's font and clipping apply; a rectangle smaller than the text
    // shows what the host's clipping lets through.
    surface->DrawText(surface->context, FaceCaptionCorner(bounds.left),
                      FaceCaptionCorner(bounds.top), kFaceCaption, kFaceTextColour,
                      kFaceBackColour);
    return TS_S_OK;
}

TsResult GetVerbs(TsControl* self, const TsVerbInfo** verbs, uint32_t* count) {
    if (self == nullptr || verbs == nullptr || count == nullptr) {
        return TS_E_POINTER;
    }
    *verbs = kVerbs.data();
    *count = static_cast<uint32_t>(kVerbs.size());
    return TS_S_OK;
}

TsResult GetPropertyPages(TsControl* self, const TsPropertyPageInfo** pages, uint32_t* count) {
    if (self == nullptr || pages == nullptr || count == nullptr) {
        return TS_E_POINTER;
    }
    *pages = &CTessalinePropPage::Description();
    *count = 1;
    return TS_S_OK;
}

TsResult GetMiscStatus(TsControl* self, uint32_t* status) {
    if (self == nullptr || status == nullptr) {
        return TS_E_POINTER;
    }
    *status = kTessalineMiscStatus;
    return TS_S_OK;
}

constexpr TsControlVtbl kControlVtbl{
    AddRef,      Release,    GetIDOfName, Invoke,   FreeString,       Advise,       Unadvise,
    SetHostSite, GetTypeLib, Draw,        GetVerbs, GetPropertyPages, GetMiscStatus};

ControlObject::ControlObject() : TsControl{&kControlVtbl} {
    ModuleObjectCreated();
}

} // namespace

TsResult CreateControlObject(TsControl** control) {
    if (control == nullptr) {
        return TS_E_POINTER;
    }
    *control = nullptr;
    return AtBoundary([&] {
        *control = new ControlObject();
        return TS_S_OK;
    });
}

} // namespace tessaline
