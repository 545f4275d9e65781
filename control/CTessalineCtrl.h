// CTessalineCtrl: the Tessaline control's methods, Progress event, drawing and verbs.
#pragma once

#include "tessaline/tessaline_component.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

// The Tessaline control: the methods of _DTessaline, the Progress event of
// _DTessalineEvents, drawing, verbs and the host site. Apartment-threaded:
// the host creates and calls it on one thread, and events come back on that
// thread from inside the running method.
class CTessalineCtrl {
public:
    CTessalineCtrl() = default;
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

    // Connects a sink; returns its cookie (from 1 upwards).
    uint32_t Advise(const TsEventSink& sink);
    // False when no sink has that cookie.
    bool Unadvise(uint32_t cookie);
    // Raises Progress(Data) in every connected sink, in the order they connected.
    void FireProgress(int32_t Data);

    void SetHostSite(const TsHostSite* site);
    // The host's message box, or standard error when the host has none.
    void ShowMessage(const std::string& text, const std::string& caption) const;

    // Paints the control's rectangle; false when the surface lacks a drawing call.
    bool OnDraw(const TsSurface& surface, TsRect bounds) const;

    static const TsVerbInfo* Verbs(uint32_t& count);

private:
    template <typename Operation> int32_t RunOnChannel(Operation&& operation);

    // True while Upload or Print runs: the channel belongs to that call, and a
    // second one started from an event handler must not share it.
    bool m_channelBusy = false;
    std::string m_errorText;
    std::vector<std::pair<uint32_t, TsEventSink>> m_sinks;
    uint32_t m_nextCookie = 1;
    std::optional<TsHostSite> m_site;
};

} // namespace tessaline
