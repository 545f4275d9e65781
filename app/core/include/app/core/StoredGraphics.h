// SPDX-License-Identifier: MIT
// What Tessaline stored in each printer's NV graphics memory: the dots of
// every graphic it stored, by printer and key, so that the key list can show
// a thumbnail and a size. A printer tells only its keys.
#pragma once

#include "base/Result.h"
#include "printer/NvGraphics.h"

#include <optional>
#include <string>

namespace tessaline {

class StoredGraphics {
public:
    // Keeps its pictures in `folder` (the user's settings folder's "graphics").
    explicit StoredGraphics(std::string folder);

    // Keeps the dots stored on `printer` under `key`, replacing what was there.
    Result<void> Remember(const std::string& printer, GraphicKey key,
                          const RasterGraphic& graphic) const;
    // The dots stored there, when Tessaline stored them and the record reads.
    std::optional<RasterGraphic> Recall(const std::string& printer, GraphicKey key) const;
    // Forgets one graphic, or all of the printer's when `key` is empty.
    void Forget(const std::string& printer, std::optional<GraphicKey> key) const;

private:
    std::string PrinterFolder(const std::string& printer) const;
    std::string FileOf(const std::string& printer, GraphicKey key) const;

    std::string m_folder;
};

} // namespace tessaline
