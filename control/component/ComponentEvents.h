// SPDX-License-Identifier: MIT
// The control's events and message box as the component ABI delivers them.
#pragma once

#include "CTessalineCtrl.h"
#include "tessaline/tessaline_component.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

// The event sinks a host connected through the component ABI, and the site
// through which it shows the control's message box.
class ComponentEvents final : public ControlEvents {
public:
    // Connects a sink; returns its cookie (from 1 upwards).
    uint32_t Advise(const TsEventSink& sink);
    // False when no sink has that cookie.
    bool Unadvise(uint32_t cookie);
    void SetHostSite(const TsHostSite* site);

    // Raises Progress(Data) in every connected sink, in the order they connected.
    void FireProgress(int32_t Data) override;
    // The host's message box, or standard error when the host has none.
    void ShowMessage(const std::string& text, const std::string& caption) override;

private:
    std::vector<std::pair<uint32_t, TsEventSink>> m_sinks;
    uint32_t m_nextCookie = 1;
    std::optional<TsHostSite> m_site;
};

} // namespace tessaline
