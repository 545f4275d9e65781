#pragma once

#include "app/core/AppServices.h"

#include <memory>

class QWidget;

namespace tessaline {

class Spooler;

// The program's services over Qt's dialogs and event loop and the system:
// printers through the spooler (CUPS queues, then virtual printers), the
// settings file through the profile functions.
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
    bool FileExists(const std::string& path) override;
    Result<void> RemoveFile(const std::string& path) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    Result<void> ReplaceFileBytes(const std::string& path, const std::string& bytes) override;
    std::string ReadProfileKey(const std::string& file, const std::string& section,
                               const std::string& key) override;
    Result<void> WriteProfileKey(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& value) override;
    Result<void> ReplaceProfileFile(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries) override;

private:
    std::shared_ptr<const Spooler> m_spooler;
    QWidget* m_parent = nullptr;
};

// The application title message boxes show when they name no title of their own.
inline constexpr const char* kApplicationTitle = "Tessaline";

// "Logo File (*.bmp)|*.bmp|Images (*.bmp;*.png)|*.bmp;*.png" as a Qt file
// dialog filter ("Logo File (*.bmp);;Images (*.bmp *.png)").
std::string QtFileFilter(const std::string& filter);

} // namespace tessaline
