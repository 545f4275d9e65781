// SPDX-License-Identifier: MIT
#include "LogoMath.h"
#include "MainWindowTexts.h"
#include "RangeText.h"
#include "app/core/AppServices.h"
#include "app/core/LogoControl.h"
#include "app/core/MainWindowLogic.h"
#include "tessaline/tessaline_control.h"

namespace tessaline {

namespace {

constexpr int32_t kPrinterPrint = 0;
constexpr int32_t kPrinterErase = 3;
// Every NV image number a print-all passes through.
constexpr int32_t kAllImages = 255;

// The control's codes for a printer it found but could not finish with.
bool CommunicationFailure(int32_t result) {
    return result >= TESSALINE_PRINTER_REFUSED && result <= TESSALINE_PRINTER_NO_MEMORY;
}

} // namespace

bool MainWindowLogic::PrinterCommandsReady() const {
    return !Busy() && m_startupComplete && m_control != nullptr;
}

int32_t MainWindowLogic::SelectedMode() const {
    if (m_view.Value(Ctl::optMode_0)) {
        return 0;
    }
    if (m_view.Value(Ctl::optMode_1)) {
        return 1;
    }
    if (m_view.Value(Ctl::optMode_2)) {
        return 2;
    }
    return 3;
}

void MainWindowLogic::OpenProgress(int32_t lngMax) {
    m_progress.Show(gstrTitle);
    m_progress.mlngMax = lngMax;
    m_progress.mlngValue = 0;
    m_progress.ProBarShow();
}

void MainWindowLogic::Tessaline_Progress(int32_t Data) {
    m_progress.Report(Data);
}

std::string MainWindowLogic::WithControlReason(const char* text) {
    // The control's own words for the failure go below the message, so that
    // what the command line would explain is not hidden in the window.
    std::string shown = text;
    if (m_control != nullptr) {
        if (const std::optional<std::string> reason = m_control->ErrorText();
            reason && !reason->empty()) {
            shown += "\r\n";
            shown += *reason;
        }
    }
    return shown;
}

void MainWindowLogic::ReportTransfer(std::optional<int32_t> result, const char* success) {
    // A call the control never answered went nowhere: that is reported as a
    // failure, never as success.
    if (!result || CommunicationFailure(*result)) {
        m_services.ShowMessage(WithControlReason(kMsgCommunicationError), gstrTitle, MsgButtons::Ok,
                               MsgIcon::Exclamation);
    } else if (*result == TESSALINE_PRINTER_OK) {
        m_services.ShowMessage(success, gstrTitle, MsgButtons::Ok, MsgIcon::Information);
    } else if (*result == TESSALINE_PRINTER_QUEUED) {
        ReportQueued();
    }
}

void MainWindowLogic::ReportQueued() {
    m_services.ShowMessage(WithControlReason(Korean() ? kMsgQueuedKorean : kMsgQueuedEnglish),
                           gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
}

void MainWindowLogic::cmdUpload_Click() {
    if (!PrinterCommandsReady() || !mobjFiles) {
        return;
    }
    // The whole flow holds the window's commands off, its waits included.
    BusyScope busy(m_busy);
    if (mobjFiles->xCount() == 0) {
        return;
    }
    if (m_services.ShowMessage(kMsgUploadConfirm, gstrTitle, MsgButtons::YesNo, MsgIcon::None) !=
        MsgAnswer::Yes) {
        return;
    }
    mlngPrinter = kPrinterPrint;
    mstrPrinterName = m_view.Text(Ctl::cboPrinter);
    // The upload sends the brightness the slider shows.
    mlngBrightness = SliderBrightness(m_view.SliderValue(), m_view.SliderMax());
    const std::string NVImage = mobjFiles->xGetUploadFileName();

    std::optional<int32_t> result;
    if (mobjFiles->xCount() <= 1) {
        result =
            m_control->Upload(mlngPrinter, mstrPrinterName, NVImage, mlngImageMode, mlngBrightness);
        m_services.Sleep(500);
    } else {
        OpenProgress(mobjFiles->xCount());
        result =
            m_control->Upload(mlngPrinter, mstrPrinterName, NVImage, mlngImageMode, mlngBrightness);
        m_services.Sleep(2000);
        m_progress.Unload();
    }
    if (result && *result == TESSALINE_PRINTER_OK) {
        // The printer writes its NV memory after the job has left the spooler.
        m_services.Sleep(5000);
    }
    ReportTransfer(result, kMsgUploadDone);
}

void MainWindowLogic::Cmd_Erase_Click() {
    if (!PrinterCommandsReady()) {
        return;
    }
    BusyScope busy(m_busy);
    mstrPrinterName = m_view.Text(Ctl::cboPrinter);
    if (m_services.ShowMessage(kMsgEraseConfirm, std::string(kEraseConfirmTitle), MsgButtons::YesNo,
                               MsgIcon::None) != MsgAnswer::Yes) {
        return;
    }
    // The erase stream ignores the range; a number the window cannot hold
    // passes as 0.
    mlngRange = m_view.Value(Ctl::optRange_0)
                    ? 0
                    : RoundToLong(LeadingValue(m_view.Text(Ctl::txtRange))).value_or(0);
    mlngMode = SelectedMode();
    const std::optional<int32_t> result =
        m_control->Print(kPrinterErase, mstrPrinterName, mlngRange, mlngMode, 0);
    ReportTransfer(result, kMsgEraseDone);
}

void MainWindowLogic::cmdPrint_Click() {
    if (!PrinterCommandsReady()) {
        return;
    }
    BusyScope busy(m_busy);
    const auto refuse = [this](const char* text) {
        m_services.ShowMessage(text, gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        m_view.SetFocus(Ctl::txtRange);
    };

    const bool all = m_view.Value(Ctl::optRange_0);
    RangeRequest request{RangeRequest::Kind::Single, 0, 0};
    if (!all) {
        request = ParseRangeText(m_view.Text(Ctl::txtRange));
        if (request.kind == RangeRequest::Kind::Empty) {
            refuse(kMsgInputNumber);
            return;
        }
        if (request.kind == RangeRequest::Kind::NotRange) {
            refuse(kMsgTypeMismatch);
            return;
        }
    }

    mlngPrinter = kPrinterPrint;
    mstrPrinterName = m_view.Text(Ctl::cboPrinter);
    if (request.kind == RangeRequest::Kind::BadNumber) {
        refuse(kMsgTypeMismatch);
        return;
    }
    if (request.kind == RangeRequest::Kind::Single) {
        mlngRange = request.first;
    }
    mlngMode = SelectedMode();

    std::optional<int32_t> result;
    if (request.kind == RangeRequest::Kind::Range || mlngRange == 0) {
        OpenProgress(kAllImages);
        result = request.kind == RangeRequest::Kind::Range
                     ? m_control->Print(mlngPrinter, mstrPrinterName, request.first, mlngMode,
                                        request.last)
                     : m_control->Print(mlngPrinter, mstrPrinterName, mlngRange, mlngMode, 0);
        m_progress.Unload();
    } else {
        result = m_control->Print(mlngPrinter, mstrPrinterName, mlngRange, mlngMode, 0);
    }

    if (!result) {
        m_services.ShowMessage(WithControlReason(kMsgCommunicationError), gstrTitle, MsgButtons::Ok,
                               MsgIcon::Exclamation);
    } else if (*result == TESSALINE_PRINTER_OK) {
        m_services.ShowMessage(kMsgPrintoutDone, gstrTitle, MsgButtons::Ok, MsgIcon::Information);
    } else if (*result == TESSALINE_PRINTER_QUEUED) {
        ReportQueued();
    } else if (*result == TESSALINE_PRINTER_REFUSED && !all) {
        // The control refuses a selection the printer would print as other
        // images (outside 1 to 255, or backwards): nothing went to the
        // printer, and the cable is not to blame.
        refuse(kMsgTypeMismatch);
    } else if (CommunicationFailure(*result)) {
        // The printout names the control's code in the title.
        m_services.ShowMessage(WithControlReason(kMsgCommunicationError),
                               gstrTitle + std::to_string(*result), MsgButtons::Ok,
                               MsgIcon::Exclamation);
    }
}

} // namespace tessaline
