// SPDX-License-Identifier: MIT
#include "app/core/ProgressLogic.h"

#include "app/core/AppServices.h"
#include "app/core/ProgressView.h"

namespace tessaline {

void ProgressLogic::Show(const std::string& title) {
    if (!m_view.Loaded()) {
        m_view.Load();
        Form_Load(title);
    }
    m_view.ShowModeless();
}

void ProgressLogic::Form_Load(const std::string& title) {
    m_view.CentreOnScreen();
    m_view.SetCaption(title);
    mblnShow = true;
}

void ProgressLogic::ProBarShow() {
    if (!m_view.Loaded()) {
        return;
    }
    m_view.SetBarMax(static_cast<float>(mlngMax));
    m_view.SetBarValue(static_cast<float>(mlngValue));
    m_services.DoEvents();
}

void ProgressLogic::Unload() {
    if (!m_view.Loaded()) {
        return;
    }
    Form_Unload();
    m_view.Unload();
}

void ProgressLogic::Form_Unload() {
    mblnShow = false;
}

void ProgressLogic::Report(int32_t Data) {
    if (!mblnShow) {
        return;
    }
    mlngValue = Data;
    ProBarShow();
}

} // namespace tessaline
