// SPDX-License-Identifier: MIT
#include "escpos/CommandTable.h"

namespace tessaline {

namespace {

uint64_t Little(std::span<const uint8_t> bytes, size_t at, size_t count) {
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        value |= uint64_t{bytes[at + i]} << (8 * i);
    }
    return value;
}

// The length of `spec` at the front of `command`, or kNeedMore.
uint64_t Measure(const CommandSpec& spec, std::span<const uint8_t> command) {
    const auto need = [&](size_t bytes) { return command.size() >= bytes; };
    switch (spec.reach) {
    case Reach::Fixed:
        return spec.size;
    case Reach::Count16:
    case Reach::Count32: {
        const size_t width = spec.reach == Reach::Count16 ? 2 : 4;
        if (!need(size_t{spec.at} + width)) {
            return kNeedMore;
        }
        return spec.size + Little(command, spec.at, width) * spec.unit;
    }
    case Reach::Area16:
        if (!need(size_t{spec.at} + 4)) {
            return kNeedMore;
        }
        return spec.size +
               Little(command, spec.at, 2) * Little(command, spec.at + 2u, 2) * spec.unit;
    case Reach::Area8:
        if (!need(size_t{spec.at} + 2)) {
            return kNeedMore;
        }
        return spec.size + uint64_t{command[spec.at]} * command[spec.at + 1u] * spec.unit;
    case Reach::UpToNul:
        for (size_t i = spec.size; i < command.size(); ++i) {
            if (command[i] == 0) {
                return i + 1;
            }
        }
        return kNeedMore;
    case Reach::Measured:
        return spec.measure(command);
    }
    return kNeedMore;
}

bool Names(const CommandSpec& spec, std::span<const uint8_t> rest) {
    if (rest.size() < spec.named) {
        return false;
    }
    for (size_t i = 0; i < spec.named; ++i) {
        if (rest[i] != spec.bytes[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

Piece SplitAt(const CommandLanguage& language, std::span<const uint8_t> stream, size_t at) {
    const std::span<const uint8_t> rest = stream.subspan(at);
    if (rest[0] >= 0x20) {
        size_t end = 1;
        while (end < rest.size() && rest[end] >= 0x20) {
            ++end;
        }
        return Piece{PieceKind::Text, nullptr, end};
    }
    // The longest name wins: GS ( L before GS (.
    const CommandSpec* best = nullptr;
    bool mayBeLonger = false;
    for (const CommandSpec& spec : language.commands) {
        if (Names(spec, rest)) {
            if (best == nullptr || spec.named > best->named) {
                best = &spec;
            }
        } else if (rest.size() < spec.named && spec.bytes[0] == rest[0]) {
            // Too few bytes to tell whether this one is meant.
            bool prefix = true;
            for (size_t i = 1; i < rest.size(); ++i) {
                prefix = prefix && rest[i] == spec.bytes[i];
            }
            mayBeLonger = mayBeLonger || prefix;
        }
    }
    if (mayBeLonger && (best == nullptr || best->named < 3)) {
        // A longer name may still come; until it does, the length is open.
        // The shorter command that matched is named, so a job that ends here
        // reports it cut short.
        if (best == nullptr || best->reach != Reach::Fixed || best->size > rest.size()) {
            return Piece{PieceKind::CutShort, best, 0};
        }
    }
    if (best == nullptr) {
        const bool starts = language.startsCommand(rest[0]);
        if (starts && rest.size() < 2) {
            return Piece{PieceKind::CutShort, nullptr, 0};
        }
        return Piece{PieceKind::NotUnderstood, nullptr, starts ? 2u : 1u};
    }
    const uint64_t length = Measure(*best, rest);
    if (length == kNeedMore) {
        return Piece{PieceKind::CutShort, best, 0};
    }
    return Piece{PieceKind::Command, best, length};
}

} // namespace tessaline
