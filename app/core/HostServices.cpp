// SPDX-License-Identifier: MIT
#include "app/core/SystemServices.h"
#include "platform/HostSystem.h"
#include "platform/Spooler.h"
#include "platform/UserFolders.h"
#include "platform/connection/LocalNetworks.h"

#include <utility>

namespace tessaline {

std::vector<std::string> SystemServices::OwnNetworks() {
    std::vector<std::string> blocks;
    for (const LocalNetwork& own : LocalIpv4Networks()) {
        if (own.prefixLength >= kWidestOwnNetwork) {
            blocks.push_back(own.block);
        }
    }
    return blocks;
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
