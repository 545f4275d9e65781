// SPDX-License-Identifier: MIT
#include "ComTypeDescription.h"

#include "platform/win32/AnsiText.h"

#include <algorithm>
#include <array>
#include <memory>
#include <oleauto.h>
#include <string_view>

namespace tessaline::win32 {

namespace {

constexpr int kGuidTextLength = 39; // "{...}" and the closing zero
constexpr UINT kMostNames = 32;     // a member's name and its parameters' names

std::string GuidText(REFGUID guid) {
    wchar_t text[kGuidTextLength] = {};
    ::StringFromGUID2(guid, text, kGuidTextLength);
    return ToAnsi(text);
}

// The component ABI's name for a type: its own numbers for the types it
// knows, a reference to one of them as that type by reference.
uint16_t TypeOf(const TYPEDESC& type) {
    switch (type.vt) {
    case VT_I2:
        return TS_VT_I2;
    case VT_I4:
        return TS_VT_I4;
    case VT_BSTR:
        return TS_VT_STR;
    case VT_VOID:
    case VT_EMPTY:
        return TS_VT_EMPTY;
    case VT_PTR:
        return type.lptdesc != nullptr ? static_cast<uint16_t>(TypeOf(*type.lptdesc) | TS_VT_BYREF)
                                       : type.vt;
    default:
        return type.vt;
    }
}

// Releases a type library's descriptions however the reading ends.
template <typename Desc, typename Owner, void (STDMETHODCALLTYPE Owner::*Release)(Desc*)>
class Held {
public:
    Held(Owner* owner, Desc* desc) : m_owner(owner), m_desc(desc) {}
    ~Held() {
        if (m_desc != nullptr) {
            (m_owner->*Release)(m_desc);
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Desc* operator->() const { return m_desc; }

private:
    Owner* m_owner;
    Desc* m_desc;
};
using HeldTypeAttr = Held<TYPEATTR, ITypeInfo, &ITypeInfo::ReleaseTypeAttr>;
using HeldFuncDesc = Held<FUNCDESC, ITypeInfo, &ITypeInfo::ReleaseFuncDesc>;

} // namespace

const char* ComTypeDescription::Keep(std::string text) {
    return m_strings.emplace_back(std::move(text)).c_str();
}

const char* ComTypeDescription::Keep(const Bstr& text) {
    return Keep(ToAnsi(text.view()));
}

bool ComTypeDescription::ReadInterface(ITypeInfo* type, TsInterfaceInfo& itf,
                                       std::vector<TsMemberInfo>& members,
                                       std::vector<TsParamInfo>& params) {
    TYPEATTR* attr = nullptr;
    if (FAILED(type->GetTypeAttr(&attr))) {
        return false;
    }
    const HeldTypeAttr held(type, attr);
    itf.uuid = Keep(GuidText(attr->guid));
    itf.flags = TS_TYPE_DISPATCH;
    // Every parameter of the interface in one array, so the members can
    // point into it once it is complete.
    std::vector<std::pair<size_t, size_t>> spans;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(type->GetFuncDesc(f, &func))) {
            return false;
        }
        const HeldFuncDesc heldFunc(type, func);
        BSTR given[kMostNames] = {};
        UINT count = 0;
        if (FAILED(type->GetNames(func->memid, given, kMostNames, &count))) {
            return false;
        }
        // The names given are ours: each goes with its owner, used or not.
        std::array<Bstr, kMostNames> names;
        for (UINT n = 0; n < std::min(count, kMostNames); ++n) {
            *names[n].put() = given[n];
        }
        if (count == 0) {
            return false;
        }
        TsMemberInfo member{};
        member.dispid = func->memid;
        member.name = Keep(names[0]);
        member.resultVt = TypeOf(func->elemdescFunc.tdesc);
        const auto paramCount = static_cast<size_t>(func->cParams);
        spans.emplace_back(params.size(), paramCount);
        for (size_t p = 0; p < paramCount; ++p) {
            TsParamInfo param{};
            param.name = p + 1 < count ? Keep(names[p + 1]) : Keep(std::string());
            param.vt = TypeOf(func->lprgelemdescParam[p].tdesc);
            params.push_back(param);
        }
        member.paramCount = static_cast<uint32_t>(paramCount);
        members.push_back(member);
    }
    for (size_t m = 0; m < members.size(); ++m) {
        members[m].params = spans[m].second > 0 ? params.data() + spans[m].first : nullptr;
    }
    itf.memberCount = static_cast<uint32_t>(members.size());
    itf.members = members.empty() ? nullptr : members.data();
    return true;
}

bool ComTypeDescription::ReadClass(ITypeInfo* type, TsClassInfo& cls,
                                   std::vector<std::string>& sources) {
    TYPEATTR* attr = nullptr;
    if (FAILED(type->GetTypeAttr(&attr))) {
        return false;
    }
    const HeldTypeAttr held(type, attr);
    cls.uuid = Keep(GuidText(attr->guid));
    cls.flags = ((attr->wTypeFlags & TYPEFLAG_FCONTROL) != 0 ? TS_CLASS_CONTROL : 0u) |
                ((attr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0 ? TS_CLASS_CREATABLE : 0u);
    cls.defaultInterface = Keep(std::string());
    cls.defaultSource = Keep(std::string());
    for (UINT i = 0; i < attr->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> implemented;
        if (FAILED(type->GetImplTypeFlags(i, &flags)) ||
            FAILED(type->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(type->GetRefTypeInfo(ref, implemented.put()))) {
            return false;
        }
        Bstr name;
        if (FAILED(implemented->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr,
                                                 nullptr))) {
            return false;
        }
        const char* kept = Keep(name);
        if ((flags & IMPLTYPEFLAG_FSOURCE) != 0) {
            sources.emplace_back(kept);
        }
        if ((flags & IMPLTYPEFLAG_FDEFAULT) != 0) {
            ((flags & IMPLTYPEFLAG_FSOURCE) != 0 ? cls.defaultSource : cls.defaultInterface) = kept;
        }
    }
    return true;
}

bool ComTypeDescription::Read(ITypeLib* library) {
    TLIBATTR* libAttr = nullptr;
    if (library == nullptr || FAILED(library->GetLibAttr(&libAttr))) {
        return false;
    }
    {
        // Given back to the library however the figures are kept.
        const auto giveBack = [library](TLIBATTR* attr) { library->ReleaseTLibAttr(attr); };
        const std::unique_ptr<TLIBATTR, decltype(giveBack)> held(libAttr, giveBack);
        m_info.uuid = Keep(GuidText(held->guid));
        m_info.majorVersion = held->wMajorVerNum;
        m_info.minorVersion = held->wMinorVerNum;
    }
    Bstr name;
    Bstr help;
    Bstr helpFile;
    if (FAILED(library->GetDocumentation(-1, name.put(), help.put(), nullptr, helpFile.put()))) {
        return false;
    }
    m_info.name = Keep(name);
    m_info.helpString = Keep(help);
    // The help file as the library names it, without the folder a
    // registration may have put before it.
    std::string file = Keep(helpFile);
    m_info.helpFile = Keep(file.substr(file.find_last_of("\\/") + 1));

    std::vector<std::string> sources;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TYPEKIND kind{};
        ComPtr<ITypeInfo> type;
        Bstr typeName;
        Bstr typeHelp;
        if (FAILED(library->GetTypeInfoType(i, &kind)) ||
            FAILED(library->GetDocumentation(static_cast<INT>(i), typeName.put(), typeHelp.put(),
                                             nullptr, nullptr)) ||
            FAILED(library->GetTypeInfo(i, type.put()))) {
            return false;
        }
        bool read = true;
        if (kind == TKIND_DISPATCH) {
            TsInterfaceInfo itf{};
            itf.name = Keep(typeName);
            itf.helpString = Keep(typeHelp);
            read =
                ReadInterface(type.get(), itf, m_members.emplace_back(), m_params.emplace_back());
            m_interfaces.push_back(itf);
        } else if (kind == TKIND_COCLASS) {
            TsClassInfo cls{};
            cls.name = Keep(typeName);
            cls.helpString = Keep(typeHelp);
            read = ReadClass(type.get(), cls, sources);
            m_classes.push_back(cls);
        }
        if (!read) {
            return false;
        }
    }
    // An interface some class raises its events through is an event interface.
    for (TsInterfaceInfo& itf : m_interfaces) {
        if (std::find(sources.begin(), sources.end(), itf.name) != sources.end()) {
            itf.flags |= TS_TYPE_SOURCE;
        }
    }
    m_info.interfaceCount = static_cast<uint32_t>(m_interfaces.size());
    m_info.interfaces = m_interfaces.empty() ? nullptr : m_interfaces.data();
    m_info.classCount = static_cast<uint32_t>(m_classes.size());
    m_info.classes = m_classes.empty() ? nullptr : m_classes.data();
    return true;
}

} // namespace tessaline::win32
