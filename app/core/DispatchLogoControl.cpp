// SPDX-License-Identifier: MIT
#include "app/core/DispatchLogoControl.h"

#include "platform/component/ControlHost.h"
#include "platform/component/Variants.h"

#include <array>

namespace tessaline {

DispatchLogoControl::DispatchLogoControl(ControlHost& host) : m_host(host) {
    m_cookie = m_host.Advise([this](int32_t dispid, std::span<const TsVariant> args) {
        if (dispid != TESSALINE_EVENTID_PROGRESS || args.empty() || !m_progress) {
            return;
        }
        if (const auto data = VariantInt(args[0])) {
            m_progress(*data);
        }
    });
}

DispatchLogoControl::~DispatchLogoControl() {
    if (m_cookie != 0) {
        m_host.Unadvise(m_cookie);
    }
}

std::optional<BitmapInfoReply> DispatchLogoControl::BitmapInfo(const std::string& NVImage) {
    BitmapInfoReply reply;
    std::array args{MakeStr(NVImage), MakeI4Ref(&reply.bitsPixel), MakeI4Ref(&reply.height),
                    MakeI4Ref(&reply.width)};
    if (TS_FAILED(m_host.InvokeI4(TESSALINE_DISPID_BITMAPINFO, args, reply.result))) {
        return std::nullopt;
    }
    return reply;
}

std::optional<std::string> DispatchLogoControl::Preview(const std::string& PreviewName,
                                                        int16_t ImageMode, int16_t Brightness) {
    std::array args{MakeStr(PreviewName), MakeI2(ImageMode), MakeI2(Brightness)};
    std::string result;
    if (TS_FAILED(m_host.InvokeStr(TESSALINE_DISPID_PREVIEW, args, result))) {
        return std::nullopt;
    }
    return result;
}

std::optional<int32_t> DispatchLogoControl::Print(int32_t Printer, const std::string& PrinterName,
                                                  int32_t Range, int32_t Mode, int32_t lngEnd) {
    std::array args{MakeI4(Printer), MakeStr(PrinterName), MakeI4(Range), MakeI4(Mode),
                    MakeI4(lngEnd)};
    int32_t result = 0;
    if (TS_FAILED(m_host.InvokeI4(TESSALINE_DISPID_PRINT, args, result))) {
        return std::nullopt;
    }
    return result;
}

std::optional<int32_t> DispatchLogoControl::Upload(int32_t Printer, const std::string& PrinterName,
                                                   const std::string& NVImage, int32_t ImageMode,
                                                   int32_t Brightness) {
    std::array args{MakeI4(Printer), MakeStr(PrinterName), MakeStr(NVImage), MakeI4(ImageMode),
                    MakeI4(Brightness)};
    int32_t result = 0;
    if (TS_FAILED(m_host.InvokeI4(TESSALINE_DISPID_UPLOAD, args, result))) {
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> DispatchLogoControl::ErrorText() {
    std::string result;
    if (TS_FAILED(m_host.InvokeStr(TESSALINE_DISPID_ERRORTEXT, {}, result))) {
        return std::nullopt;
    }
    return result;
}

void DispatchLogoControl::OnProgress(std::function<void(int32_t Data)> handler) {
    m_progress = std::move(handler);
}

} // namespace tessaline
