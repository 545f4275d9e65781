// SPDX-License-Identifier: MIT
#include "Registration.h"

#include "ModuleData.h"
#include "TessalineIds.h"
#include "TypeLibrary.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace tessaline {

namespace {

// An address inside this library, for dladdr.
constexpr int kAddressInLibrary = 0;

// A registry step that throws failed like one that returns false.
template <typename Step> bool Succeeds(Step&& step) noexcept {
    try {
        return step();
    } catch (...) {
        return false;
    }
}

} // namespace

TypeLibRegistration TessalineTypeLibEntry(const std::string& libraryPath) {
    const TsTypeLibInfo& lib = TessalineTypeLib();
    TypeLibRegistration entry;
    entry.libid = lib.uuid;
    entry.name = lib.name;
    entry.version = kTypeLibVersion;
    entry.helpString = lib.helpString;
    entry.helpFile = lib.helpFile;
    entry.libraryPath = libraryPath;
    return entry;
}

ClassRegistration TessalineControlEntry(const std::string& libraryPath) {
    ClassRegistration entry;
    entry.clsid = kTessalineClsid;
    entry.progId = kTessalineProgId;
    entry.userTypeName = LoadResourceString(kIdsTessaline);
    entry.libraryPath = libraryPath;
    entry.threadingModel = "Apartment";
    entry.control = true;
    entry.insertable = false;
    entry.toolboxBitmap = kIdbTessaline;
    entry.miscStatus = kTessalineMiscStatus;
    entry.typeLibId = kTessalineLibId;
    entry.typeLibVersion = kTypeLibVersion;
    return entry;
}

ClassRegistration TessalinePropPageEntry(const std::string& libraryPath) {
    ClassRegistration entry;
    entry.clsid = kTessalinePropPageClsid;
    entry.progId = kTessalinePropPageProgId;
    entry.userTypeName = LoadResourceString(kIdsTessalinePpg);
    entry.libraryPath = libraryPath;
    entry.threadingModel = "Apartment";
    return entry;
}

TsResult RegisterTessaline(ComponentRegistry& registry, const std::string& libraryPath) {
    if (libraryPath.empty() ||
        !Succeeds([&] { return registry.RegisterTypeLib(TessalineTypeLibEntry(libraryPath)); })) {
        return TS_SELFREG_E_TYPELIB;
    }
    if (!Succeeds([&] {
            return registry.RegisterClass(TessalineControlEntry(libraryPath)) &&
                   registry.RegisterClass(TessalinePropPageEntry(libraryPath));
        })) {
        return TS_SELFREG_E_CLASS;
    }
    return TS_S_OK;
}

TsResult UnregisterTessaline(ComponentRegistry& registry) {
    if (!Succeeds([&] { return registry.UnregisterTypeLib(kTessalineLibId, kTypeLibVersion); })) {
        return TS_SELFREG_E_TYPELIB;
    }
    if (!Succeeds([&] {
            return registry.UnregisterClass(kTessalineClsid) &&
                   registry.UnregisterClass(kTessalinePropPageClsid);
        })) {
        return TS_SELFREG_E_CLASS;
    }
    return TS_S_OK;
}

std::string ThisLibraryPath() {
    Dl_info info{};
    if (::dladdr(&kAddressInLibrary, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    // The loader may know the library by a relative path; the registry needs
    // one that works from any folder.
    char* resolved = ::realpath(info.dli_fname, nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string path(resolved);
    std::free(resolved);
    return path;
}

} // namespace tessaline
