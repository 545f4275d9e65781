// SPDX-License-Identifier: MIT
#pragma once

// A control test with temporary homes, one installed virtual printer
// "THERMAL #1" and a few logo files.

#include "ControlTesting.h"
#include "platform/FileIo.h"
#include "platform/virtual/VirtualPrinterFolder.h"
#include "platform/virtual/VirtualPrinterStore.h"
#include "tests/support/BmpBuilder.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaline::test {

inline constexpr const char* kQueue = "THERMAL #1";

class WithVirtualPrinter : public ::testing::Test {
protected:
    WithVirtualPrinter() {
        EXPECT_TRUE(VirtualPrinterStore(homes.DataHome()).Add(kQueue, {}).Ok());
    }

    // A w × h 24-bit logo, black where `black` says.
    std::string Logo(
        const std::string& name, int w, int h,
        const std::function<bool(int, int)>& black = [](int, int) { return true; }) {
        const std::filesystem::path path = homes.Root() / name;
        EXPECT_TRUE(WriteFile(path, MakeBlackOnWhite(w, h, black)));
        return path.string();
    }

    std::filesystem::path Folder() const {
        return VirtualPrinterStore(homes.DataHome()).PrinterFolder(kQueue);
    }
    std::vector<uint32_t> Jobs() const { return VirtualPrinterFolder(Folder()).JobNumbers(); }
    std::vector<uint8_t> Job(uint32_t n) const {
        const auto bytes =
            ReadWholeFile(Folder() / "jobs" / (VirtualPrinterFolder::JobName(n) + ".bin"));
        return bytes ? std::vector<uint8_t>(bytes.Value().begin(), bytes.Value().end())
                     : std::vector<uint8_t>{};
    }

    TempHomes homes;
};

} // namespace tessaline::test
