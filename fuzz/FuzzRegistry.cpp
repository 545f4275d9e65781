// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the component registry as its file: looking
// classes up never fails on them, a class registered reads back, and
// registering then unregistering leaves the file as it was (bar the line
// break an unterminated last line gains).
#include "FuzzScratch.h"
#include "platform/component/ComponentRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

using tessaline::ClassRegistration;
using tessaline::TypeLibRegistration;

constexpr const char* kClsid = "{0B5E4A10-7C1D-4F2E-9A3B-5C6D7E8F9012}";
constexpr const char* kLibId = "{1C6F5B21-8D2E-4A3F-8B4C-6D7E8F901234}";
constexpr const char* kProgId = "TESSALINE.FuzzCtrl.1";

std::string g_file;

std::string Contents() {
    std::ifstream in(g_file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = (tessaline::fuzz::ScratchFolder() / "components.reg").string();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string before(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
        out << before;
    }
    tessaline::ComponentRegistry registry(g_file);
    registry.FindClassByProgId("TESSALINE.TessalineCtrl.1");
    registry.FindTypeLib("{C55950F9-B8E7-4BEA-B316-2A86074C54F8}", "1.0");
    for (const ClassRegistration& c : registry.Classes()) {
        registry.FindClass(c.clsid);
    }
    if (ContainsNoCase(before, kClsid) || ContainsNoCase(before, kLibId) ||
        ContainsNoCase(before, kProgId)) {
        return 0; // the file already holds entries of ours
    }

    ClassRegistration entry;
    entry.clsid = kClsid;
    entry.progId = kProgId;
    entry.userTypeName = "Fuzz Control";
    entry.libraryPath = "/usr/lib/libfuzz-control.so";
    entry.control = true;
    entry.miscStatus = 131473;
    entry.typeLibId = kLibId;
    entry.typeLibVersion = "1.0";
    TypeLibRegistration library{kLibId, "FUZZLib", "1.0", "Fuzz module", "", entry.libraryPath};
    if (!registry.RegisterTypeLib(library) || !registry.RegisterClass(entry)) {
        __builtin_trap();
    }
    const auto found = registry.FindClassByProgId(kProgId);
    const auto foundLib = registry.FindTypeLib(kLibId, "1.0");
    if (!found || found->clsid != kClsid || found->libraryPath != entry.libraryPath || !foundLib ||
        foundLib->libraryPath != entry.libraryPath) {
        __builtin_trap();
    }
    if (!registry.UnregisterClass(kClsid) || !registry.UnregisterTypeLib(kLibId, "1.0")) {
        __builtin_trap();
    }
    const std::string after = Contents();
    const bool unterminated = !before.empty() && before.back() != '\n';
    if (after != before && !(unterminated && after == before + "\n")) {
        __builtin_trap();
    }
    return 0;
}
