// SPDX-License-Identifier: MIT
// CTessalineCtrl: the Tessaline control's methods and its Progress event, shared by every shell.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tessaline {

// What the control tells its host from inside a running method. Each shell
// (the component ABI, COM) hands these on to its host in its own way.
class ControlEvents {
public:
    virtual ~ControlEvents() = default;
    // Raises Progress(Data) in the host's connected sinks.
    virtual void FireProgress(int32_t Data) = 0;
    // The control's message box: text, caption, OK only.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// The Tessaline control: the methods of _DTessaline and the Progress event
// of _DTessalineEvents. Strings are the host's bytes as the shell received
// them (UTF-8 on Linux, the ANSI code page on Windows), unchanged into file
// and printer names. Apartment-threaded: the host creates and calls it on
// one thread, and events come back on that thread from inside the method.
class CTessalineCtrl {
public:
    // Hands imaging the system's picture decoders on the way.
    explicit CTessalineCtrl(ControlEvents& events);
    CTessalineCtrl(const CTessalineCtrl&) = delete;
    CTessalineCtrl& operator=(const CTessalineCtrl&) = delete;

    // 0 with the file's bits per pixel, height and width; -1, outputs
    // untouched, when it does not load as a bitmap.
    int32_t BitmapInfo(const std::string& NVImage, int32_t& BitsPixel, int32_t& Height,
                       int32_t& Width);
    // Converts the file as an upload would and returns the preview's path.
    std::string Preview(const std::string& PreviewName, int16_t ImageMode, int16_t Brightness);
    // Prints, erases or spools an empty document; -2 when called while this
    // control's own Upload or Print is still running.
    int32_t Print(int32_t Printer, const std::string& PrinterName, int32_t Range, int32_t Mode,
                  int32_t lngEnd);
    // Stores the listed bitmaps as NV images; -2 when called while this
    // control's own Upload or Print is still running.
    int32_t Upload(int32_t Printer, const std::string& PrinterName, const std::string& NVImage,
                   int32_t ImageMode, int32_t Brightness);
    // NV graphics by key. PrinterName is a spooler queue (the bytes go blind:
    // 0, and ErrorText says so) or a printer's address, whose key list is
    // asked afterwards (one that does not answer: 0, and ErrorText says the
    // step is not verified). The Upload and Print results, and
    // kPrinterNotKept when the printer refused or did not keep it; -2 when
    // called while this control's own printer call is still running.
    // StoreGraphic converts FileName as Upload does and raises Progress(1)
    // once its bytes went out.
    int32_t StoreGraphic(const std::string& PrinterName, const std::string& Key,
                         const std::string& FileName, int32_t ImageMode, int32_t Brightness);
    int32_t PrintGraphic(const std::string& PrinterName, const std::string& Key, int32_t ScaleX,
                         int32_t ScaleY);
    // Key "" deletes every graphic.
    int32_t DeleteGraphic(const std::string& PrinterName, const std::string& Key);
    // The keys the printer holds, two characters each; empty with ErrorText
    // set when it cannot be asked or does not answer.
    std::string GraphicKeys(const std::string& PrinterName);
    // The automatic logo: the NV graphics the printer prints by itself at the
    // top (TopKey) and the bottom (BottomKey) of every receipt, Align "left",
    // "center" or "right" ("" is center); a key "" sets none there, both ""
    // clear it. Only what differs is written, then read back: 0 with an empty
    // ErrorText when the printer holds what was asked; 0 with ErrorText saying
    // why when it cannot be checked ("sent, not verified", "set, not read
    // back"); the graphics methods' results otherwise (kPrinterNotKept when
    // the read-back differs).
    int32_t SetAutoLogo(const std::string& PrinterName, const std::string& TopKey,
                        const std::string& BottomKey, const std::string& Align);
    // What the printer prints by itself, as "A1,A2,center" (a key empty where
    // none is set); empty with ErrorText set when it cannot be asked, empty
    // with ErrorText empty when it prints no logo by itself.
    std::string AutoLogo(const std::string& PrinterName);
    // Why this control's last method call failed ("coupon.bmp: RLE run passes
    // the row end", the spooler's words, ...); empty after one that succeeded.
    // A Preview failed when it made no picture of the file.
    std::string ErrorText() const { return m_errorText; }
    // A call the shell refused before it reached a method (wrong arguments,
    // a name the host's strings cannot carry): its reason replaces the last
    // call's, as a method's own failure would.
    void RefuseCall(std::string why) { m_errorText = std::move(why); }

private:
    template <typename Operation> int32_t RunOnChannel(Operation&& operation);
    // Runs one NV graphics step on the channel: its result, its reason in ErrorText.
    template <typename Step> int32_t RunGraphicStep(Step&& step);
    template <typename Step> int32_t RunAutoLogoStep(Step&& step);

    ControlEvents& m_events;
    // True while Upload or Print runs: the channel belongs to that call, and a
    // second one started from an event handler must not share it.
    bool m_channelBusy = false;
    std::string m_errorText;
};

} // namespace tessaline
