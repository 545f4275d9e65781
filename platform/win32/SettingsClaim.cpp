// SPDX-License-Identifier: MIT
// SettingsClaim on Windows: a named section of the session ("Local\" and the
// claim's name) that holds the holder's process id. The system removes it
// with the last handle, so it goes with the process that made it.
#include "platform/SettingsClaim.h"

#include "platform/win32/HandleOwners.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace tessaline {

Result<SettingsClaim> SettingsClaim::Take(const std::string& settingsFile) {
    std::string name = SettingsClaimName(settingsFile);
    const std::wstring object = L"Local\\" + win32::Widen(name);
    ::SetLastError(ERROR_SUCCESS);
    win32::UniqueHandle section(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                     0, sizeof(uint32_t), object.c_str()));
    const DWORD error = ::GetLastError();
    if (!section) {
        return Result<SettingsClaim>::Fail("cannot claim " + settingsFile + ": " +
                                           win32::SystemErrorMessage(error));
    }
    void* view =
        ::MapViewOfFile(section.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(uint32_t));
    if (error == ERROR_ALREADY_EXISTS) {
        uint32_t holder = 0;
        if (view != nullptr) {
            holder = static_cast<volatile uint32_t*>(view)[0];
            ::UnmapViewOfFile(view);
        }
        return SettingsClaim(kNone, holder, std::move(name));
    }
    if (view != nullptr) {
        static_cast<volatile uint32_t*>(view)[0] = ::GetCurrentProcessId();
        ::UnmapViewOfFile(view);
    }
    return SettingsClaim(reinterpret_cast<intptr_t>(section.release()), 0, std::move(name));
}

SettingsClaim::~SettingsClaim() {
    if (m_handle != kNone) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    }
}

} // namespace tessaline
