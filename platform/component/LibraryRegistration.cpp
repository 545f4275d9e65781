// SPDX-License-Identifier: MIT
#include "platform/component/LibraryRegistration.h"

#include "tessaline/tessaline_component.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <system_error>

namespace tessaline {
namespace {

std::string ResultText(TsResult result) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(result));
    switch (result) {
    case TS_SELFREG_E_TYPELIB:
        return std::string(hex) + " (the type library could not be registered)";
    case TS_SELFREG_E_CLASS:
        return std::string(hex) + " (the classes could not be registered)";
    default:
        return hex;
    }
}

} // namespace

Result<void> RegisterLibrary(const std::filesystem::path& library, bool unregister) {
    // The library records its own path, so hand dlopen an absolute one: a bare
    // name would send it searching the system's library folders instead.
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(library, ec);
    if (ec) {
        return Result<void>::Fail("cannot resolve " + library.string() + ": " + ec.message());
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        return Result<void>::Fail("no such library: " + path.string());
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        return Result<void>::Fail("cannot load " + path.string() + ": " +
                                  (why ? why : "unknown error"));
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    ::dlerror();
    void* symbol = ::dlsym(handle, entry);
    if (!symbol) {
        // dlclose frees the text dlerror returned: keep a copy first.
        const char* error = ::dlerror();
        const std::string why = error ? error : entry;
        ::dlclose(handle);
        return Result<void>::Fail(path.string() + " is not a component library: " + why);
    }
    TsDllRegisterServerFn fn = nullptr;
    static_assert(sizeof fn == sizeof symbol);
    std::memcpy(&fn, &symbol, sizeof fn);
    TsResult result = fn();
    ::dlclose(handle);
    if (TS_FAILED(result)) {
        return Result<void>::Fail(std::string(entry) + " of " + path.string() +
                                  " failed: " + ResultText(result));
    }
    return {};
}

} // namespace tessaline
