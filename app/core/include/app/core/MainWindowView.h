// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/ListViewRows.h"

#include <cstdint>
#include <string>

namespace tessaline {

class ProgressView;

// The controls of the main window, named as the form names them.
enum class Ctl {
    Form,
    SSTab,
    cmdClose,
    Tessaline,
    ListView_0,
    cmdSearch,
    cmdRemove,
    cmdReset,
    Frame1_5,
    lblFiles_0,
    lblSize_0,
    Frame1_9,
    lblHeight,
    lblWidth,
    Frame1_4,
    Image1,
    lblCopyright_1,
    lblCopyright_0,
    lblOrigin,
    Picture1,
    imgLogo,
    Frame4,
    Label14,
    optImageMode_0,
    optImageMode_1,
    Label13,
    Label12,
    Label11,
    Slider1,
    lblPrint,
    Picture2,
    imgLogo1,
    Frame1_6,
    Label1_10,
    Frame1_10,
    optRange_0,
    optRange_1,
    txtRange,
    Label1_9,
    Frame1_11,
    optMode_0,
    optMode_1,
    optMode_2,
    optMode_3,
    cmdPrint,
    Label1_1,
    cboPrinter,
    cmdUpload,
    Cmd_Erase,
};

inline constexpr int kControlCount = static_cast<int>(Ctl::Cmd_Erase) + 1;

// The object name of a control ("optImageMode_1" for optImageMode(1)).
const char* ControlName(Ctl control);

// What the main window's rules need of its widgets. Positions and sizes are
// in twips; the window maps them to pixels at the screen's resolution.
class MainWindowView : public ListViewRows {
public:
    // The window's caption for Form, the caption of tab 0 for SSTab (made
    // current first), the caption or text of any other control.
    virtual void SetText(Ctl control, const std::string& text) = 0;
    virtual std::string Text(Ctl control) const = 0;
    virtual void SetEnabled(Ctl control, bool enabled) = 0;
    virtual bool Enabled(Ctl control) const = 0;
    virtual void SetVisible(Ctl control, bool visible) = 0;
    virtual bool Visible(Ctl control) const = 0;
    // The value of an option button; setting it raises no click.
    virtual void SetValue(Ctl option, bool selected) = 0;
    virtual bool Value(Ctl option) const = 0;

    // The list view.
    virtual void AddColumn(const std::string& text, int32_t widthTwips, bool rightAligned) = 0;
    virtual int32_t ItemCount() const = 0;
    // 1-based index of the selected item; 0 when none is.
    virtual int32_t SelectedIndex() const = 0;
    virtual void SelectItem(int32_t index) = 0;

    // The printer list.
    virtual void AddPrinterName(const std::string& name) = 0;
    virtual void SelectPrinter(int32_t index) = 0;

    virtual int32_t SliderValue() const = 0;
    virtual int32_t SliderMax() const = 0;

    // Loads a bitmap file as the image control's picture; false (and the
    // picture emptied) when the file cannot be loaded.
    virtual bool LoadPicture(Ctl image, const std::string& path) = 0;
    // Places an image control inside its picture box; the picture stretches to it.
    virtual void SetPictureRect(Ctl image, int32_t left, int32_t top, int32_t width,
                                int32_t height) = 0;

    // Gives the control the keyboard focus.
    virtual void SetFocus(Ctl control) = 0;

    // The program-wide progress window, loaded or not.
    virtual ProgressView& ProgressForm() = 0;

    virtual void CentreOnScreen() = 0;
    // Closes the window; its unload handlers run.
    virtual void Unload() = 0;
};

} // namespace tessaline
