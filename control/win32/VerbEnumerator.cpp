// SPDX-License-Identifier: MIT
#include "VerbEnumerator.h"

#include "ComModule.h"
#include "platform/win32/ComObject.h"

#include <new>
#include <olectl.h>

namespace tessaline::com {

namespace {

constexpr LONG kVerbCount = 1;
constexpr wchar_t kPropertiesVerbName[] = L"&Properties...";

class VerbEnumerator final : public win32::ComObject<VerbEnumerator, IEnumOLEVERB> {
public:
    explicit VerbEnumerator(LONG position) : m_position(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, OLEVERB* verbs, ULONG* fetched) override {
        if (verbs == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG given = 0;
        while (given < count && m_position < kVerbCount) {
            OLEVERB& verb = verbs[given];
            // The caller frees the name with CoTaskMemFree.
            verb.lpszVerbName = TaskString(kPropertiesVerbName);
            if (verb.lpszVerbName == nullptr) {
                break;
            }
            verb.lVerb = OLEIVERB_PROPERTIES;
            verb.fuFlags = MF_STRING;
            verb.grfAttribs = OLEVERBATTRIB_ONCONTAINERMENU;
            ++given;
            ++m_position;
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const LONG left = kVerbCount - m_position;
        const bool all = count <= static_cast<ULONG>(left);
        m_position = all ? m_position + static_cast<LONG>(count) : kVerbCount;
        return all ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumOLEVERB** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = new (std::nothrow) VerbEnumerator(m_position);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ModuleReference m_moduleReference;
    LONG m_position;
};

} // namespace

HRESULT CreateVerbEnumerator(IEnumOLEVERB** verbs) {
    if (verbs == nullptr) {
        return E_POINTER;
    }
    *verbs = new (std::nothrow) VerbEnumerator(0);
    return *verbs != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace tessaline::com
