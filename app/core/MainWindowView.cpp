// SPDX-License-Identifier: MIT
#include "app/core/MainWindowView.h"

#include <array>

namespace tessaline {

namespace {

constexpr std::array<const char*, kControlCount> kNames{
    "frmCorvido",     "SSTab",     "cmdClose", "Tessaline",  "ListView_0",     "cmdSearch",
    "cmdRemove",      "cmdReset",  "Frame1_5", "lblFiles_0", "lblSize_0",      "Frame1_9",
    "lblHeight",      "lblWidth",  "Frame1_4", "Image1",     "lblCopyright_1", "lblCopyright_0",
    "lblOrigin",      "Picture1",  "imgLogo",  "Frame4",     "Label14",        "optImageMode_0",
    "optImageMode_1", "Label13",   "Label12",  "Label11",    "Slider1",        "lblPrint",
    "Picture2",       "imgLogo1",  "Frame1_6", "Label1_10",  "Frame1_10",      "optRange_0",
    "optRange_1",     "txtRange",  "Label1_9", "Frame1_11",  "optMode_0",      "optMode_1",
    "optMode_2",      "optMode_3", "cmdPrint", "Label1_1",   "cboPrinter",     "cmdUpload",
    "Cmd_Erase",
};

} // namespace

const char* ControlName(Ctl control) {
    return kNames[static_cast<size_t>(control)];
}

} // namespace tessaline
