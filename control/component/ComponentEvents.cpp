// SPDX-License-Identifier: MIT
// The control's events and message box as the component ABI delivers them.

#include "ComponentEvents.h"

#include "TessalineIds.h"

#include <algorithm>
#include <cstdio>

namespace tessaline {

uint32_t ComponentEvents::Advise(const TsEventSink& sink) {
    const uint32_t cookie = m_nextCookie++;
    m_sinks.emplace_back(cookie, sink);
    return cookie;
}

bool ComponentEvents::Unadvise(uint32_t cookie) {
    const auto found = std::find_if(m_sinks.begin(), m_sinks.end(),
                                    [cookie](const auto& entry) { return entry.first == cookie; });
    if (found == m_sinks.end()) {
        return false;
    }
    m_sinks.erase(found);
    return true;
}

void ComponentEvents::FireProgress(int32_t Data) {
    // A handler may connect or disconnect sinks while the event is out: the
    // event goes to the sinks connected when it was raised that are still
    // connected when their turn comes.
    std::vector<uint32_t> cookies;
    cookies.reserve(m_sinks.size());
    for (const auto& entry : m_sinks) {
        cookies.push_back(entry.first);
    }
    for (const uint32_t cookie : cookies) {
        const auto found =
            std::find_if(m_sinks.begin(), m_sinks.end(),
                         [cookie](const auto& entry) { return entry.first == cookie; });
        if (found == m_sinks.end() || found->second.Invoke == nullptr) {
            continue;
        }
        const TsEventSink sink = found->second;
        TsVariant argument{};
        argument.vt = TS_VT_I4;
        argument.u.i4 = Data;
        sink.Invoke(sink.context, kEventidProgress, &argument, 1);
    }
}

void ComponentEvents::SetHostSite(const TsHostSite* site) {
    if (site == nullptr) {
        m_site.reset();
    } else {
        m_site = *site;
    }
}

void ComponentEvents::ShowMessage(const std::string& text, const std::string& caption) {
    if (m_site && m_site->MessageBox != nullptr) {
        m_site->MessageBox(m_site->context, text.c_str(), caption.c_str(), TS_MB_OK);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

} // namespace tessaline
