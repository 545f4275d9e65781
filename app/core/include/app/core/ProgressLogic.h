// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace tessaline {

class AppServices;
class ProgressView;

// The progress window's rules: the program-wide frmProgress with its public
// variables, which outlive the window itself.
class ProgressLogic {
public:
    ProgressLogic(ProgressView& view, AppServices& services) : m_view(view), m_services(services) {}

    // Loads the window (centred, captioned `title`) and shows it without
    // making it modal.
    void Show(const std::string& title);
    // Applies mlngMax, then mlngValue, then lets every pending window message
    // through so that the window paints before the caller goes on.
    void ProBarShow();
    // Destroys the window; the variables keep their values.
    void Unload();
    // A progress report from the hosted control: moves the bar while the
    // window is loaded, does nothing otherwise.
    void Report(int32_t Data);

    int32_t mlngMax = 0;
    int32_t mlngValue = 0;
    bool mblnShow = false;

private:
    void Form_Load(const std::string& title);
    void Form_Unload();

    ProgressView& m_view;
    AppServices& m_services;
};

} // namespace tessaline
