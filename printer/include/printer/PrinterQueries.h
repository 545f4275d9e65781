// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// The four real-time status bytes a printer sends for DLE EOT n.
enum class StatusQuery : uint8_t { Printer = 1, OfflineCause = 2, ErrorCause = 3, PaperSensor = 4 };

// What the printer tells about itself for GS I n.
enum class IdentityQuery : uint8_t {
    ModelId = 1,
    TypeId = 2,
    RomVersionId = 3,
    Firmware = 65,
    Maker = 66,
    Model = 67,
    SerialNumber = 68,
    CodePage = 69,
};

// The NV graphics memory sizes GS ( L reports.
enum class NvGraphicsQuery : uint8_t { Total = 48, Free = 51 };

// DLE EOT n.
std::vector<uint8_t> StatusRequest(StatusQuery query);
// GS I n.
std::vector<uint8_t> IdentityRequest(IdentityQuery query);
// GS ( L pL pH m fn with m = 48.
std::vector<uint8_t> NvGraphicsRequest(NvGraphicsQuery query);
// GS ( E function 6 for customized value 3: the paper width the printer is set for.
std::vector<uint8_t> PaperWidthSettingRequest();

// True for a byte with the fixed bits every real-time status reply carries (0xx1xx10b).
bool IsStatusByte(uint8_t byte);

// The shape of the reply a question gets.
enum class ReplyShape {
    StatusByte,  // one byte with the fixed status bits
    OneByte,     // one byte, any value (GS I 1 to 3)
    Text,        // 5F, text, 00 (GS I 65 to 69)
    NvTotal,     // 37 30, decimal digits, 00
    NvFree,      // 37 31, decimal digits, 00
    CustomValue, // 37 27, the value's number, 1F, its setting, all decimal digits, 00
};

ReplyShape ShapeOf(StatusQuery query);
ReplyShape ShapeOf(IdentityQuery query);
ReplyShape ShapeOf(NvGraphicsQuery query);

// Collects what a printer sends and finds one reply in it, however the
// bytes were split across reads. Bytes before a reply that cannot belong to
// one (a status broadcast, line noise, a late answer to another question)
// are dropped.
class ReplyReader {
public:
    explicit ReplyReader(ReplyShape shape) : m_shape(shape) {}

    // Adds bytes as they were read.
    void Feed(std::span<const uint8_t> bytes);
    // The reply once it is whole: the status or one byte, the text without
    // its frame, or the digits. Nothing while it is incomplete.
    std::optional<std::vector<uint8_t>> Reply();
    // Bytes dropped so far as not belonging to the reply.
    size_t Dropped() const { return m_dropped; }
    // Bytes that came after the reply, once it is whole: a peer that says
    // more than the question asked.
    size_t Extra() const { return m_pending.size() - m_replyEnd; }

private:
    void DropFront(size_t count);

    ReplyShape m_shape;
    std::vector<uint8_t> m_pending;
    size_t m_dropped = 0;
    size_t m_replyEnd = 0; // where the reply found in m_pending ends
};

// Longest text or number a reply may carry before it is taken for noise.
inline constexpr size_t kMaxReplyText = 80;

// What the four status bytes say, each present only when the printer answered it.
struct PrinterStatus {
    std::optional<uint8_t> printer, offlineCause, errorCause, paperSensor;

    bool Answered() const { return printer || offlineCause || errorCause || paperSensor; }
    // Ready: it answered, and no byte it sent reports a stop.
    bool Ready() const;
    // Why it is not ready, or a warning ("paper near end"), in plain words, in a fixed order.
    std::vector<std::string> Conditions() const;
    bool PaperNearEnd() const;
};

// The number a GS ( L reply carries, or nothing for digits that are not one.
std::optional<uint64_t> ParseNvBytes(std::span<const uint8_t> digits);

// The width in millimetres of the roll a GS ( E function 6 reply for value 3
// (number, 1F, setting) says the printer is set for: setting 2 is the 58 mm
// roll (57.5 mm), 4 the 69.5 mm one (70), 5 the 76 mm and 6 the 80 mm one.
// Nothing for a reply about another value, or a setting no command reference
// gives.
std::optional<int32_t> ParsePaperWidthSetting(std::span<const uint8_t> body);

} // namespace tessaline
