// SPDX-License-Identifier: MIT
#include "escpos/CommandTable.h"

#include "escpos/EscPosCommands.h"
#include "escpos/EscPosEmulator.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tessaline {
namespace {

using test::Bytes;

// A piece as the cases below write it: "text 3", "ESC @ 2", "? 2" (not
// understood), "cut short GS (", "GS k rest".
std::string Describe(const Piece& piece) {
    const std::string name = piece.command != nullptr ? piece.command->name : "";
    switch (piece.kind) {
    case PieceKind::Text:
        return "text " + std::to_string(piece.length);
    case PieceKind::NotUnderstood:
        return "? " + std::to_string(piece.length);
    case PieceKind::CutShort:
        return "cut short " + name;
    case PieceKind::Command:
        return name + " " +
               (piece.length == kRestOfStream ? std::string("rest") : std::to_string(piece.length));
    }
    return "";
}

std::vector<std::string> Split(const Bytes& stream) {
    std::vector<std::string> pieces;
    for (size_t at = 0; at < stream.size();) {
        const Piece piece = SplitAt(EscPosCommands(), stream, at);
        pieces.push_back(Describe(piece));
        if (piece.kind == PieceKind::CutShort || piece.length > stream.size() - at) {
            break;
        }
        at += static_cast<size_t>(piece.length);
    }
    return pieces;
}

// Where each command ends is the table's: data that looks like commands stays data.
TEST(EscPosCommands, SplitAStreamWhereItsCommandsEnd) {
    const struct {
        const char* what;
        Bytes stream;
        std::vector<std::string> pieces;
    } cases[] = {
        {"text and controls",
         {'A', 'b', ' ', 0x0A, 'c', 0x0D, 0x09},
         {"text 3", "LF 1", "text 1", "CR 1", "HT 1"}},
        {"one parameter",
         {0x1B, 0x40, 0x1B, 0x21, 0x10, 0x04, 0x01},
         {"ESC @ 2", "ESC ! 3", "? 1", "? 1"}},
        {"GS ( L before GS (",
         {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x33, 0x1D, 0x28, 0x6B, 0x01, 0x00, 0x10},
         {"GS ( L 7", "GS ( 6"}},
        {"GS 8 L", {0x1D, 0x38, 0x4C, 0x02, 0x00, 0x00, 0x00, 0x30, 0x33}, {"GS 8 L 9"}},
        {"GS v 0",
         {0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x03, 0x00, 1, 2, 3, 4, 5, 6},
         {"GS v 0 14"}},
        {"GS v other", {0x1D, 0x76, 0x31, 0x00}, {"GS v 0 3", "? 1"}},
        {"ESC * 24-dot", {0x1B, 0x2A, 0x21, 0x02, 0x00, 1, 2, 3, 4, 5, 6}, {"ESC * 11"}},
        {"ESC * bad mode", {0x1B, 0x2A, 0x07, 0x02, 0x00, 0x10, 0x04, 0x01}, {"ESC * rest"}},
        {"GS k to NUL", {0x1D, 0x6B, 0x02, '1', '2', 0x00, 0x0A}, {"GS k 6", "LF 1"}},
        {"GS k counted", {0x1D, 0x6B, 0x49, 0x02, 0x10, 0x04}, {"GS k 6"}},
        {"GS k bad system", {0x1D, 0x6B, 0x07, 0x00}, {"GS k rest"}},
        {"GS V with feed", {0x1D, 0x56, 0x42, 0x10, 0x1D, 0x56, 0x00}, {"GS V 4", "GS V 3"}},
        {"FS q two images",
         {0x1C, 0x71, 0x02, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0,
          0x10, 0x01, 0x00, 0x01, 0x00, 0,    0,    0, 0, 0, 0, 0, 0, 0x0A},
         {"FS q 27", "LF 1"}},
        {"FS q bad size ends there",
         {0x1C, 0x71, 0x02, 0x00, 0x00, 0x01, 0x00, 0x0A},
         {"FS q 7", "LF 1"}},
        {"GS * area", {0x1D, 0x2A, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, {"GS * 12"}},
        {"ESC D to NUL", {0x1B, 0x44, 0x08, 0x10, 0x00, 0x0A}, {"ESC D (tab stops) 5", "LF 1"}},
        {"not understood", {0x07, 0x1B, 0x7F, 0x1D, 0x01}, {"? 1", "? 2", "? 2"}},
        {"ESC alone", {0x1B}, {"cut short "}},
        {"GS ( without L or count", {0x1D, 0x28}, {"cut short GS ("}},
        {"GS ( L count cut short", {0x1D, 0x28, 0x4C, 0x05}, {"cut short GS ( L"}},
        {"FS q definition to come",
         {0x1C, 0x71, 0x02, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0x01},
         {"cut short FS q"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split(c.stream), c.pieces) << c.what;
    }
}

// A job says how many bytes it did not understand and where the first were.
TEST(EscPosCommands, AJobCountsWhatItDidNotUnderstand) {
    Bytes job = {0x1B, 0x40, 0x07, 'A', 0x1B, 0x7F, 0x1D, 0x28, 0x4C, 0x02, 0x00, 0x31, 0x45};
    for (int i = 0; i < 10; ++i) {
        job.push_back(0x01);
    }
    NvMemory memory;
    const JobOutcome outcome = RunJob({}, memory, job, "2024-03-01");
    EXPECT_EQ(outcome.notUnderstood.pieces, 13u);
    EXPECT_EQ(outcome.notUnderstood.bytes, 1u + 2u + 7u + 10u);
    EXPECT_EQ(std::vector<size_t>(outcome.notUnderstood.First().begin(),
                                  outcome.notUnderstood.First().end()),
              (std::vector<size_t>{2, 4, 6, 13, 14, 15, 16, 17}));
    NvMemory clean;
    EXPECT_EQ(RunJob({}, clean, Bytes{0x1B, 0x40, 'A', 0x0A}, "2024-03-01").notUnderstood.pieces,
              0u);
}

} // namespace
} // namespace tessaline
