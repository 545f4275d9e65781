// SPDX-License-Identifier: MIT
// CTessalineCtrl: the Tessaline control's methods and its Progress event, shared by every shell.

#include "CTessalineCtrl.h"

#include "TessalineIds.h"
#include "imaging/CLogoImage.h"
#include "imaging/PathEncoding.h"
#include "platform/AtomicFile.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/SystemSpooler.h"
#include "platform/pictures/PictureDecoders.h"
#include "printer/AutoLogoSteps.h"
#include "printer/GraphicSteps.h"
#include "printer/PrinterMethods.h"

#include <memory>

namespace tessaline {

// Upload and Print hand their hosts the printer operation's results as they
// stand, so those are the codes the hosts' header promises.
static_assert(kPrinterOk == TESSALINE_PRINTER_OK);
static_assert(kPrinterNoMemory == TESSALINE_PRINTER_NO_MEMORY);
static_assert(kPrinterNotStarted == TESSALINE_PRINTER_NOT_STARTED);
static_assert(kPrinterNotSent == TESSALINE_PRINTER_NOT_SENT);
static_assert(kPrinterRefused == TESSALINE_PRINTER_REFUSED);
static_assert(kPrinterNotInstalled == TESSALINE_PRINTER_NOT_INSTALLED);
static_assert(kPrinterNotKept == TESSALINE_PRINTER_NOT_KEPT);
static_assert(kPrinterQueued == TESSALINE_PRINTER_QUEUED);

namespace {

// Writes a preview picture under the name the host gave, read as the system
// reads the names the control receives (the ANSI code page on Windows). The
// platform's words come back in the host's form, as every reason does.
Result<void> WritePicture(const std::string& path, std::span<const uint8_t> bytes) {
    const Result<void> written = ReplaceFileAtomically(PathOf(path), bytes);
    if (!written) {
        return Result<void>::Fail(TextOfPlatformWords(written.Reason()));
    }
    return written;
}

// Marks the channel as taken for one call and gives it back however the call ends.
class ChannelClaim {
public:
    explicit ChannelClaim(bool& busy) : m_busy(busy) { m_busy = true; }
    ~ChannelClaim() { m_busy = false; }
    ChannelClaim(const ChannelClaim&) = delete;
    ChannelClaim& operator=(const ChannelClaim&) = delete;

private:
    bool& m_busy;
};

// A graphics step that cannot be sent as asked; nothing goes to the printer.
GraphicOutcome Refused(std::string why) {
    GraphicOutcome outcome;
    outcome.result = kPrinterRefused;
    outcome.why = std::move(why);
    return outcome;
}

// The result a printer method returns, with ErrorText's words in `text`. A
// failure that came without a code is one whose bytes did not get out as
// they should: -3, never -1 (which means no memory for the driver record)
// nor a code the program would show no message for.
int32_t ResultOf(const Result<void>& done, std::string& text) {
    text = done.Reason();
    return done.CodeOr(kPrinterNotSent);
}

// After 0 the text says why the step is not verified, if it is not.
int32_t ResultOf(const GraphicOutcome& outcome, std::string& text) {
    text = outcome.why;
    return outcome.result;
}

int32_t ResultOf(const AutoLogoOutcome& outcome, std::string& text) {
    text = outcome.why;
    return outcome.result;
}

AutoLogoOutcome RefusedLogo(std::string why) {
    AutoLogoOutcome outcome;
    outcome.result = kPrinterRefused;
    outcome.why = std::move(why);
    return outcome;
}

} // namespace

CTessalineCtrl::CTessalineCtrl(ControlEvents& events) : m_events(events) {
    UseSystemPictureDecoders();
}

int32_t CTessalineCtrl::BitmapInfo(const std::string& NVImage, int32_t& BitsPixel, int32_t& Height,
                                   int32_t& Width) {
    const Result<BitmapFigures> info = tessaline::BitmapInfo(NVImage);
    m_errorText = info.Reason();
    if (!info) {
        return info.CodeOr(kBitmapInfoFailed);
    }
    BitsPixel = info.Value().bitsPixel;
    Height = info.Value().height;
    Width = info.Value().width;
    return 0;
}

std::string CTessalineCtrl::Preview(const std::string& PreviewName, int16_t ImageMode,
                                    int16_t Brightness) {
    PreviewOutcome preview = tessaline::Preview(PreviewName, ImageMode, Brightness, WritePicture);
    // A failed preview still hands its path on: no older picture is left under it.
    m_errorText = preview.shown.Reason();
    return std::move(preview.path);
}

namespace {

// The language the user keeps for the printer (tessaline-cli --commands, the
// program's printer setting): Upload and Print send it that language's stream.
Result<LogoLanguage> KeptLogoCommands(const std::string& printerName) {
    const std::filesystem::path file = PrinterCommandsFile();
    const auto kept = KeptPrinterCommands(file, printerName);
    if (!kept) {
        return Result<LogoLanguage>::FailAs(kept);
    }
    if (!kept.Value()) {
        return LogoLanguage::EscPos;
    }
    const auto commands = ParseLogoCommands(*kept.Value());
    if (!commands) {
        return Result<LogoLanguage>::Fail(
            "the printer \"" + printerName + "\" is kept in " + file.string() + " as taking \"" +
            *kept.Value() + "\", no command language esc-pos, star-line or star-prnt");
    }
    return *commands;
}

} // namespace

template <typename Operation> int32_t CTessalineCtrl::RunOnChannel(Operation&& operation) {
    if (m_channelBusy) {
        // A Progress handler of ours called back in: the running job owns the
        // channel, so this call sends nothing rather than cut into that job.
        m_errorText = "a printer method (Upload, Print or a graphics method) was called from a "
                      "Progress handler while this control's own call was running";
        return kPrinterNotStarted;
    }
    ChannelClaim claim(m_channelBusy);
    const std::unique_ptr<Spooler> spooler = MakeSpooler();
    std::string note;
    const PrinterContext context{*spooler,
                                 [this](int32_t data) { m_events.FireProgress(data); },
                                 [this](const std::string& text, const std::string& caption) {
                                     m_events.ShowMessage(text, caption);
                                 },
                                 {},
                                 WritePicture,
                                 KeptLogoCommands,
                                 CountInUsersPrinterRecords(),
                                 [&note](const std::string& text) { note = text; }};
    // The text is set once the call is over, so that a nested call refused
    // meanwhile cannot leave its words in place of this call's. After 0 it
    // says why the call is not verified, if it is not.
    const int32_t result = ResultOf(operation(context), m_errorText);
    if (result == kPrinterOk && !note.empty()) {
        m_errorText = note;
    }
    return result;
}

int32_t CTessalineCtrl::Print(int32_t Printer, const std::string& PrinterName, int32_t Range,
                              int32_t Mode, int32_t lngEnd) {
    return RunOnChannel([&](const PrinterContext& context) {
        return tessaline::Print(context, Printer, PrinterName, Range, Mode, lngEnd);
    });
}

int32_t CTessalineCtrl::Upload(int32_t Printer, const std::string& PrinterName,
                               const std::string& NVImage, int32_t ImageMode, int32_t Brightness) {
    return RunOnChannel([&](const PrinterContext& context) {
        return tessaline::Upload(context, Printer, PrinterName, NVImage, ImageMode, Brightness);
    });
}

template <typename Step> int32_t CTessalineCtrl::RunGraphicStep(Step&& step) {
    return RunOnChannel([&](const PrinterContext& context) {
        return step(context, GraphicsPrinter{context.spooler, {}, {}, {}, context.countNvWrites});
    });
}

int32_t CTessalineCtrl::StoreGraphic(const std::string& PrinterName, const std::string& Key,
                                     const std::string& FileName, int32_t ImageMode,
                                     int32_t Brightness) {
    return RunGraphicStep([&](const PrinterContext& context, GraphicsPrinter printer) {
        printer.name = PrinterName;
        const auto key = ParseGraphicKey(Key);
        if (!key) {
            return Refused(key.Reason());
        }
        const auto graphic = ConvertGraphic(FileName, ImageMode, Brightness, context.writePicture);
        if (!graphic) {
            return Refused(graphic.Reason());
        }
        return StoreGraphicStep(printer, key.Value(), graphic.Value(), FileName, context.progress);
    });
}

int32_t CTessalineCtrl::PrintGraphic(const std::string& PrinterName, const std::string& Key,
                                     int32_t ScaleX, int32_t ScaleY) {
    return RunGraphicStep([&](const PrinterContext&, GraphicsPrinter printer) {
        printer.name = PrinterName;
        const auto key = ParseGraphicKey(Key);
        if (!key) {
            return Refused(key.Reason());
        }
        return PrintGraphicStep(printer, key.Value(), ScaleX, ScaleY);
    });
}

int32_t CTessalineCtrl::DeleteGraphic(const std::string& PrinterName, const std::string& Key) {
    return RunGraphicStep([&](const PrinterContext&, GraphicsPrinter printer) {
        printer.name = PrinterName;
        if (Key.empty()) {
            return DeleteGraphicStep(printer, std::nullopt);
        }
        const auto key = ParseGraphicKey(Key);
        if (!key) {
            return Refused(key.Reason());
        }
        return DeleteGraphicStep(printer, key.Value());
    });
}

std::string CTessalineCtrl::GraphicKeys(const std::string& PrinterName) {
    std::string keys;
    RunGraphicStep([&](const PrinterContext&, GraphicsPrinter printer) {
        printer.name = PrinterName;
        GraphicOutcome listed = ListGraphicsStep(printer);
        keys = KeysText(listed.keys);
        return listed;
    });
    return keys;
}

} // namespace tessaline

namespace tessaline {

template <typename Step> int32_t CTessalineCtrl::RunAutoLogoStep(Step&& step) {
    return RunOnChannel([&](const PrinterContext& context) {
        return step(GraphicsPrinter{context.spooler, {}, {}, {}});
    });
}

int32_t CTessalineCtrl::SetAutoLogo(const std::string& PrinterName, const std::string& TopKey,
                                    const std::string& BottomKey, const std::string& Align) {
    return RunAutoLogoStep([&](GraphicsPrinter printer) {
        printer.name = PrinterName;
        LogoAlign align = LogoAlign::Center;
        if (!Align.empty()) {
            const auto parsed = ParseLogoAlign(Align);
            if (!parsed) {
                return RefusedLogo(parsed.Reason());
            }
            align = parsed.Value();
        }
        AutoLogoSettings wanted;
        for (const bool top : {true, false}) {
            const std::string& text = top ? TopKey : BottomKey;
            if (text.empty()) {
                continue;
            }
            const auto key = ParseGraphicKey(text);
            if (!key) {
                return RefusedLogo((top ? "TopKey: " : "BottomKey: ") + key.Reason());
            }
            (top ? wanted.top : wanted.bottom) = LogoSetting{key.Value(), align, std::nullopt};
        }
        return SetAutoLogoStep(printer, wanted);
    });
}

std::string CTessalineCtrl::AutoLogo(const std::string& PrinterName) {
    std::string text;
    RunAutoLogoStep([&](GraphicsPrinter printer) {
        printer.name = PrinterName;
        AutoLogoOutcome read = ReadAutoLogoStep(printer);
        if (read.result == kPrinterOk && read.after) {
            text = AutoLogoText(*read.after);
        }
        return read;
    });
    return text;
}

} // namespace tessaline
