// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tessaline {

// What BitmapInfo answered: its result (negative when the file cannot be
// loaded, the outputs then untouched) and its three outputs.
struct BitmapInfoReply {
    int32_t result = -1;
    int32_t bitsPixel = 0;
    int32_t height = 0;
    int32_t width = 0;
};

// The hosted Tessaline control as the program calls it. Every method answers
// nothing when the call itself failed (the control is missing or refused it).
class LogoControl {
public:
    virtual ~LogoControl() = default;
    virtual std::optional<BitmapInfoReply> BitmapInfo(const std::string& NVImage) = 0;
    virtual std::optional<std::string> Preview(const std::string& PreviewName, int16_t ImageMode,
                                               int16_t Brightness) = 0;
    virtual std::optional<int32_t> Print(int32_t Printer, const std::string& PrinterName,
                                         int32_t Range, int32_t Mode, int32_t lngEnd) = 0;
    virtual std::optional<int32_t> Upload(int32_t Printer, const std::string& PrinterName,
                                          const std::string& NVImage, int32_t ImageMode,
                                          int32_t Brightness) = 0;
    // Why the control's last call failed (empty after a success). The
    // program's messages are fixed texts, so it does not show this.
    virtual std::optional<std::string> ErrorText() = 0;
    // The handler receives every Progress event (its Data argument).
    virtual void OnProgress(std::function<void(int32_t Data)> handler) = 0;
};

} // namespace tessaline
