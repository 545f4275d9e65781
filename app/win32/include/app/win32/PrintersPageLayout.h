// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/PrintersPageView.h"

#include <array>
#include <cstdint>
#include <optional>

// What the "Printers" page is built from: each control with its kind, its
// container, its position in twips and, for the list boxes, no text: the
// page's rules give every text at start.

enum class PageControlKind {
    Frame, // frame with a border and its caption
    Label,
    ValueLabel, // a label showing what a printer or a file said: no mnemonic
    Button,
    CheckBox,
    TextBox,
    ReadOnlyTextBox,
    PrinterBox, // an editable list: typed or picked
    DropDownList,
    Slider,
    Bar,
    KeyList, // report view with thumbnails
    Preview, // the dots on a strip as wide as the paper, scrollable
};

struct PageControlLayout {
    tessaline::PCtl control;
    PageControlKind kind;
    // The frame holding it, or none: placed on the page.
    std::optional<tessaline::PCtl> container;
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height; // 0: the control's own height
};

// The page's place relative to the tab control (below its tabs), in twips.
inline constexpr int32_t kPageLeftTwips = 60;
inline constexpr int32_t kPageTopTwips = 400;
inline constexpr int32_t kPageWidthTwips = 12360;
inline constexpr int32_t kPageHeightTwips = 7775;

// Every control of the page, frames before what they hold, in the tab order.
extern const std::array<PageControlLayout, tessaline::kPageControlCount> kPrintersPageLayout;

// The window identifier of the page itself and of its controls (stable, so
// that a test driving the window can find them).
inline constexpr int kPrintersPageId = 1999;
constexpr int PrintersPageControlId(tessaline::PCtl control) {
    return 2000 + static_cast<int>(control);
}
// The preview's window class.
inline constexpr wchar_t kDotsPreviewClass[] = L"TessalineDotsPreview";
