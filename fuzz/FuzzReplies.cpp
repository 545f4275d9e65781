// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes, as a printer or a peer could send them, to the two
// readers of a connection: the reply reader, in every shape and split where
// the first byte says, and the virtual printer's responder, which must keep
// every byte of the job and answer only with well-formed replies.
#include "escpos/PrinterResponder.h"
#include "printer/PrinterQueries.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t split = data[0] % size;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    using tessaline::ReplyShape;
    for (const ReplyShape shape :
         {ReplyShape::StatusByte, ReplyShape::OneByte, ReplyShape::Text, ReplyShape::NvTotal,
          ReplyShape::NvFree, ReplyShape::CustomValue}) {
        tessaline::ReplyReader reader(shape);
        reader.Feed(bytes.first(std::min(split, bytes.size())));
        static_cast<void>(reader.Reply());
        reader.Feed(bytes.subspan(std::min(split, bytes.size())));
        const auto reply = reader.Reply();
        if (reply && shape == ReplyShape::StatusByte &&
            (reply->size() != 1 || !tessaline::IsStatusByte((*reply)[0]))) {
            std::abort();
        }
        if (reply && reply->size() > tessaline::kMaxReplyText) {
            std::abort();
        }
        if (reader.Dropped() > bytes.size()) {
            std::abort();
        }
        // A paper width read from any reply is one of the rolls' widths.
        if (const auto mm = reply ? tessaline::ParsePaperWidthSetting(*reply) : std::nullopt;
            mm && (*mm < 58 || *mm > 80)) {
            std::abort();
        }
    }
    tessaline::PrinterModel model;
    model.nvGraphics = 1000;
    tessaline::PrinterResponder responder("fuzz", model, tessaline::PrinterState{});
    std::vector<uint8_t> replies;
    for (size_t at = 0; at < bytes.size(); at += split + 1) {
        const auto got = responder.Feed(bytes.subspan(at, std::min(split + 1, bytes.size() - at)));
        replies.insert(replies.end(), got.begin(), got.end());
    }
    if (responder.Job().size() != bytes.size()) {
        std::abort();
    }
    // Every reply is a status byte, an identification byte, or a framed text.
    for (size_t i = 0; i < replies.size();) {
        if (replies[i] == 0x5F || replies[i] == 0x37) {
            while (i < replies.size() && replies[i] != 0x00) {
                ++i;
            }
            if (i == replies.size()) {
                std::abort();
            }
        }
        ++i;
    }
    // A Star printer's responder keeps every byte too, and answers only with
    // whole automatic statuses and ESC-framed replies.
    for (const auto language :
         {tessaline::PrinterLanguage::StarLine, tessaline::PrinterLanguage::StarPrnt}) {
        model.language = language;
        tessaline::PrinterResponder star("fuzz", model, tessaline::PrinterState{});
        std::vector<uint8_t> answers;
        for (size_t at = 0; at < bytes.size(); at += split + 1) {
            const auto got = star.Feed(bytes.subspan(at, std::min(split + 1, bytes.size() - at)));
            if (!got.empty() && got[0] != 0x23 && got[0] != 0x1B) {
                std::abort();
            }
            answers.insert(answers.end(), got.begin(), got.end());
        }
        if (star.Job().size() != bytes.size()) {
            std::abort();
        }
    }
    return 0;
}
