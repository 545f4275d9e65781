// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the reader of the printer records every tool
// shares: a record it reads is written back and read again unchanged.
#include "platform/PrinterNvRecords.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessaline;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto record = ParsePrinterNvRecord(text);
    if (!record) {
        return 0;
    }
    const std::string written = PrinterNvRecordText(record.Value());
    const auto again = ParsePrinterNvRecord(written);
    if (!again || PrinterNvRecordText(again.Value()) != written) {
        __builtin_trap();
    }
    return 0;
}
