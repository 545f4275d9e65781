// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"
#include "app/core/LogoControl.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <ocidl.h>

namespace tessaline::win32 {

class ComEventSink;

// The hosted Tessaline control as the program calls it: late-bound through
// IDispatch::Invoke by dispatch identifier, strings as BSTRs (the control
// hands them on in the ANSI code page), and Progress received through the
// control's connection point for its default source interface.
class ComLogoControl final : public LogoControl {
public:
    // `control` is the control's dispatch interface; it is kept until Disconnect.
    explicit ComLogoControl(IDispatch* control);
    ~ComLogoControl() override;
    ComLogoControl(const ComLogoControl&) = delete;
    ComLogoControl& operator=(const ComLogoControl&) = delete;

    // True when Progress events reach this object.
    bool Connected() const { return m_cookie != 0; }
    // Stops the events and lets the control go; later calls answer nothing.
    void Disconnect();

    std::optional<BitmapInfoReply> BitmapInfo(const std::string& NVImage) override;
    std::optional<std::string> Preview(const std::string& PreviewName, int16_t ImageMode,
                                       int16_t Brightness) override;
    std::optional<int32_t> Print(int32_t Printer, const std::string& PrinterName, int32_t Range,
                                 int32_t Mode, int32_t lngEnd) override;
    std::optional<int32_t> Upload(int32_t Printer, const std::string& PrinterName,
                                  const std::string& NVImage, int32_t ImageMode,
                                  int32_t Brightness) override;
    std::optional<std::string> ErrorText() override;
    void OnProgress(std::function<void(int32_t Data)> handler) override;

private:
    // Calls method `dispid` with `args` in their declared order; the result
    // as the control returned it, or nothing when the call failed.
    std::optional<VARIANT> Invoke(DISPID dispid, VARIANT* args, UINT count);
    std::optional<int32_t> InvokeLong(DISPID dispid, VARIANT* args, UINT count);

    IDispatch* m_control;
    std::function<void(int32_t)> m_progress;
    ComEventSink* m_sink = nullptr;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
};

} // namespace tessaline::win32
