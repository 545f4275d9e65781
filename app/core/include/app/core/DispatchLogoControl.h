// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/LogoControl.h"
#include "tessaline/tessaline_control.h"

#include <cstdint>
#include <memory>

namespace tessaline {

class ControlHost;

// The Tessaline control reached late-bound, by dispatch identifier, through
// the component host: the program never links the control library.
class DispatchLogoControl final : public LogoControl {
public:
    explicit DispatchLogoControl(ControlHost& host);
    ~DispatchLogoControl() override;

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
    ControlHost& m_host;
    std::function<void(int32_t)> m_progress;
    uint32_t m_cookie = 0;
};

// The ProgID the program creates the control by.
inline constexpr const char* kTessalineControlProgId = TESSALINE_PROGID;

} // namespace tessaline
