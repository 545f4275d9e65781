// SPDX-License-Identifier: MIT
#include "ComRegistration.h"

#include "ComIds.h"
#include "ComModule.h"
#include "TessalineResources.h"
#include "platform/win32/ComOwners.h"
#include "platform/win32/HandleOwners.h"

#include <oleauto.h>
#include <olectl.h>

namespace tessaline::com {

namespace {

constexpr int kGuidTextLength = 39; // "{...}" and the closing zero

std::wstring GuidText(REFGUID guid) {
    wchar_t text[kGuidTextLength] = {};
    ::StringFromGUID2(guid, text, kGuidTextLength);
    return text;
}

std::wstring ClassKey(REFCLSID clsid) {
    return L"CLSID\\" + GuidText(clsid);
}

bool WriteValue(const RegistryValue& value) {
    win32::UniqueRegistryKey key;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, value.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const auto bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        ::RegSetValueExW(key.get(), value.name.empty() ? nullptr : value.name.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(value.text.c_str()), bytes);
    return status == ERROR_SUCCESS;
}

// The key's default string, or empty when it has none.
std::wstring ReadDefault(const std::wstring& keyName) {
    wchar_t text[kGuidTextLength + 1] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, keyName.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                       &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

// True when the key is gone afterwards, whether or not it was there.
bool DeleteTree(const std::wstring& keyName) {
    const LSTATUS status = ::RegDeleteTreeW(HKEY_CLASSES_ROOT, keyName.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// The class a ProgID of ours names now, when it is not ours: another library
// may have taken it over since, and it is then not ours to remove.
bool TakenOver(const std::wstring& key) {
    const std::wstring owner = ReadDefault(key + L"\\CLSID");
    if (owner.empty()) {
        return false;
    }
    if (key == WideAscii(kTessalineProgId)) {
        return owner != GuidText(kControlClsid);
    }
    if (key == WideAscii(kTessalinePropPageProgId)) {
        return owner != GuidText(kPropPageClsid);
    }
    return false;
}

// Removes every class key of ours that is there; true when none is left.
bool RemoveClasses() {
    bool removed = true;
    for (const std::wstring& key : TessalineClassKeys()) {
        if (!TakenOver(key)) {
            removed = DeleteTree(key) && removed;
        }
    }
    return removed;
}

// The keys type library registration makes, outermost first.
std::vector<std::wstring> TypeLibKeys() {
    return {L"Interface\\" + GuidText(kDispatchIid), L"Interface\\" + GuidText(kEventsIid),
            L"TypeLib\\" + GuidText(kLibid) + L"\\" + WideAscii(kTypeLibVersion)};
}

// What UnRegisterTypeLib leaves when it cannot read the registration
// (another uninstaller took the TypeLib key and left the interfaces, or the
// other way round): removed key by key. The interfaces go while they name
// our type library, or none. True when none of them is left.
bool RemoveTypeLibLeftovers() {
    bool removed = true;
    const std::wstring libid = GuidText(kLibid);
    for (const std::wstring& key : TypeLibKeys()) {
        if (key.starts_with(L"Interface\\")) {
            const std::wstring owner = ReadDefault(key + L"\\TypeLib");
            if (!owner.empty() && owner != libid) {
                continue;
            }
        }
        removed = DeleteTree(key) && removed;
    }
    // The library's own key, once no version of it is left.
    ::RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + libid).c_str());
    return removed;
}

} // namespace

std::vector<RegistryValue> TessalineClassValues(const std::wstring& modulePath,
                                                const std::wstring& controlName,
                                                const std::wstring& propPageName) {
    const std::wstring control = ClassKey(kControlClsid);
    const std::wstring page = ClassKey(kPropPageClsid);
    const std::wstring progId = WideAscii(kTessalineProgId);
    const std::wstring pageProgId = WideAscii(kTessalinePropPageProgId);
    return {
        {progId, L"", controlName},
        {progId + L"\\CLSID", L"", GuidText(kControlClsid)},
        {control, L"", controlName},
        {control + L"\\ProgID", L"", progId},
        {control + L"\\InprocServer32", L"", modulePath},
        {control + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {control + L"\\Control", L"", L""},
        {control + L"\\ToolboxBitmap32", L"", modulePath + L", " + std::to_wstring(IDB_TESSALINE)},
        {control + L"\\MiscStatus", L"", L"0"},
        {control + L"\\MiscStatus\\1", L"", std::to_wstring(kTessalineMiscStatus)},
        {control + L"\\TypeLib", L"", GuidText(kLibid)},
        {control + L"\\Version", L"", WideAscii(kTypeLibVersion)},
        {pageProgId, L"", propPageName},
        {pageProgId + L"\\CLSID", L"", GuidText(kPropPageClsid)},
        {page, L"", propPageName},
        {page + L"\\ProgID", L"", pageProgId},
        {page + L"\\InprocServer32", L"", modulePath},
        {page + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    };
}

std::vector<std::wstring> TessalineClassKeys() {
    return {WideAscii(kTessalineProgId), WideAscii(kTessalinePropPageProgId),
            ClassKey(kControlClsid), ClassKey(kPropPageClsid)};
}

HRESULT RegisterTessaline() {
    const std::wstring path = ModulePath();
    if (path.empty()) {
        return SELFREG_E_TYPELIB;
    }
    // TYPELIB resource 1 is what LoadTypeLib finds in a module by default.
    // RegisterTypeLib with our own path: Wine's REGKIND_REGISTER would record
    // it with a \\?\ prefix.
    win32::ComPtr<ITypeLib> typeLib;
    if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib.put()))) {
        return SELFREG_E_TYPELIB;
    }
    std::wstring registeredPath = path;
    if (FAILED(::RegisterTypeLib(typeLib.get(), registeredPath.data(), nullptr))) {
        return SELFREG_E_TYPELIB;
    }

    const std::wstring controlName = LoadModuleString(IDS_TESSALINE);
    const std::wstring pageName = LoadModuleString(IDS_TESSALINE_PPG);
    if (controlName.empty() || pageName.empty()) {
        return SELFREG_E_CLASS;
    }
    for (const RegistryValue& value : TessalineClassValues(path, controlName, pageName)) {
        if (!WriteValue(value)) {
            // Half a registration would let hosts find a class they cannot create.
            RemoveClasses();
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

HRESULT UnregisterTessaline() {
    // Everything of ours that is there goes, whatever is missing already: a
    // step that fails must not leave the class registered behind it, and
    // unregistering twice, or what was never registered, leaves nothing.
    ::UnRegisterTypeLib(kLibid, kTypeLibMajor, kTypeLibMinor, LOCALE_NEUTRAL, SYS_WIN64);
    const bool typeLibGone = RemoveTypeLibLeftovers();
    const bool classesGone = RemoveClasses();
    if (!typeLibGone) {
        return SELFREG_E_TYPELIB;
    }
    return classesGone ? S_OK : SELFREG_E_CLASS;
}

} // namespace tessaline::com
