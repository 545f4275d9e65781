// SPDX-License-Identifier: MIT
#include "app/core/PrintersPageView.h"

#include <array>

namespace tessaline {

namespace {

constexpr std::array<const char*, kPageControlCount> kNames{
    "fraPrinter",
    "lblPrinterCaption",
    "cboPrinterAddress",
    "cmdRefresh",
    "cmdFindPrinters",
    "fraIdentity",
    "lblReady",
    "lblMaker",
    "lblModel",
    "lblSerial",
    "lblFirmware",
    "lblCommandSet",
    "lblPaper",
    "lblMemory",
    "barMemory",
    "fraHolds",
    "lblKeysCaption",
    "lstKeys",
    "fraLogo",
    "lblFileCaption",
    "txtLogoFile",
    "cmdBrowse",
    "lblKeyCaption",
    "txtKey",
    "lblKeyCheck",
    "lblDitherCaption",
    "cboDither",
    "lblThresholdCaption",
    "sldThreshold",
    "lblBrightnessCaption",
    "sldBrightness",
    "chkFit",
    "lblPaperWidthCaption",
    "cboPaperWidth",
    "lblZoomCaption",
    "cboZoom",
    "picPreview",
    "lblPreviewInfo",
    "cmdStore",
    "cmdPrintGraphic",
    "cmdDeleteGraphic",
    "cmdDeleteAll",
    "cmdTestReceipt",
    "chkAutoLogo",
    "lblWork",
    "barWork",
};

} // namespace

const char* PageControlName(PCtl control) {
    return kNames[static_cast<size_t>(control)];
}

} // namespace tessaline
