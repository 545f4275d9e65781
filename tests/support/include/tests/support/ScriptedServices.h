// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/AppServices.h"
#include "app/core/SystemServices.h"
#include "platform/HostSystem.h"
#include "platform/SettingsStore.h"
#include "platform/Spooler.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaline::test {

// One message box as the program asked for it.
struct Prompt {
    std::string text;
    std::optional<std::string> title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

// Services whose answers the test scripts and which record every prompt,
// dialog and sleep. Files are real, in the folders the test names, through
// the platform's own settings store.
class ScriptedServices final : public AppServices, public SystemServices {
public:
    MsgAnswer ShowMessage(const std::string& text, const std::optional<std::string>& title,
                          MsgButtons buttons, MsgIcon icon) override {
        prompts.push_back({text, title, buttons, icon});
        if (!answers.empty()) {
            const MsgAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
    FileChoice OpenFileDialog(const std::string& initialFolder,
                              const std::string& filter) override {
        dialogs.push_back({initialFolder, filter});
        if (choices.empty()) {
            return {};
        }
        FileChoice choice = choices.front();
        choices.pop_front();
        return choice;
    }
    void Sleep(int32_t milliseconds) override {
        sleeps.push_back(milliseconds);
        if (onSleep) {
            onSleep(milliseconds);
        }
    }
    void DoEvents() override { ++doEvents; }
    int32_t CodePage() override { return codePage; }
    std::string UnreachedSpooler() override {
        if (!spooler) {
            return {};
        }
        const QueueList list = spooler->ListQueues();
        return list.reached ? std::string() : list.reached.Reason();
    }
    std::vector<std::string> InstalledPrinters() override {
        return spooler ? spooler->ListQueues().names : printers;
    }
    std::string ProgramFolder() override { return programFolder; }
    std::string SettingsFolder() override { return configHome + "/tessaline"; }
    bool FolderWritable(const std::string& folder) override {
        return programFolderWritable.value_or(CanCreateFileIn(folder));
    }
    std::shared_ptr<const Spooler> PrinterSpooler() override { return spooler; }
    // Never the machine's own: a test names its loopback networks.
    std::vector<std::string> OwnNetworks() override { return networks; }
    uint16_t PrinterPort() override { return printerPort; }
    SettingsStore& Settings() override {
        ++settingsUses;
        if (writeHooks) {
            settings.UseWriteHooks(*writeHooks);
        }
        return settings;
    }

    // Script.
    std::deque<MsgAnswer> answers;
    std::deque<FileChoice> choices;
    int32_t codePage = 1252;
    std::vector<std::string> printers{"THERMAL #1"};
    std::vector<std::string> networks; // where "Find printers..." looks: loopback only
    uint16_t printerPort = 9100;
    std::shared_ptr<const Spooler> spooler; // when set, the printers come from it
    std::string programFolder;
    std::string configHome; // the settings folder is its "tessaline"
    std::optional<bool> programFolderWritable;
    std::optional<FileWriteHooks> writeHooks; // every write of the settings store
    SettingsStore settings;
    std::function<void(int32_t)> onSleep; // runs inside each sleep

    // Record.
    std::vector<Prompt> prompts;
    std::vector<std::pair<std::string, std::string>> dialogs;
    std::vector<int32_t> sleeps;
    int doEvents = 0;
    int settingsUses = 0; // times the program asked for the settings store
};

} // namespace tessaline::test
