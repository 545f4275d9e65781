#pragma once

#include "platform/Spooler.h"

#include <memory>

namespace tessaline {

// The spooler the control prints through: CUPS queues first, then the
// virtual printers under the user's data folder.
std::unique_ptr<Spooler> MakeControlSpooler();

} // namespace tessaline
