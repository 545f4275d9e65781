// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"

#include <filesystem>
#include <memory>

namespace tessaline {

// The system's own print queues: those of CUPS here, of the Windows spooler
// on Windows.
std::shared_ptr<SpoolerBackend> MakeSystemQueues();

// The spooler the program, the control and tessaline-cli print through: the
// system's queues first (none when `systemQueues` is null), then the virtual
// printers under `dataHome`, where the platform has them.
std::unique_ptr<Spooler> MakeSpooler(std::shared_ptr<SpoolerBackend> systemQueues,
                                     const std::filesystem::path& dataHome);
// The same over MakeSystemQueues() and TessalineDataHome().
std::unique_ptr<Spooler> MakeSpooler();

} // namespace tessaline
