// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "escpos/EscPosEmulator.h"
#include "platform/AtomicFile.h"
#include "platform/virtual/VirtualPrinterFolder.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// A printer's NV memory on disk: nv/state.bin, which every job starts from,
// nv/NNN.png, a picture of each stored image, and nv/graphics/KEY.png, one of
// each stored graphic. Used under the printer's lock.
class NvMemoryFolder {
public:
    // The new memory's files, written in full beside the old ones, not yet in place.
    struct Staged {
        std::vector<StagedFile> pictures;
        std::optional<StagedFile> state;
    };

    explicit NvMemoryFolder(std::filesystem::path folder);

    // The stored memory. A damaged file reads as no images; its count of NV
    // writes is kept from the file's head where that survives, and is never
    // taken as lower than it may have been: when the file changed `today` and
    // its head is lost, today's count is taken as the daily limit, `writesPerDay`.
    NvMemoryRead Load(std::string_view today, uint32_t writesPerDay) const;
    // The name a damaged state.bin is kept under when replaced `today`:
    // "state.bin.damaged-YYYY-MM-DD", with "-2", "-3", ... when taken.
    std::string AsideName(std::string_view today) const;
    // The names of the damaged files kept aside, in name order.
    std::vector<std::string> KeptAside() const;

    // Writes the files of `memory`; nothing changes yet.
    Result<Staged> Stage(const NvMemory& memory) const;
    // Makes the staged memory the stored one: a damaged state.bin is first
    // kept as `aside` (when not empty), then the pictures are replaced and
    // state.bin last; pictures of images no longer held go. On failure the
    // folder is left as it was.
    Result<void> Commit(Staged staged, const std::string& aside) const;

private:
    std::filesystem::path m_folder;
};

// "007.png", the picture of NV image 7.
std::string NvPictureName(size_t image);
// "A1.png", the picture of the NV graphic under key "A1" (in nv/graphics/).
std::string NvGraphicPictureName(std::string_view key);

} // namespace tessaline
