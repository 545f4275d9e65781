// SPDX-License-Identifier: MIT
#include "PrintStream.h"

namespace tessaline {

namespace {

constexpr int32_t kEraseSelector = 1000;
constexpr int32_t kAllImages = 255;

StreamCommand PrintImage(int64_t number, uint8_t modeByte, int32_t progress = 0) {
    // The printer numbers its images in one byte: the low byte of the two's
    // complement number is sent, so -1 prints image 255 and 300 image 44.
    const auto b = static_cast<uint8_t>(static_cast<uint64_t>(number) & 0xFFu);
    return {{0x1C, 0x70, b, modeByte}, progress};
}

StreamCommand Cut() {
    return {{0x1D, 0x56, 0x42, 0x01}, 0};
}

StreamCommand Erase() {
    return {{0x1C, 0x65}, 0};
}

} // namespace

uint8_t PrintModeByte(int32_t mode) {
    switch (mode) {
    case 1:
        return 0x31;
    case 2:
        return 0x32;
    case 3:
        return 0x33;
    default:
        return 0x30;
    }
}

std::string PrintRequestRefusal(int32_t first, int32_t mode, int32_t last) {
    const auto outside = [](int64_t number) {
        return "image number " + std::to_string(number) + " is outside 1 to " +
               std::to_string(kAllImages);
    };
    if (first == kEraseSelector && mode == kEraseSelector) {
        if (last > 0 && int64_t{last} - int64_t{first} >= kMaxPrintRange) {
            return "the range " + std::to_string(first) + "-" + std::to_string(last) +
                   " holds more than " + std::to_string(kMaxPrintRange) + " numbers";
        }
        return {};
    }
    if (first == 0 && last == 0) {
        return {};
    }
    // The printer takes the low byte of a number: 300 would print image 44.
    if (first < 1 || first > kAllImages) {
        return outside(first);
    }
    if (last > 0) {
        if (last > kAllImages) {
            return outside(last);
        }
        if (first > last) {
            return "the range " + std::to_string(first) + "-" + std::to_string(last) +
                   " runs backwards: its first number is greater than its last";
        }
    }
    return {};
}

std::optional<std::vector<StreamCommand>> BuildPrintStream(int32_t first, int32_t mode,
                                                           int32_t last) {
    if (!PrintRequestRefusal(first, mode, last).empty()) {
        return std::nullopt;
    }
    const uint8_t m = PrintModeByte(mode);
    std::vector<StreamCommand> out;
    if (first == kEraseSelector && mode == kEraseSelector) {
        out.push_back(Erase());
    }
    if (first == 0 && last == 0) {
        out.reserve(kAllImages + 1);
        for (int32_t j = 1; j <= kAllImages; ++j) {
            out.push_back(PrintImage(j, m, j));
        }
    } else if (first > 0 && last > 0) {
        for (int64_t i = first; i <= last; ++i) {
            out.push_back(PrintImage(i, m));
        }
    } else {
        out.push_back(PrintImage(first, m));
    }
    out.push_back(Cut());
    return out;
}

StreamResult WriteCommands(CPrinterChannel& channel, const std::vector<StreamCommand>& commands,
                           const ProgressFn& progress) {
    for (const StreamCommand& command : commands) {
        if (!channel.WriteRawBytes(command.bytes)) {
            return StreamResult::WriteFailed;
        }
        if (command.progress != 0 && progress) {
            progress(command.progress);
        }
    }
    return StreamResult::Sent;
}

StreamResult WritePrintStream(CPrinterChannel& channel, int32_t first, int32_t mode, int32_t last,
                              const ProgressFn& progress) {
    const std::optional<std::vector<StreamCommand>> commands = BuildPrintStream(first, mode, last);
    if (!commands) {
        return StreamResult::Refused;
    }
    return WriteCommands(channel, *commands, progress);
}

} // namespace tessaline
