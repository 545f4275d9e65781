// SPDX-License-Identifier: MIT
// frmCorvido: the main window's widgets, laid out from the form's twips and wired to its rules.
#pragma once

#include "app/core/MainWindowLogic.h"
#include "app/core/MainWindowView.h"
#include "app/core/ProgramSettings.h"
#include "app/gui/InputHold.h"
#include "app/gui/frmProgress.h"

#include <QIcon>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class PrintersPage;

namespace Ui {
class frmCorvido;
}
namespace tessaline {
class AppServices;
class SystemServices;
class ControlHost;
class LogoControl;
} // namespace tessaline

// The main window. It lays its controls out from the form's twips, shows what
// the rules in MainWindowLogic tell it and hands every event to them.
class frmCorvido : public QWidget, public tessaline::MainWindowView {
    Q_OBJECT
public:
    // `host` draws the control on the window (null: nothing drawn); `control`
    // is the control's methods (null: the control could not be created, and
    // `controlError` says why).
    frmCorvido(tessaline::AppServices& services, tessaline::SystemServices& system,
               tessaline::ControlHost* host, tessaline::LogoControl* control,
               std::string controlError = {}, QWidget* parent = nullptr);
    ~frmCorvido() override;

    // Runs the start-up sequence; call once before the window is first shown.
    // The window comes back at its last size, on its last tab.
    void Load();
    // Shows the "Printers" tab with `printer` chosen and asked.
    void OpenOnPrinter(const std::string& printer);
    PrintersPage& Printers() const { return *m_printers; }

    tessaline::MainWindowLogic& Logic() { return *m_logic; }
    // The widget of a control, for tests and screenshots.
    QWidget* Control(tessaline::Ctl control) const;
    // Pixels for twips at the screen's resolution.
    int Pixels(int twips) const;
    // The program's icon, the one its package installs.
    static QIcon ProgramIcon();
    // The progress window while it is loaded; null otherwise.
    frmProgress* ProgressWindow() const { return m_progressForm.Window(); }

    // MainWindowView
    void ClearRows() override;
    void AddRow(int32_t index, const std::string& text, const std::string& subItem1,
                const std::string& subItem2) override;
    void SetText(tessaline::Ctl control, const std::string& text) override;
    std::string Text(tessaline::Ctl control) const override;
    void SetEnabled(tessaline::Ctl control, bool enabled) override;
    bool Enabled(tessaline::Ctl control) const override;
    void SetVisible(tessaline::Ctl control, bool visible) override;
    bool Visible(tessaline::Ctl control) const override;
    void SetValue(tessaline::Ctl option, bool selected) override;
    bool Value(tessaline::Ctl option) const override;
    void AddColumn(const std::string& text, int32_t widthTwips, bool rightAligned) override;
    int32_t ItemCount() const override;
    int32_t SelectedIndex() const override;
    void SelectItem(int32_t index) override;
    void AddPrinterName(const std::string& name) override;
    void SelectPrinter(int32_t index) override;
    int32_t SliderValue() const override;
    int32_t SliderMax() const override;
    bool LoadPicture(tessaline::Ctl image, const std::string& path) override;
    void SetPictureRect(tessaline::Ctl image, int32_t left, int32_t top, int32_t width,
                        int32_t height) override;
    void SetFocus(tessaline::Ctl control) override;
    tessaline::ProgressView& ProgressForm() override { return m_progressForm; }
    void CentreOnScreen() override;
    void Unload() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOutFromTwips();
    // Keeps the controls outside the tab at the design's distance from the
    // window's bottom when the window is larger than designed.
    void FollowWindowSize();
    void RestorePlacement();
    void SavePlacement();
    void PlaceTabChildren();
    void WireEvents();
    void PaintAboutPicture();
    static void FitTextToLabel(QLabel& label);

    std::unique_ptr<Ui::frmCorvido> m_ui;
    tessaline::ProgramSettings m_programSettings;
    PrintersPage* m_printers = nullptr;
    QSize m_designSize;
    std::array<QWidget*, tessaline::kControlCount> m_controls{};
    std::vector<bool> m_rightAligned;
    double m_dpi = 96.0;
    bool m_forwardingPress = false;
    // Before the rules, which reach the progress window through it.
    ProgressWindowHost m_progressForm{this};
    std::unique_ptr<tessaline::MainWindowLogic> m_logic;
    // While a command runs, the window's controls take no input at all.
    std::unique_ptr<InputHold> m_inputHold;
};
