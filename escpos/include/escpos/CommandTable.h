// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tessaline {

// A printer language as a table of its commands: the bytes that name each,
// how far it reaches, and its name. A stream is split into pieces once, by
// the table; the interpreter, the renderer it draws with and the responder
// that answers questions all work from those pieces, so they never disagree
// about where a command ends and its data begins. Each language is a table
// of its own (EscPosCommands() is ESC/POS); a job names the language it is
// read in.

// How far a command reaches, read from its first bytes.
enum class Reach : uint8_t {
    Fixed,    // `size` bytes in all
    Count16,  // `size` bytes, then as many more as the 16-bit count (low byte first) at `at`
    Count32,  // the same with a 32-bit count
    Area16,   // `size` bytes, then (16-bit at `at`) × (16-bit at `at` + 2) × `unit` bytes
    Area8,    // `size` bytes, then byte `at` × byte `at` + 1 × `unit` bytes
    UpToNul,  // from byte `size` on up to and with the first NUL
    Measured, // the command's own `measure` decides
};

// The length a measure gives when the bytes that tell it have not all come
// yet, and when nothing in the command tells it: it takes the rest of the stream.
inline constexpr uint64_t kNeedMore = UINT64_MAX;
inline constexpr uint64_t kRestOfStream = UINT64_MAX - 1;

struct CommandSpec {
    uint8_t bytes[3]; // the bytes that name it
    uint8_t named;    // how many of them: 1 to 3
    Reach reach;
    uint8_t size;     // see Reach
    uint8_t at = 0;   // where its count starts
    uint8_t unit = 1; // bytes a counted unit
    uint16_t id = 0;  // what the language's interpreter does with it
    const char* name = "";
    // For Reach::Measured: the whole command's length from the bytes at its
    // start (all that has arrived), or kNeedMore, or kRestOfStream.
    uint64_t (*measure)(std::span<const uint8_t> command) = nullptr;
};

struct CommandLanguage {
    const char* name;
    std::span<const CommandSpec> commands;
    // Bytes below 0x20 other than these stand alone: a command of one byte
    // when the table has it, not understood when it does not.
    bool (*startsCommand)(uint8_t byte);
};

// One piece of a stream.
enum class PieceKind : uint8_t {
    Text,          // printable bytes, 0x20 and up, up to the next control byte
    Command,       // a command of the table
    NotUnderstood, // a control byte, with the one after it when it starts commands
    CutShort,      // a command whose length its bytes so far cannot tell yet
};

struct Piece {
    PieceKind kind = PieceKind::Text;
    const CommandSpec* command = nullptr; // for Command, and CutShort once named
    // Bytes it spans; for a command its data too, some perhaps still to come.
    // kRestOfStream: it takes everything after it.
    uint64_t length = 0;
};

// The piece of `stream` that starts at `at` (before its end).
Piece SplitAt(const CommandLanguage& language, std::span<const uint8_t> stream, size_t at);

// What a job held that its language does not know: how many bytes, and the
// offsets of the first few pieces of them.
struct NotUnderstoodBytes {
    static constexpr size_t kOffsetsKept = 8;
    uint64_t bytes = 0;
    size_t pieces = 0;
    size_t offsets[kOffsetsKept] = {};

    void Add(size_t offset, uint64_t length) {
        if (pieces < kOffsetsKept) {
            offsets[pieces] = offset;
        }
        ++pieces;
        bytes += length;
    }
    std::span<const size_t> First() const {
        return std::span<const size_t>(offsets, pieces < kOffsetsKept ? pieces : kOffsetsKept);
    }
};

} // namespace tessaline
