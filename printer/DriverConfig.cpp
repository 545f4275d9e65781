// SPDX-License-Identifier: MIT
#include "printer/DriverConfig.h"

#include <algorithm>
#include <memory>
#include <new>

namespace tessaline {

namespace {

// Offsets into the record; words are 32-bit little-endian.
constexpr size_t kSlotCount = 11;
constexpr size_t kSlotStride = 104;
constexpr size_t kFirstSlotLength = 132;
constexpr size_t kCommandTextSize = 100;
constexpr size_t kLogoASwitch = 1204;
constexpr size_t kLogoBSwitch = 1208;
constexpr size_t kLogoAText = 1248;
constexpr size_t kLogoALength = 1348;
constexpr size_t kLogoBText = 1352;
constexpr size_t kLogoBLength = 1452;

uint32_t GetWord(const DriverConfigRecord& r, size_t at) {
    return uint32_t{r[at]} | uint32_t{r[at + 1]} << 8 | uint32_t{r[at + 2]} << 16 |
           uint32_t{r[at + 3]} << 24;
}

void PutWord(DriverConfigRecord& r, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) {
        r[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void PutWords(DriverConfigRecord& r, size_t from, size_t count, uint32_t v) {
    for (size_t i = 0; i < count; ++i) {
        PutWord(r, from + 4 * i, v);
    }
}

// Gives the fields a fresh record defines their values; the rest (command
// texts and the words the driver fills itself) stay as the buffer holds them.
void MakeFresh(DriverConfigRecord& r) {
    PutWord(r, 0, kDriverConfigFormat);
    PutWord(r, 4, 1252);
    PutWord(r, 8, 1);
    PutWords(r, 16, 4, 0);
    for (size_t k = 0; k < kSlotCount; ++k) {
        PutWord(r, kFirstSlotLength + kSlotStride * k, 0);
    }
    PutWords(r, 1176, 2, 0);
    PutWords(r, 1184, 5, 0);
    PutWord(r, kLogoASwitch, 0);
    PutWord(r, kLogoBSwitch, 0);
    PutWords(r, 1216, 4, 150);
    PutWords(r, 1232, 3, 0);
    PutWord(r, kLogoALength, 0);
    PutWord(r, kLogoBLength, 0);
    PutWords(r, 1456, 2, 0);
    PutWords(r, 1464, 2, 0); // the driver's references start out empty
}

void ApplyEnable(DriverConfigRecord& r) {
    // Only the first four bytes of each text change; the driver reads `length` of them.
    constexpr std::array<uint8_t, 4> kPrintImage1{0x1C, 0x70, 0x01, 0x30};
    constexpr std::array<uint8_t, 4> kPrintImage2{0x1C, 0x70, 0x02, 0x30};
    std::copy(kPrintImage1.begin(), kPrintImage1.end(), r.begin() + kLogoAText);
    std::copy(kPrintImage2.begin(), kPrintImage2.end(), r.begin() + kLogoBText);
    PutWord(r, kLogoALength, 4);
    PutWord(r, kLogoBLength, 4);
    PutWord(r, kLogoASwitch, 1);
    PutWord(r, kLogoBSwitch, 1);
}

void ApplyDisable(DriverConfigRecord& r) {
    std::fill_n(r.begin() + kLogoAText, kCommandTextSize, uint8_t{0});
    std::fill_n(r.begin() + kLogoBText, kCommandTextSize, uint8_t{0});
    PutWord(r, kLogoALength, 0);
    PutWord(r, kLogoBLength, 0);
    PutWord(r, kLogoASwitch, 0);
    PutWord(r, kLogoBSwitch, 0);
    PutWords(r, 1456, 2, 0);
}

} // namespace

bool IsAcceptedDriverConfig(const std::optional<DriverValue>& stored) {
    if (!stored || stored->type != kRegBinary || stored->bytes.size() != kDriverConfigSize) {
        return false;
    }
    DriverConfigRecord r{};
    std::copy(stored->bytes.begin(), stored->bytes.end(), r.begin());
    return GetWord(r, 0) == kDriverConfigFormat;
}

DriverConfigRecord EditDriverConfig(const std::optional<DriverValue>& stored,
                                    DriverConfigEdit edit) {
    DriverConfigRecord r{};
    if (IsAcceptedDriverConfig(stored)) {
        std::copy(stored->bytes.begin(), stored->bytes.end(), r.begin());
    } else {
        MakeFresh(r);
    }
    if (edit == DriverConfigEdit::Enable) {
        ApplyEnable(r);
    } else {
        ApplyDisable(r);
    }
    return r;
}

int32_t UpdateDriverConfig(const Spooler& spooler, const std::string& printerName,
                           DriverConfigEdit edit, std::string* denied) {
    try {
        Result<std::unique_ptr<SpoolerQueue>> queue = spooler.Open(printerName, QueueAccess::Full);
        if (!queue) {
            // e.g. no right to administer the queue: its record stays as it is
            if (denied != nullptr && queue.Code() == kSpoolerRecordDenied) {
                *denied = queue.Reason();
            }
            return 0;
        }
        const DriverConfigRecord record =
            EditDriverConfig(queue.Value()->GetDriverData(kDriverConfigName), edit);
        // A refused write-back leaves the old record in place; the bytes already
        // reached the printer, so the operation itself still stands.
        static_cast<void>(queue.Value()->SetDriverData(kDriverConfigName, kRegBinary, record));
        return 0;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

} // namespace tessaline
