// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaline {

// One program per settings file. The first copy to claim a file holds it
// until it ends (the system lets go of the claim of a process that has
// ended, however it ended); a later copy learns which process holds it, so
// that it can bring that copy's window forward instead of loading a second
// list that would overwrite the first's.
class SettingsClaim {
public:
    // Claims `settingsFile` for this process, or finds who holds it. Fails
    // with the reason when the system does neither.
    static Result<SettingsClaim> Take(const std::string& settingsFile);
    SettingsClaim(SettingsClaim&& other) noexcept;
    SettingsClaim& operator=(SettingsClaim&&) = delete;
    SettingsClaim(const SettingsClaim&) = delete;
    ~SettingsClaim();

    // True when this process holds the claim.
    bool Held() const { return m_handle != kNone; }
    // The process that holds the claim when this one does not; 0 when that
    // process has not yet said who it is.
    uint32_t Holder() const { return m_holder; }
    // The claim's name, the same in every copy: a front end names its own
    // channel to the holder after it.
    const std::string& Name() const { return m_name; }

private:
    static constexpr intptr_t kNone = -1;
    SettingsClaim(intptr_t handle, uint32_t holder, std::string name)
        : m_handle(handle), m_holder(holder), m_name(std::move(name)) {}

    intptr_t m_handle = kNone; // the system's handle of the claim this process holds
    uint32_t m_holder = 0;
    std::string m_name;
};

// "tessaline-" and 16 hexadecimal digits of the settings file's path (as the
// system compares paths): what a claim on that file is called.
std::string SettingsClaimName(std::string_view settingsFile);

} // namespace tessaline
