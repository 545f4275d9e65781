// SPDX-License-Identifier: MIT
#include "LogoMath.h"
#include "app/core/AppServices.h"
#include "app/core/LogoControl.h"
#include "app/core/MainWindowLogic.h"

namespace tessaline {

namespace {

// Image controls show 10 twips per image pixel.
constexpr int32_t kTwipsPerPixel = 10;

} // namespace

void MainWindowLogic::ListView_ItemClick(int32_t index) {
    if (Busy() || !mobjFiles || index < 1 || index > mobjFiles->xCount()) {
        return;
    }
    m_view.SelectItem(index);
    // A tab click with the list empty hid the picture: a selected row shows it again.
    m_view.SetVisible(Ctl::imgLogo, true);
    m_view.LoadPicture(Ctl::imgLogo, mobjFiles->xGetFileName(index));
    m_view.SetPictureRect(Ctl::imgLogo, 0, 0, mobjFiles->xGetWidth(index) * kTwipsPerPixel,
                          mobjFiles->xGetHeight(index) * kTwipsPerPixel);
    const std::string height = std::to_string(mobjFiles->xGetHeight(index));
    const std::string width = std::to_string(mobjFiles->xGetWidth(index));
    if (Korean()) {
        m_view.SetText(Ctl::lblHeight, "이미지 높이 : " + height);
        m_view.SetText(Ctl::lblWidth, "이미지 폭 : " + width);
    } else {
        m_view.SetText(Ctl::lblHeight, "Height : " + height);
        m_view.SetText(Ctl::lblWidth, "Width : " + width);
    }
    PreviewRefresh(mlngImageMode == 1 ? 1 : 0);
}

void MainWindowLogic::optImageMode_Click(int32_t Index) {
    if (Busy()) {
        return;
    }
    if (Index != 0) {
        mlngImageMode = 1;
        m_view.SetValue(Ctl::optImageMode_0, false);
        m_view.SetValue(Ctl::optImageMode_1, true);
        PreviewRefresh(1);
        return;
    }
    if (m_view.ItemCount() == 0) {
        return;
    }
    mlngImageMode = 0;
    m_view.SetValue(Ctl::optImageMode_0, true);
    m_view.SetValue(Ctl::optImageMode_1, false);
    PreviewRefresh(0);
}

void MainWindowLogic::Slider1_MouseDown() {
    // A disabled slider takes no press; the handler's own re-enabling at its
    // end would otherwise switch it on.
    if (Busy() || !m_view.Enabled(Ctl::Slider1)) {
        return;
    }
    mlngBrightness = SliderBrightness(m_view.SliderValue(), m_view.SliderMax());
    m_view.SetEnabled(Ctl::Slider1, false);
    PreviewRefresh(mlngImageMode != 0 ? 1 : 0);
    m_view.SetEnabled(Ctl::Slider1, true);
}

void MainWindowLogic::Slider1_Change() {
    if (Busy() || !m_view.Enabled(Ctl::Slider1)) {
        return;
    }
    const int32_t shown = SliderBrightness(m_view.SliderValue(), m_view.SliderMax());
    if (shown == mlngBrightness) {
        return;
    }
    mlngBrightness = shown;
    PreviewRefresh(mlngImageMode != 0 ? 1 : 0);
}

void MainWindowLogic::PreviewRefresh(int16_t m) {
    const int32_t n = m_view.SelectedIndex();
    if (!mobjFiles || m_control == nullptr || n < 1 || n > mobjFiles->xCount()) {
        return;
    }
    mstrPreviewFile = mobjFiles->xGetFileName(n);
    std::optional<std::string> converted;
    {
        BusyScope busy(m_busy);
        converted = m_control->Preview(mstrPreviewFile, m, static_cast<int16_t>(mlngBrightness));
    }
    if (converted) {
        mstrPreviewFile = *converted;
        m_view.LoadPicture(Ctl::imgLogo1, mstrPreviewFile);
    } else {
        m_view.LoadPicture(Ctl::imgLogo1, std::string());
    }
    m_view.SetPictureRect(Ctl::imgLogo1, 0, 0, mobjFiles->xGetWidth(n) * kTwipsPerPixel,
                          mobjFiles->xGetHeight(n) * kTwipsPerPixel);
}

} // namespace tessaline
