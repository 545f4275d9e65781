// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/LogoControl.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tessaline::test {

struct PrintCall {
    int32_t printer = 0;
    std::string name;
    int32_t range = 0;
    int32_t mode = 0;
    int32_t end = 0;
    bool operator==(const PrintCall&) const = default;
};

struct UploadCall {
    int32_t printer = 0;
    std::string name;
    std::string NVImage;
    int32_t imageMode = 0;
    int32_t brightness = 0;
    bool operator==(const UploadCall&) const = default;
};

struct PreviewCall {
    std::string name;
    int16_t mode = 0;
    int16_t brightness = 0;
};

// Passes every call to the real control and records it; `during` runs in the
// middle of each call, as a nested event would.
class RecordingControl final : public LogoControl {
public:
    explicit RecordingControl(LogoControl& real) : m_real(real) {}

    std::optional<BitmapInfoReply> BitmapInfo(const std::string& NVImage) override {
        bitmapInfoCalls.push_back(NVImage);
        RunDuring();
        return m_real.BitmapInfo(NVImage);
    }
    std::optional<std::string> Preview(const std::string& PreviewName, int16_t ImageMode,
                                       int16_t Brightness) override {
        previews.push_back({PreviewName, ImageMode, Brightness});
        RunDuring();
        return m_real.Preview(PreviewName, ImageMode, Brightness);
    }
    std::optional<int32_t> Print(int32_t Printer, const std::string& PrinterName, int32_t Range,
                                 int32_t Mode, int32_t lngEnd) override {
        prints.push_back({Printer, PrinterName, Range, Mode, lngEnd});
        RunDuring();
        if (!results.empty()) {
            const std::optional<int32_t> result = results.front();
            results.pop_front();
            return result;
        }
        return m_real.Print(Printer, PrinterName, Range, Mode, lngEnd);
    }
    std::optional<int32_t> Upload(int32_t Printer, const std::string& PrinterName,
                                  const std::string& NVImage, int32_t ImageMode,
                                  int32_t Brightness) override {
        uploads.push_back({Printer, PrinterName, NVImage, ImageMode, Brightness});
        RunDuring();
        if (!results.empty()) {
            const std::optional<int32_t> result = results.front();
            results.pop_front();
            return result;
        }
        return m_real.Upload(Printer, PrinterName, NVImage, ImageMode, Brightness);
    }
    std::optional<std::string> ErrorText() override { return m_real.ErrorText(); }
    void OnProgress(std::function<void(int32_t)> handler) override {
        if (!handler) {
            m_real.OnProgress(nullptr);
            return;
        }
        m_real.OnProgress([this, handler = std::move(handler)](int32_t Data) {
            handler(Data);
            if (afterProgress) {
                afterProgress(Data);
            }
        });
    }

    std::vector<std::string> bitmapInfoCalls;
    std::vector<PreviewCall> previews;
    std::vector<PrintCall> prints;
    std::vector<UploadCall> uploads;
    // Scripted results of Print and Upload, used instead of the real control's.
    std::deque<std::optional<int32_t>> results;
    std::function<void()> during;
    // Runs after the window has handled each Progress event.
    std::function<void(int32_t)> afterProgress;

private:
    void RunDuring() {
        if (during) {
            auto once = std::move(during);
            during = nullptr;
            once();
        }
    }
    LogoControl& m_real;
};

} // namespace tessaline::test
