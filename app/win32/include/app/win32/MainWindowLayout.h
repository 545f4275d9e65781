// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/MainWindowView.h"

#include <array>
#include <cstdint>

// What the main window is built from: each control of the form with its
// kind, its container, its position in twips and its design text.

enum class ControlKind {
    Tab, // tab control, one tab; its children sit on the form
    Button,
    Label,
    Frame,           // frame with a border and an optional caption
    BorderlessFrame, // holds a group of options, draws nothing
    PictureBox,      // sunken frame of an image control
    Image,           // a picture stretched to the control's size
    ListView,        // report view
    Option,
    TextBox,
    Slider,
    DropDownList,
    ControlSite, // where the Tessaline control is placed in place
};

struct ControlLayout {
    tessaline::Ctl control;
    ControlKind kind;
    // The container: Form, SSTab (positions relative to the tab control) or a frame.
    tessaline::Ctl container;
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height; // 0: the control's own height
    const char* text;
    bool startsGroup = false; // first option of a group
};

// The form's client area, in twips.
inline constexpr int32_t kFormWidthTwips = 12735;
inline constexpr int32_t kFormHeightTwips = 9045;
// The progress window's client area and bar, in twips.
inline constexpr int32_t kProgressWidthTwips = 4680;
inline constexpr int32_t kProgressHeightTwips = 780;

// Every control but the form itself, containers before what they hold, in
// the tab order.
extern const std::array<ControlLayout, tessaline::kControlCount - 1> kMainWindowLayout;

// The window identifier of a control on the main window (stable, so that
// a test driving the window can find it).
constexpr int MainWindowControlId(tessaline::Ctl control) {
    return 1000 + static_cast<int>(control);
}
// The window class names of the two windows.
inline constexpr wchar_t kMainWindowClass[] = L"frmCorvido";
inline constexpr wchar_t kProgressClass[] = L"frmProgress";
// The progress bar's identifier on the progress window.
inline constexpr int kProBarId = 100;
