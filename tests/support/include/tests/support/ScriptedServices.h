#pragma once

#include "app/core/AppServices.h"
#include "platform/FileIo.h"
#include "platform/HostSystem.h"
#include "platform/ProfileFile.h"
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
// dialog and sleep. Files are real, in the folders the test names.
class ScriptedServices final : public AppServices {
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
    std::vector<std::string> InstalledPrinters() override {
        return spooler ? spooler->ListQueues().names : printers;
    }
    std::string ProgramFolder() override { return programFolder; }
    std::string SettingsFolder() override { return configHome + "/tessaline"; }
    bool FolderWritable(const std::string& folder) override {
        return programFolderWritable.value_or(CanCreateFileIn(folder));
    }
    bool FileExists(const std::string& path) override { return PathIsFile(path); }
    Result<void> RemoveFile(const std::string& path) override { return RemoveFileIfPresent(path); }
    std::optional<std::string> ReadFile(const std::string& path) override {
        Result<std::string> bytes = ReadWholeFile(path);
        return bytes ? std::optional(std::move(bytes).Value()) : std::nullopt;
    }
    Result<void> ReplaceFileBytes(const std::string& path, const std::string& bytes) override {
        return ReplaceFileAtomically(path, bytes, writeHooks ? &*writeHooks : nullptr);
    }
    std::string ReadProfileKey(const std::string& file, const std::string& section,
                               const std::string& key) override {
        ++profileReads;
        return ReadProfileFileString(file, section, key);
    }
    Result<void> WriteProfileKey(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& value) override {
        return WriteProfileFileString(file, section, key, value);
    }
    Result<void> ReplaceProfileFile(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries) override {
        ++profileReplaces;
        return ReplaceProfileFileWith(file, section, entries, writeHooks ? &*writeHooks : nullptr);
    }

    // Script.
    std::deque<MsgAnswer> answers;
    std::deque<FileChoice> choices;
    int32_t codePage = 1252;
    std::vector<std::string> printers{"THERMAL #1"};
    std::shared_ptr<const Spooler> spooler; // when set, the printers come from it
    std::string programFolder;
    std::string configHome; // the settings folder is its "tessaline"
    std::optional<bool> programFolderWritable;
    std::optional<FileWriteHooks> writeHooks;
    std::function<void(int32_t)> onSleep; // runs inside each sleep

    // Record.
    std::vector<Prompt> prompts;
    std::vector<std::pair<std::string, std::string>> dialogs;
    std::vector<int32_t> sleeps;
    int doEvents = 0;
    int profileReads = 0;
    int profileReplaces = 0;
};

} // namespace tessaline::test
