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

    ControlEvents& m_events;
    // True while Upload or Print runs: the channel belongs to that call, and a
    // second one started from an event handler must not share it.
    bool m_channelBusy = false;
    std::string m_errorText;
};

} // namespace tessaline
