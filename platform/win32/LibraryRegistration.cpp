// SPDX-License-Identifier: MIT
// RegisterLibrary on Windows: LoadLibrary and the library's own
// DllRegisterServer or DllUnregisterServer, as regsvr32 does.
#include "platform/component/LibraryRegistration.h"

#include "platform/win32/ComOwners.h"
#include "platform/win32/HandleOwners.h"
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

Result<void> RegisterLibrary(const std::filesystem::path& library, bool unregister) {
    // The library records its own path, so hand the loader an absolute one:
    // a bare name would send it searching the system's folders instead.
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(library, ec);
    if (ec) {
        return Result<void>::Fail("cannot resolve " + library.string() + ": " + ec.message());
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        return Result<void>::Fail("no such library: " + path.string());
    }
    const win32::UniqueModule module(
        ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) {
        return Result<void>::Fail("cannot load " + path.string() + ": " +
                                  win32::SystemErrorText(::GetLastError()));
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    using EntryFunction = HRESULT(STDAPICALLTYPE*)();
    const auto function = reinterpret_cast<EntryFunction>(
        reinterpret_cast<void*>(::GetProcAddress(module.get(), entry)));
    if (function == nullptr) {
        return Result<void>::Fail(path.string() + " is not a self-registering library: it has no " +
                                  entry);
    }
    // The library registers its type library through COM, as under regsvr32.
    HRESULT result = S_OK;
    {
        const win32::ComScope ole(win32::ComScope::Kind::Ole);
        result = function();
    }
    if (FAILED(result)) {
        return Result<void>::Fail(std::string(entry) + " of " + path.string() +
                                  " failed: " + ResultText(result));
    }
    return {};
}

} // namespace tessaline
