// SPDX-License-Identifier: MIT
// Tessaline's per-user folder on Windows: %APPDATA%\Tessaline (the roaming
// application data folder) for settings and data alike.
#include "platform/UserFolders.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

namespace tessaline {

namespace {

std::filesystem::path ApplicationData() {
    wchar_t* folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)) &&
        folder != nullptr) {
        path = folder;
    } else {
        // A service account without a profile: the variable, else the
        // program's own temporary folder rather than a relative path.
        wchar_t buffer[MAX_PATH] = {};
        const DWORD length = ::GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            path = buffer;
        } else if (::GetTempPathW(MAX_PATH, buffer) > 0) {
            path = buffer;
        }
    }
    ::CoTaskMemFree(folder);
    return path;
}

} // namespace

std::filesystem::path TessalineConfigHome() {
    return ApplicationData() / L"Tessaline";
}

std::filesystem::path TessalineDataHome() {
    return ApplicationData() / L"Tessaline";
}

} // namespace tessaline
