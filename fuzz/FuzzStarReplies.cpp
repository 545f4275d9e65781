// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes, as a Star printer could send them, to the readers of
// its replies (automatic status, version text, NV graphics transmit), split
// where the first byte says: a reply found must be well formed, and no reader
// may drop more than it was given.
#include "printer/StarPrntGraphics.h"
#include "printer/StarStatus.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

template <typename Reader>
auto FeedSplit(Reader& reader, std::span<const uint8_t> bytes, size_t split) {
    reader.Feed(bytes.first(std::min(split, bytes.size())));
    auto reply = reader.Reply();
    if (!reply) {
        reader.Feed(bytes.subspan(std::min(split, bytes.size())));
        reply = reader.Reply();
    }
    if (reader.Dropped() > bytes.size()) {
        std::abort();
    }
    return reply;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t split = data[0] % size;
    const std::span<const uint8_t> bytes(data + 1, size - 1);

    tessaline::StarStatusReader status;
    if (const auto reply = FeedSplit(status, bytes, split)) {
        const auto length = tessaline::StarStatusLength(reply->bytes.at(0));
        if (!length || *length != reply->bytes.size()) {
            std::abort();
        }
    }
    tessaline::StarVersionReader version;
    if (const auto reply = FeedSplit(version, bytes, split)) {
        if (reply->size() > tessaline::kMaxStarVersionText) {
            std::abort();
        }
    }
    tessaline::StarGraphicReader graphics;
    if (const auto reply = FeedSplit(graphics, bytes, split)) {
        if (reply->keys.size() > tessaline::kMaxStarGraphicKeys) {
            std::abort();
        }
        if (reply->graphic &&
            reply->graphic->rows.size() != tessaline::GraphicRowBytes(reply->graphic->width) *
                                               static_cast<size_t>(reply->graphic->height)) {
            std::abort();
        }
    }
    return 0;
}
