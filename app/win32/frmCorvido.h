// SPDX-License-Identifier: MIT
#pragma once

#include "PrintersPage.h"
#include "WindowsApi.h"
#include "app/core/DispatchLogoControl.h"
#include "app/core/MainWindowLogic.h"
#include "app/core/MainWindowView.h"
#include "app/core/ProgramSettings.h"
#include "app/win32/ControlSite.h"
#include "frmProgress.h"
#include "platform/component/ControlHost.h"
#include "platform/win32/HandleOwners.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace tessaline {
class AppServices;
class SystemServices;
} // namespace tessaline

// The main window, built from the standard Windows controls at the form's
// positions in twips. It shows what the rules in MainWindowLogic tell it and
// hands every event to them; it hosts the Tessaline control in place.
class frmCorvido final : public tessaline::MainWindowView {
public:
    frmCorvido(tessaline::AppServices& services, tessaline::SystemServices& system);
    ~frmCorvido() override;
    frmCorvido(const frmCorvido&) = delete;
    frmCorvido& operator=(const frmCorvido&) = delete;

    // Builds the window (hidden) with its controls and creates the control
    // by `progId` in its place. False when the window itself cannot be made.
    bool Create(HINSTANCE instance, const wchar_t* progId);
    // Runs the start-up sequence; call once before the window is first shown.
    void Load();
    void Show(int showCommand);
    HWND Window() const { return m_window; }
    tessaline::MainWindowLogic& Logic() { return *m_logic; }
    // Shows the "Printers" tab with `printer` chosen and asked.
    void OpenOnPrinter(const std::string& printer);
    // Alt and a tab's mnemonic ("&Printers") chooses that tab; true when it did.
    bool TabMnemonic(const MSG& msg);

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
    tessaline::ProgressView& ProgressForm() override { return *m_progressForm; }
    void CentreOnScreen() override;
    void Unload() override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnNotify(const NMHDR& header);
    void OnClose();
    void OnDestroy();
    // Shows the tab's page `tab` (0: the logo list, 1: "Printers").
    void ShowPage(int tab);
    void RestorePlacement();
    void SavePlacement();
    // The controls outside the tab keep the design's distance from the
    // window's bottom; the tab and its pages take the room.
    void FollowWindowSize(int clientWidth, int clientHeight);
    // Runs a handler of the rules; what the user did meanwhile is dropped.
    template <typename Handler> void RunEvent(Handler handler);

    bool CreateControls();
    HWND CreateControl(const struct ControlLayout& layout, HWND parent, const RECT& position);
    void CreateFonts();
    void PaintAboutPicture();
    int Pixels(int twips) const;
    HWND Handle(tessaline::Ctl control) const { return m_controls[static_cast<size_t>(control)]; }

    tessaline::AppServices& m_services;
    tessaline::SystemServices& m_system;
    HINSTANCE m_instance = nullptr;
    HWND m_window = nullptr;
    std::array<HWND, tessaline::kControlCount> m_controls{};
    int m_dpi = 96;
    // Deleted after the windows that use them: the form goes in the
    // destructor's body, the progress form (a member below) before these.
    tessaline::win32::UniqueFont m_font;
    tessaline::win32::UniqueFont m_smallFont;
    int m_columns = 0;
    WNDPROC m_sliderProc = nullptr;
    // True while the slider handles a press: its own move is the press handler's.
    bool m_forwardingPress = false;
    // While the "Printers" page shows, the first page's controls are hidden;
    // each one's own visibility is kept here meanwhile.
    bool m_onPrinters = false;
    // The client area's size when last neither minimized nor maximized.
    SIZE m_normalSize{};
    std::array<bool, tessaline::kControlCount> m_shownUnderPrinters{};
    tessaline::ProgramSettings m_programSettings;

    const tessaline::win32::ComPtr<tessaline::win32::ControlSite> m_site =
        tessaline::win32::ControlSite::Create();
    std::string m_controlError;
    // Before the rules, which keep a pointer to them.
    std::unique_ptr<frmProgress> m_progressForm;
    std::unique_ptr<PrintersPage> m_printers;
    std::unique_ptr<tessaline::ControlHost> m_host;
    std::unique_ptr<tessaline::DispatchLogoControl> m_control;
    std::unique_ptr<tessaline::MainWindowLogic> m_logic;
};
