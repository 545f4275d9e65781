// SPDX-License-Identifier: MIT
// The "Printers" tab: its widgets from PrintersPage.ui, shown as the rules in
// PrintersPageLogic tell them, every event handed to the rules.
#pragma once

#include "app/core/PrintersPageLogic.h"
#include "app/core/PrintersPageView.h"

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class PrintersPage;
}
namespace tessaline {
class AppServices;
class SystemServices;
} // namespace tessaline
class QtBackgroundWork;
class DotsPreview;

class PrintersPage : public QWidget, public tessaline::PrintersPageView {
public:
    PrintersPage(tessaline::AppServices& services, tessaline::SystemServices& system,
                 std::function<std::string()> title, QWidget* parent = nullptr);
    ~PrintersPage() override;

    tessaline::PrintersPageLogic& Logic() { return *m_logic; }
    QWidget* Control(tessaline::PCtl control) const;
    DotsPreview& Preview() const;
    // Waits for the work under way to end and show, for tests and screenshots.
    void Settle();

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
    void WireEvents();

    std::unique_ptr<Ui::PrintersPage> m_ui;
    std::array<QWidget*, tessaline::kPageControlCount> m_controls{};
    // While the rules set a control, its change signal is not a user's.
    bool m_showing = false;
    bool m_choicePending = false;
    std::unique_ptr<tessaline::PrintersPageLogic> m_logic;
    // After the rules, so that it goes first: the work ends before they do.
    std::unique_ptr<QtBackgroundWork> m_work;
};
