#include "ControlSpooler.h"

#include "platform/cups/CupsBackend.h"
#include "platform/virtual/VirtualPrinterBackend.h"

namespace tessaline {

std::unique_ptr<Spooler> MakeControlSpooler() {
    auto spooler = std::make_unique<Spooler>();
    spooler->Install(std::make_shared<CupsBackend>());
    spooler->Install(std::make_shared<VirtualPrinterBackend>());
    return spooler;
}

} // namespace tessaline
