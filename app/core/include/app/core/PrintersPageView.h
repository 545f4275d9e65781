// SPDX-License-Identifier: MIT
// The "Printers" tab as its rules see it: the controls by name and what the
// rules tell them. The Qt and the Windows page implement it.
#pragma once

#include "printer/NvGraphics.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

// The page's controls. Captions (fra*, lbl*Caption, the buttons and boxes)
// get their texts once at start; the rest as the page's state changes.
enum class PCtl {
    fraPrinter,
    lblPrinterCaption,
    cboPrinterAddress,
    cmdRefresh,
    cmdFindPrinters,
    fraIdentity,
    lblReady,
    lblMaker,
    lblModel,
    lblSerial,
    lblFirmware,
    lblCommandSet,
    lblPaper,
    lblMemory,
    barMemory,
    fraHolds,
    lblKeysCaption,
    lstKeys,
    fraLogo,
    lblFileCaption,
    txtLogoFile,
    cmdBrowse,
    lblKeyCaption,
    txtKey,
    lblKeyCheck,
    lblDitherCaption,
    cboDither,
    lblThresholdCaption,
    sldThreshold,
    lblBrightnessCaption,
    sldBrightness,
    chkFit,
    lblPaperWidthCaption,
    cboPaperWidth,
    lblZoomCaption,
    cboZoom,
    picPreview,
    lblPreviewInfo,
    cmdStore,
    cmdPrintGraphic,
    cmdDeleteGraphic,
    cmdDeleteAll,
    cmdTestReceipt,
    chkAutoLogo,
    lblWork,
    barWork,
};
inline constexpr int kPageControlCount = static_cast<int>(PCtl::barWork) + 1;

// The object name of a control ("cmdStore").
const char* PageControlName(PCtl control);

// One row of the key list.
struct KeyRow {
    GraphicKey key;
    std::string keyText;  // as a list shows it (ShownKey)
    std::string sizeText; // "576 x 120 dots, 8,640 bytes", or why it is not known
    std::optional<RasterGraphic> thumbnail;
};

class PrintersPageView {
public:
    virtual ~PrintersPageView() = default;

    // For lstKeys, its column headings, a tab between them.
    virtual void SetText(PCtl control, const std::string& text) = 0;
    virtual void SetEnabled(PCtl control, bool enabled) = 0;
    // A control's tool tip: why it is disabled, or what it does.
    virtual void SetToolTip(PCtl control, const std::string& text) = 0;
    // The entries of the printer box, its edit text left alone.
    virtual void SetPrinterEntries(const std::vector<std::string>& entries) = 0;
    // The list boxes' entries (cboDither, cboPaperWidth, cboZoom) and which is chosen.
    virtual void SetChoices(PCtl control, const std::vector<std::string>& entries,
                            int32_t chosen) = 0;
    // A bar's figures: barMemory in bytes (used of total; total 0 shows an empty bar),
    // barWork in steps (maximum 0: busy without steps).
    virtual void SetBar(PCtl control, int64_t value, int64_t maximum) = 0;
    // The slider's range and position (sldThreshold 0..255, sldBrightness 0..10).
    virtual void SetSlider(PCtl control, int32_t minimum, int32_t maximum, int32_t value) = 0;
    virtual void SetChecked(PCtl control, bool checked) = 0;
    virtual void SetKeyRows(const std::vector<KeyRow>& rows) = 0;
    // The dots the preview shows, drawn on a strip as wide as the paper.
    virtual void ShowPreview(const std::optional<RasterGraphic>& dots, int32_t paperDots) = 0;
};

// Hands work to a thread of its own and its result back to the window's.
class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
    // Runs `work` off the window's thread; the function it returns then runs
    // on the window's thread, unless the window has gone.
    virtual void Start(std::function<std::function<void()>()> work) = 0;
};

} // namespace tessaline
