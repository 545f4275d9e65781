// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"
#include "app/core/AppServices.h"
#include "platform/SettingsStore.h"

#include <memory>

namespace tessaline {

class Spooler;

// The program's services over the Windows API: message boxes and the
// file-open dialog of the system, waits and message handling that let no
// user input through, the ANSI code page, the spooler's printers, and the
// platform's settings store (the private profile functions). Strings cross this
// seam in UTF-8; the system gets UTF-16, or ANSI where the design has it.
class Win32Services final : public AppServices {
public:
    explicit Win32Services(std::shared_ptr<const Spooler> spooler);

    // The window that owns the message boxes and the dialog; null: none.
    void SetOwner(HWND owner) { m_owner = owner; }

    MsgAnswer ShowMessage(const std::string& text, const std::optional<std::string>& title,
                          MsgButtons buttons, MsgIcon icon) override;
    FileChoice OpenFileDialog(const std::string& initialFolder, const std::string& filter) override;
    void Sleep(int32_t milliseconds) override;
    void DoEvents() override;
    int32_t CodePage() override;
    std::vector<std::string> InstalledPrinters() override;
    std::string ProgramFolder() override;
    std::string SettingsFolder() override;
    bool FolderWritable(const std::string& folder) override;
    SettingsStore& Settings() override;

private:
    std::shared_ptr<const Spooler> m_spooler;
    HWND m_owner = nullptr;
    SettingsStore m_settings;
};

// The application title message boxes show when they name no title of their own.
inline constexpr const char* kApplicationTitle = "Tessaline";

// "Logo File (*.bmp)|*.bmp" as the dialog's filter: description and pattern
// pairs, each ended by a NUL, the list by a second one.
std::string DialogFilter(const std::string& filter);

} // namespace tessaline
