// SPDX-License-Identifier: MIT
#pragma once

#include "platform/SettingsStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessaline {

class Spooler;

// What the program asks of the system rather than of its windows: the code
// page, the installed printers, its folders and the settings store. The
// program gets the system's own (HostServices); the tests hand in a
// scripted one.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // The ANSI code page the system's locale stands for.
    virtual int32_t CodePage() = 0;
    // Names of the installed printers, in the spooler's order.
    virtual std::vector<std::string> InstalledPrinters() = 0;
    // Why a spooler that may hold more printers could not be reached at all
    // ("CUPS is not reachable at localhost:631: Connection refused"); empty
    // when every spooler answered.
    virtual std::string UnreachedSpooler() { return {}; }
    // The folder that holds the program's executable file.
    virtual std::string ProgramFolder() = 0;
    // The user's own folder for Tessaline's settings (TessalineConfigHome()).
    virtual std::string SettingsFolder() = 0;
    // True when a new file can be created in `folder`.
    virtual bool FolderWritable(const std::string& folder) = 0;
    // The store through which the settings file is read and written.
    virtual SettingsStore& Settings() = 0;
    // The spooler the printers are listed from and printed through; none without one.
    virtual std::shared_ptr<const Spooler> PrinterSpooler() { return nullptr; }
    // The IPv4 networks this computer is on ("10.1.0.0/24"), each of at most
    // kWidestOwnNetwork's size (platform/connection/LocalNetworks.h): where
    // "Find printers..." looks. TESSALINE_FIND_NETWORKS, when set, names the
    // networks instead (blocks or addresses, between commas or blanks): a
    // shop's one printer subnet, or a rehearsal's loopback printers.
    virtual std::vector<std::string> OwnNetworks();
    // The port it asks at each address: the raw printing port, 9100, or
    // TESSALINE_FIND_PORT when that holds a port.
    virtual uint16_t PrinterPort();
};

// The system's services through platform/, the same on every system:
// printers from the spooler list (none without one), the settings through
// the platform's settings store.
class HostServices final : public SystemServices {
public:
    explicit HostServices(std::shared_ptr<const Spooler> spooler);

    int32_t CodePage() override;
    std::vector<std::string> InstalledPrinters() override;
    std::string UnreachedSpooler() override;
    std::string ProgramFolder() override;
    std::string SettingsFolder() override;
    bool FolderWritable(const std::string& folder) override;
    SettingsStore& Settings() override;
    std::shared_ptr<const Spooler> PrinterSpooler() override { return m_spooler; }

private:
    std::shared_ptr<const Spooler> m_spooler;
    SettingsStore m_settings;
};

} // namespace tessaline
