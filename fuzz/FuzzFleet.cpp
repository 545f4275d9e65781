// SPDX-License-Identifier: MIT
// Feeds arbitrary text to apply's two readers: the manifest (TOML, with its
// own one-line syntax faults) and the state file (JSON). A manifest's fault
// names the manifest's file and is one line for a syntax fault; a state it
// reads is written back and read again unchanged.
#include "fleet/FleetState.h"
#include "fleet/Manifest.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaline;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
#ifdef TESSALINE_FUZZ_STATE
    const auto state = ParseFleetState(text);
    if (!state) {
        return 0;
    }
    const std::string written = FleetStateText(state.Value());
    const auto again = ParseFleetState(written);
    if (!again || FleetStateText(again.Value()) != written) {
        __builtin_trap();
    }
#else
    // Logo files are looked for, never read, under a folder that is not there.
    const std::string file = "/nonexistent-tessaline-fuzz/fleet.toml";
    const auto manifest = ParseManifest(text, file);
    if (!manifest && manifest.Reason().rfind(file, 0) != 0) {
        __builtin_trap();
    }
#endif
    return 0;
}
