// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"
#include "app/core/PrintersPageView.h"

#include <cstdint>
#include <optional>

namespace tessaline::win32 {

// The "Printers" page's preview: exactly the dots that will be stored, on a
// white strip as wide as the paper with its edges marked in red; dots beyond
// the paper's edge on grey, in dark red, as they would be lost. Scrolls when
// the dots at the chosen zoom do not fit, by its bars, the wheel and the
// arrow keys.

enum class PreviewZoom { Fit, OneToOne, TwoToOne };

bool RegisterDotsPreviewClass(HINSTANCE instance);
HWND CreateDotsPreview(HWND parent, int id, const RECT& position, HINSTANCE instance);
// Nothing shown when `dots` is empty; `paperDots` is the strip's width.
void ShowDots(HWND preview, const std::optional<RasterGraphic>& dots, int32_t paperDots);
void SetPreviewZoom(HWND preview, PreviewZoom zoom);
// The scale the dots are drawn at now (pixels a dot).
double PreviewScale(HWND preview);

} // namespace tessaline::win32
