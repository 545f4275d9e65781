// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/AppServices.h"
#include "platform/SettingsStore.h"

#include <memory>

class QWidget;

namespace tessaline {

class Spooler;

// The program's services over Qt's dialogs and event loop and the system:
// printers through the spooler (CUPS queues, then virtual printers), the
// settings file through the platform's settings store.
class QtServices final : public AppServices {
public:
    explicit QtServices(std::shared_ptr<const Spooler> spooler);

    // The window that owns the dialogs; null: none.
    void SetDialogParent(QWidget* parent) { m_parent = parent; }

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
    QWidget* m_parent = nullptr;
    SettingsStore m_settings;
};

// The application title message boxes show when they name no title of their own.
inline constexpr const char* kApplicationTitle = "Tessaline";

// "Logo File (*.bmp)|*.bmp|Images (*.bmp;*.png)|*.bmp;*.png" as a Qt file
// dialog filter ("Logo File (*.bmp);;Images (*.bmp *.png)").
std::string QtFileFilter(const std::string& filter);

} // namespace tessaline
