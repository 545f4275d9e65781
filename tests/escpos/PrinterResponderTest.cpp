// SPDX-License-Identifier: MIT
#include "escpos/PrinterResponder.h"

#include "tests/support/Bytes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace tessaline {
namespace {

using test::Bytes;

constexpr const char* kDay = "2024-03-01";

// The state of a printer whose NV memory the test holds, in the conditions given.
PrinterState Held(const NvMemory& memory, std::string conditions = {}) {
    PrinterState state;
    state.memory = [&memory] { return memory; };
    state.conditions = [conditions] { return conditions; };
    return state;
}

// Each condition sets its bits in the answers to DLE EOT 1 to 4, over the
// fixed bits 0x12 of every status byte; words it does not know add nothing.
TEST(PrinterResponder, AnswersRealTimeStatusFromTheConditions) {
    const struct {
        const char* conditions;
        Bytes answers; // to DLE EOT 1, 2, 3, 4
    } cases[] = {
        {"", {0x12, 0x12, 0x12, 0x12}},
        {"ready\n", {0x12, 0x12, 0x12, 0x12}},
        {"offline", {0x1A, 0x12, 0x12, 0x12}},
        {"cover-open", {0x1A, 0x16, 0x12, 0x12}},
        {"paper-end", {0x1A, 0x32, 0x12, 0x72}},
        {"paper-near-end", {0x12, 0x12, 0x12, 0x1E}},
        {"cutter-error", {0x1A, 0x52, 0x1A, 0x12}},
        {"unrecoverable-error", {0x1A, 0x52, 0x32, 0x12}},
        {"cover-open\r\npaper-near-end \tjammed", {0x1A, 0x16, 0x12, 0x1E}},
        {"cover-opened paper", {0x12, 0x12, 0x12, 0x12}},
    };
    for (const auto& c : cases) {
        const NvMemory memory;
        PrinterResponder responder("P", {}, Held(memory, c.conditions));
        EXPECT_EQ(responder.Feed(Bytes{0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x03, 0x10,
                                       0x04, 0x04}),
                  c.answers)
            << c.conditions;
        EXPECT_TRUE(responder.OnlyQuestions()) << c.conditions;
    }
}

// Questions are answered where a command may start, however the bytes are
// split; the same bytes inside an image's raster are data, not questions.
TEST(PrinterResponder, AnswersQuestionsBetweenCommandsOnly) {
    const std::vector<uint8_t> raster(8, 0x10); // x = 1, y = 1: eight bytes, all DLE
    std::vector<uint8_t> stream = {0x10, 0x04, 0x01, 0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00};
    stream.insert(stream.end(), raster.begin(), raster.end());
    // Pictures and codes whose data looks like questions: never answered.
    const std::vector<uint8_t> pictures = {
        0x1D, 0x76, 0x30, 0x00, 0x03, 0x00, 0x02, 0x00, 0x1D, 0x49, 0x43, 0x10, 0x04, 0x01, 0x1B,
        0x2A, 0x21, 0x02, 0x00, 0x10, 0x04, 0x01, 0x1D, 0x49, 0x42, 0x1D, 0x28, 0x6B, 0x06, 0x00,
        0x31, 0x50, 0x30, 0x1D, 0x49, 0x43, 0x1D, 0x6B, 0x49, 0x05, 0x7B, 0x42, 0x10, 0x04, 0x02};
    stream.insert(stream.end(), pictures.begin(), pictures.end());
    const std::vector<uint8_t> questions = {0x10, 0x04, 0x04, 0x1D, 0x49, 0x43, 0x1D,
                                            0x28, 0x4C, 0x02, 0x00, 0x30, 0x33};
    stream.insert(stream.end(), questions.begin(), questions.end());
    const std::vector<uint8_t> expected = {0x12, 0x12, 0x5F, 'V',  'i', 'r', 't', 'u', 'a',
                                           'l',  0x00, 0x37, 0x31, '5', '0', '0', 0x00};
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{5}, stream.size()}) {
        PrinterModel model;
        model.nvGraphics = 500;
        PrinterResponder responder("P", model, PrinterState{});
        std::vector<uint8_t> replies;
        for (size_t at = 0; at < stream.size(); at += piece) {
            const size_t n = std::min(piece, stream.size() - at);
            const std::vector<uint8_t> got =
                responder.Feed(std::span<const uint8_t>(stream.data() + at, n));
            replies.insert(replies.end(), got.begin(), got.end());
        }
        EXPECT_EQ(replies, expected) << "pieces of " << piece;
        EXPECT_FALSE(responder.OnlyQuestions());
        EXPECT_EQ(responder.Job(), stream);
    }
    PrinterModel oneWay;
    oneWay.answers = false;
    PrinterResponder mute("P", oneWay, PrinterState{});
    EXPECT_TRUE(mute.Feed(std::vector<uint8_t>{0x10, 0x04, 0x01}).empty());
    EXPECT_TRUE(mute.OnlyQuestions());
}

// Stores before a question run before it is answered, so the sizes and the
// key list reflect them; the key list comes 40 keys a block, again on NAK.
TEST(PrinterResponder, AnswersFromWhatCameBeforeAndHandsTheKeyListOverBlockByBlock) {
    PrinterModel model;
    model.nvGraphics = 1000;
    const Bytes clear = {0x1D, 0x28, 0x4C, 0x05, 0x00, 0x30, 0x41, 'C', 'L', 'R'};
    const Bytes freeQuestion = {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x33};
    const Bytes keysQuestion = {0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 'K', 'C'};
    for (const size_t count : {size_t{0}, size_t{1}, size_t{40}, size_t{41}, size_t{200}}) {
        int runs = 0;
        NvMemory memory;
        PrinterResponder responder("P", model, Held(memory), [&](std::span<const uint8_t> bytes) {
            ++runs;
            return RunJob(model, memory, bytes, kDay).memoryChanged;
        });
        Bytes stream = clear;
        std::vector<Bytes> keys;
        for (size_t i = 0; i < count; ++i) {
            // One-dot graphics under keys in the printer's order, "!!" onwards.
            const Bytes key = {static_cast<uint8_t>(33 + i / 90),
                               static_cast<uint8_t>(33 + i % 90)};
            keys.push_back(key);
            stream.insert(stream.end(), {0x1D, 0x28, 0x4C, 0x0C, 0x00, 0x30, 0x43, 0x30, key[0],
                                         key[1], 0x01, 0x01, 0x00, 0x01, 0x00, 0x31, 0x80});
        }
        stream.insert(stream.end(), freeQuestion.begin(), freeQuestion.end());
        stream.insert(stream.end(), keysQuestion.begin(), keysQuestion.end());
        std::vector<Bytes> blocks;
        for (size_t first = 0; first == 0 || first < count; first += 40) {
            Bytes block = {0x37, 0x72, static_cast<uint8_t>(first + 40 < count ? 0x41 : 0x40)};
            for (size_t k = first; k < std::min(first + 40, count); ++k) {
                block.insert(block.end(), keys[k].begin(), keys[k].end());
            }
            block.push_back(0x00);
            blocks.push_back(block);
        }
        const std::string left = std::to_string(1000 - count);
        Bytes expected = {0x37, 0x31};
        expected.insert(expected.end(), left.begin(), left.end());
        expected.push_back(0x00);
        expected.insert(expected.end(), blocks[0].begin(), blocks[0].end());
        EXPECT_EQ(responder.Feed(stream), expected) << count << " keys";
        EXPECT_EQ(runs, 1) << count << " keys";
        // NAK once for the first block, then ACK each; nothing after the last.
        EXPECT_EQ(responder.Feed(Bytes{0x15}), blocks[0]) << count << " keys";
        for (size_t b = 1; b <= blocks.size(); ++b) {
            const Bytes next = b < blocks.size() ? blocks[b] : Bytes{};
            EXPECT_EQ(responder.Feed(Bytes{0x06}), next) << count << " keys, block " << b;
        }
        EXPECT_TRUE(responder.OnlyQuestions());
        EXPECT_EQ(responder.Job(), Bytes(stream.end() - 16, stream.end()));
    }
    // CAN ends the hand-over; the next byte is a command again.
    NvMemory memory;
    PrinterResponder responder("P", model, Held(memory));
    static_cast<void>(responder.Feed(keysQuestion));
    EXPECT_TRUE(responder.Feed(Bytes{0x18}).empty());
    EXPECT_EQ(responder.Feed(Bytes{0x10, 0x04, 0x01}), Bytes{0x12});
}

// Bytes that look like a question inside another command's parameters are
// no question: the responder splits the stream as the interpreter does.
// GS ( E function 6 for value 3 tells the roll the paper width fits; an
// older model without NV graphics has no customized values to tell.
TEST(PrinterResponder, TellsThePaperWidthSetting) {
    const Bytes question = {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, 0x03};
    const struct {
        int paperWidth;
        uint64_t nvGraphics;
        Bytes reply;
    } cases[] = {
        {576, 262144, {0x37, 0x27, '3', 0x1F, '6', 0x00}},
        {512, 262144, {0x37, 0x27, '3', 0x1F, '6', 0x00}},
        {384, 262144, {0x37, 0x27, '3', 0x1F, '2', 0x00}},
        {832, 262144, {}},
        {576, 0, {}},
    };
    for (const auto& c : cases) {
        PrinterModel model;
        model.paperWidth = c.paperWidth;
        model.nvGraphics = c.nvGraphics;
        PrinterResponder responder("P", model, PrinterState{});
        EXPECT_EQ(responder.Feed(question), c.reply) << c.paperWidth << " " << c.nvGraphics;
        EXPECT_TRUE(responder.OnlyQuestions());
    }
    // Another function or value of GS ( E is no question.
    PrinterResponder responder("P", {}, PrinterState{});
    EXPECT_EQ(responder.Feed(Bytes{0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, 0x05}), Bytes{});
    EXPECT_FALSE(responder.OnlyQuestions());
}

TEST(PrinterResponder, ParametersThatLookLikeQuestionsAreNotAnswered) {
    const struct {
        const char* what;
        Bytes stream;
        Bytes replies;
    } cases[] = {
        {"ESC ! 16, then 04 01", {0x1B, 0x21, 0x10, 0x04, 0x01}, {}},
        {"ESC D tab stops", {0x1B, 0x44, 0x10, 0x04, 0x01, 0x00, 0x10, 0x04, 0x01}, {0x12}},
        {"GS k to NUL", {0x1D, 0x6B, 0x04, 0x10, 0x04, 0x01, 0x00, 0x10, 0x04, 0x02}, {0x12}},
        {"FS p n m", {0x1C, 0x70, 0x10, 0x04, 0x10, 0x04, 0x03}, {0x12}},
        {"unknown ESC, then a question", {0x1B, 0x7F, 0x10, 0x04, 0x04}, {0x12}},
        {"ESC * of unknown mode: the rest is its data", {0x1B, 0x2A, 0x07, 0x10, 0x04, 0x01}, {}},
    };
    for (const auto& c : cases) {
        for (const size_t piece : {size_t{1}, c.stream.size()}) {
            PrinterResponder responder("P", {}, PrinterState{});
            Bytes replies;
            for (size_t at = 0; at < c.stream.size(); at += piece) {
                const size_t n = std::min(piece, c.stream.size() - at);
                const Bytes got = responder.Feed(std::span<const uint8_t>(c.stream.data() + at, n));
                replies.insert(replies.end(), got.begin(), got.end());
            }
            EXPECT_EQ(replies, c.replies) << c.what << ", pieces of " << piece;
            EXPECT_EQ(responder.Job(), c.stream) << c.what;
        }
    }
}

} // namespace
} // namespace tessaline
