// SPDX-License-Identifier: MIT
#include "app/core/SystemServices.h"
#include "platform/HostSystem.h"
#include "platform/Spooler.h"
#include "platform/UserFolders.h"
#include "platform/connection/LocalNetworks.h"

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace tessaline {

std::vector<std::string> SystemServices::OwnNetworks() {
    std::vector<std::string> blocks;
    if (const char* named = std::getenv("TESSALINE_FIND_NETWORKS"); named != nullptr) {
        std::string block;
        for (const char* c = named;; ++c) {
            if (*c == '\0' || *c == ',' || *c == ' ' || *c == '\t') {
                if (!block.empty()) {
                    blocks.push_back(block);
                }
                block.clear();
                if (*c == '\0') {
                    return blocks;
                }
            } else {
                block.push_back(*c);
            }
        }
    }
    for (const LocalNetwork& own : LocalIpv4Networks()) {
        if (own.prefixLength >= kWidestOwnNetwork) {
            blocks.push_back(own.block);
        }
    }
    return blocks;
}

uint16_t SystemServices::PrinterPort() {
    constexpr uint16_t kRawPrintingPort = 9100;
    const char* given = std::getenv("TESSALINE_FIND_PORT");
    if (given == nullptr || *given == '\0') {
        return kRawPrintingPort;
    }
    unsigned long port = 0;
    for (const char* c = given; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || port > 65535) {
            return kRawPrintingPort;
        }
        port = port * 10 + static_cast<unsigned long>(*c - '0');
    }
    return port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : kRawPrintingPort;
}

HostServices::HostServices(std::shared_ptr<const Spooler> spooler)
    : m_spooler(std::move(spooler)) {}

int32_t HostServices::CodePage() {
    return EnvironmentCodePage();
}

std::vector<std::string> HostServices::InstalledPrinters() {
    std::vector<std::string> names;
    if (!m_spooler) {
        return names;
    }
    for (const std::string& name : m_spooler->ListQueues().names) {
        names.push_back(ProgramTextFromSystem(name));
    }
    return names;
}

std::string HostServices::UnreachedSpooler() {
    if (!m_spooler) {
        return {};
    }
    const QueueList list = m_spooler->ListQueues();
    return list.reached ? std::string() : list.reached.Reason();
}

std::string HostServices::ProgramFolder() {
    return ExecutableFolder();
}

std::string HostServices::SettingsFolder() {
    return PathAsText(TessalineConfigHome());
}

bool HostServices::FolderWritable(const std::string& folder) {
    return CanCreateFileIn(folder);
}

SettingsStore& HostServices::Settings() {
    return m_settings;
}

} // namespace tessaline
