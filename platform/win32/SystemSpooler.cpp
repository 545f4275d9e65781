// SPDX-License-Identifier: MIT
// The spooler on Windows: the printers of the Windows print spooler. Virtual
// printers draw their pictures with libpng, which the Windows build has not:
// there are none here.
#include "platform/SystemSpooler.h"

#include "platform/win32/WinSpoolerBackend.h"

namespace tessaline {

std::shared_ptr<SpoolerBackend> MakeSystemQueues() {
    return std::make_shared<win32::WinSpoolerBackend>();
}

std::unique_ptr<Spooler> MakeSpooler(std::shared_ptr<SpoolerBackend> systemQueues,
                                     const std::filesystem::path&) {
    auto spooler = std::make_unique<Spooler>();
    if (systemQueues) {
        spooler->Install(std::move(systemQueues));
    }
    return spooler;
}

std::unique_ptr<Spooler> MakeSpooler() {
    return MakeSpooler(MakeSystemQueues(), {});
}

} // namespace tessaline
