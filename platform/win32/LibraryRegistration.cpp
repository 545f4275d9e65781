// SPDX-License-Identifier: MIT
// RegisterLibrary on Windows: LoadLibrary and the library's own
// DllRegisterServer or DllUnregisterServer, as regsvr32 does.
#include "platform/component/LibraryRegistration.h"

#include "platform/win32/SystemError.h"

#include <cstdio>
#include <objbase.h>
#include <olectl.h>
#include <system_error>
#include <windows.h>

namespace tessaline {

namespace {

std::string ResultText(HRESULT result) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
    switch (result) {
    case SELFREG_E_TYPELIB:
        return std::string(hex) + " (the type library could not be registered)";
    case SELFREG_E_CLASS:
        return std::string(hex) + " (the classes could not be registered)";
    default:
        return std::string(hex) + " (" + win32::SystemErrorText(static_cast<uint32_t>(result)) +
               ")";
    }
}

} // namespace

bool RegisterLibrary(const std::filesystem::path& library, bool unregister, std::string& error) {
    error.clear();
    // The library records its own path, so hand the loader an absolute one:
    // a bare name would send it searching the system's folders instead.
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(library, ec);
    if (ec) {
        error = "cannot resolve " + library.string() + ": " + ec.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "no such library: " + path.string();
        return false;
    }
    HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        error = "cannot load " + path.string() + ": " + win32::SystemErrorText(::GetLastError());
        return false;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    using EntryFunction = HRESULT(STDAPICALLTYPE*)();
    const auto function =
        reinterpret_cast<EntryFunction>(reinterpret_cast<void*>(::GetProcAddress(module, entry)));
    if (function == nullptr) {
        error = path.string() + " is not a self-registering library: it has no " + entry;
        ::FreeLibrary(module);
        return false;
    }
    // The library registers its type library through COM, as under regsvr32.
    const HRESULT started = ::OleInitialize(nullptr);
    const HRESULT result = function();
    if (SUCCEEDED(started)) {
        ::OleUninitialize();
    }
    ::FreeLibrary(module);
    if (FAILED(result)) {
        error = std::string(entry) + " of " + path.string() + " failed: " + ResultText(result);
        return false;
    }
    return true;
}

} // namespace tessaline
