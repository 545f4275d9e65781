// SPDX-License-Identifier: MIT
// First-run registration on Windows: none. An ActiveX control is registered
// for the whole system, by regsvr32 or an installer, with the rights that
// needs; a host only says what is missing.
#include "platform/component/FirstRunRegistration.h"

#include <vector>
#include <windows.h>

namespace tessaline {

namespace {

// Longer paths than this are not paths Windows can start a program from.
constexpr size_t kLongestPath = 32768;

} // namespace

std::filesystem::path ThisProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::filesystem::path(std::wstring(buffer.data(), length));
        }
        if (buffer.size() >= kLongestPath) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string RegisterOnFirstRun(const std::string&, const ControlLibraries&) {
    return {};
}

} // namespace tessaline
