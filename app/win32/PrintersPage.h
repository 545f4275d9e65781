// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"
#include "app/core/PrintersPageLogic.h"
#include "app/core/PrintersPageView.h"
#include "platform/win32/HandleOwners.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace tessaline {
class AppServices;
class SystemServices;
namespace win32 {
class Win32BackgroundWork;
}
} // namespace tessaline

// The "Printers" page of the main window's tab control: the standard
// controls at the page's positions in twips, showing what the rules in
// PrintersPageLogic tell them and handing them every event. The page's
// controls tell the form, which passes on what is the page's.
class PrintersPage final : public tessaline::PrintersPageView {
public:
    PrintersPage(tessaline::AppServices& services, tessaline::SystemServices& system,
                 std::function<std::string()> title);
    ~PrintersPage() override;
    PrintersPage(const PrintersPage&) = delete;
    PrintersPage& operator=(const PrintersPage&) = delete;

    // Builds the page (hidden) on `form`, `tabCorner` being the tab
    // control's corner on the form in pixels. False when a control cannot be made.
    bool Create(HINSTANCE instance, HWND form, POINT tabCorner, int dpi, HFONT font);
    HWND Window() const { return m_page; }
    tessaline::PrintersPageLogic& Logic() { return *m_logic; }
    void Show(bool shown);
    // A window larger than the design by `wider` x `taller` pixels: the
    // key list, the logo frame and its preview take the room.
    void FollowSize(int wider, int taller);
    // The window has gone: no result of work still running is shown.
    void Close();

    // The form's messages from the page's controls; false when not the page's.
    bool OnCommand(HWND control, int id, int code);
    bool OnNotify(const NMHDR& header);
    bool OnScroll(HWND control);
    // Enter pressed: the printer box's text is chosen when it has the keyboard.
    bool OnEnter();

    // PrintersPageView
    void SetText(tessaline::PCtl control, const std::string& text) override;
    void SetEnabled(tessaline::PCtl control, bool enabled) override;
    void SetToolTip(tessaline::PCtl control, const std::string& text) override;
    void SetPrinterEntries(const std::vector<std::string>& entries) override;
    void SetChoices(tessaline::PCtl control, const std::vector<std::string>& entries,
                    int32_t chosen) override;
    void SetBar(tessaline::PCtl control, int64_t value, int64_t maximum) override;
    void SetSlider(tessaline::PCtl control, int32_t minimum, int32_t maximum,
                   int32_t value) override;
    void SetChecked(tessaline::PCtl control, bool checked) override;
    void SetKeyRows(const std::vector<tessaline::KeyRow>& rows) override;
    void ShowPreview(const std::optional<tessaline::RasterGraphic>& dots,
                     int32_t paperDots) override;

private:
    HWND Handle(tessaline::PCtl control) const { return m_controls[static_cast<size_t>(control)]; }
    HWND CreateControl(const struct PageControlLayout& layout, HWND parent, const RECT& position);
    int Pixels(int twips) const;
    std::string PrinterBoxText() const;

    tessaline::AppServices& m_services;
    tessaline::SystemServices& m_system;
    std::function<std::string()> m_title;
    HINSTANCE m_instance = nullptr;
    HWND m_page = nullptr;
    HWND m_toolTip = nullptr;
    int m_dpi = 96;
    std::array<HWND, tessaline::kPageControlCount> m_controls{};
    // True while the page shows what the rules said: the controls' own
    // notifications of it are not the user's.
    bool m_showing = false;
    std::unique_ptr<tessaline::win32::Win32BackgroundWork> m_work;
    std::unique_ptr<tessaline::PrintersPageLogic> m_logic;
};
