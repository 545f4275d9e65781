// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/MainWindowView.h"
#include "app/core/ProgressLogic.h"
#include "app/core/clsFiles.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tessaline {

class AppServices;
class SystemServices;
class LogoControl;

// The main window's state and rules. The window wires its widgets to these
// handlers; everything it shows goes through the view.
class MainWindowLogic {
public:
    // `control` is null when the Tessaline control could not be created;
    // `controlError` then says which ProgID is missing and how to register it.
    MainWindowLogic(MainWindowView& view, AppServices& services, SystemServices& system,
                    LogoControl* control, std::string controlError = {});
    ~MainWindowLogic();
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // Window events.
    void Form_Load();
    // False while a control call runs: the window must not unload then.
    bool Form_QueryUnload() const;
    void Form_Unload();
    void SSTab_Click();
    void cmdClose_Click();

    // The file commands.
    void cmdSearch_Click();
    void cmdRemove_Click();
    void cmdReset_Click();

    // The preview panel.
    void ListView_ItemClick(int32_t index);
    void optImageMode_Click(int32_t Index);
    void Slider1_MouseDown();
    // The slider's position changed (a drag, the keys, a press): the
    // brightness follows what the slider shows, and the preview with it.
    void Slider1_Change();

    // The printer commands.
    void cmdUpload_Click();
    void Cmd_Erase_Click();
    void cmdPrint_Click();
    // The hosted control's Progress event.
    void Tessaline_Progress(int32_t Data);

    void RefreshFileList();

    // Window state, for the other windows and for tests.
    const std::string& Title() const { return gstrTitle; }
    int32_t CodePage() const { return mlngCodePage; }
    int32_t ImageMode() const { return mlngImageMode; }
    int32_t Brightness() const { return mlngBrightness; }
    const std::string& PreviewFile() const { return mstrPreviewFile; }
    int32_t Printer() const { return mlngPrinter; }
    const std::string& PrinterName() const { return mstrPrinterName; }
    int32_t Range() const { return mlngRange; }
    int32_t Mode() const { return mlngMode; }
    const ProgressLogic& Progress() const { return m_progress; }
    bool Busy() const { return m_busy > 0; }
    // The file list; null before start-up finds a printer and after unload.
    clsFiles* Files() const { return mobjFiles.get(); }

private:
    // Holds the window's commands off while a control call runs.
    class BusyScope {
    public:
        explicit BusyScope(int& busy) : m_busy(busy) { ++m_busy; }
        ~BusyScope() { --m_busy; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        int& m_busy;
    };

    bool Korean() const { return mlngCodePage == kKorean; }
    int32_t FindPrinters();
    void StopStartup();
    void ApplyControlAvailability();
    void PreviewRefresh(int16_t m);
    void AddFile();
    bool PrinterCommandsReady() const;
    int32_t SelectedMode() const;
    void OpenProgress(int32_t lngMax);
    // The result of an upload or erase: the failure message for -4 to -1,
    // `success` for 0, the queued message for -7, nothing for any other code.
    void ReportTransfer(std::optional<int32_t> result, const char* success);
    // `text`, then the control's ErrorText on a line of its own where it has one.
    std::string WithControlReason(const char* text);
    // A job the spooler holds still, not printed yet: said with the queue's state.
    void ReportQueued();

    static constexpr int32_t kKorean = 949;

    MainWindowView& m_view;
    AppServices& m_services;
    SystemServices& m_system;
    LogoControl* m_control;
    std::string m_controlError;

    std::unique_ptr<clsFiles> mobjFiles;
    int32_t mlngCodePage = 0;
    int32_t mlngPrinter = 0;
    std::string mstrPrinterName;
    int32_t mlngRange = 0;
    int32_t mlngMode = 0;
    int32_t mlngImageMode = 0;
    // The slider's start position, so that the preview start-up asks for
    // already uses the brightness the slider shows.
    int32_t mlngBrightness = 5;
    std::string gstrTitle;
    std::string mstrPreviewFile;
    ProgressLogic m_progress;

    bool m_startupComplete = false;
    bool m_unloaded = false;
    int m_busy = 0;
};

} // namespace tessaline
