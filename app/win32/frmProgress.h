// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"
#include "app/core/ProgressView.h"

// The progress window: one bar, shown while a long call into the control
// runs. Loading builds the window and its bar from the design settings
// (bar 0 to 100), unloading destroys them.
class frmProgress final : public tessaline::ProgressView {
public:
    // `owner` is the main window; `font` the form's font (not owned).
    frmProgress(HINSTANCE instance, HWND owner, HFONT font, int dpi);
    ~frmProgress() override;
    frmProgress(const frmProgress&) = delete;
    frmProgress& operator=(const frmProgress&) = delete;

    static bool RegisterClass(HINSTANCE instance);
    // The window while it is loaded; null otherwise.
    HWND Window() const { return m_window; }

    void Load() override;
    void Unload() override;
    bool Loaded() const override { return m_window != nullptr; }
    void ShowModeless() override;
    void SetCaption(const std::string& caption) override;
    void CentreOnScreen() override;
    void SetBarMax(float maximum) override;
    void SetBarValue(float value) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int Pixels(int twips) const;

    HINSTANCE m_instance;
    HWND m_owner;
    HFONT m_font;
    int m_dpi;
    HWND m_window = nullptr;
    HWND m_bar = nullptr;
};
