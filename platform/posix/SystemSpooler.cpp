// SPDX-License-Identifier: MIT
// The spooler on POSIX systems: the CUPS queues, then the virtual printers.
#include "platform/SystemSpooler.h"

#include "platform/UserFolders.h"
#include "platform/cups/CupsBackend.h"
#include "platform/virtual/VirtualPrinterBackend.h"

namespace tessaline {

std::shared_ptr<SpoolerBackend> MakeSystemQueues() {
    return std::make_shared<CupsBackend>();
}

std::unique_ptr<Spooler> MakeSpooler(std::shared_ptr<SpoolerBackend> systemQueues,
                                     const std::filesystem::path& dataHome) {
    auto spooler = std::make_unique<Spooler>();
    if (systemQueues) {
        spooler->Install(std::move(systemQueues));
    }
    spooler->Install(std::make_shared<VirtualPrinterBackend>(dataHome));
    return spooler;
}

std::unique_ptr<Spooler> MakeSpooler() {
    return MakeSpooler(MakeSystemQueues(), TessalineDataHome());
}

} // namespace tessaline
