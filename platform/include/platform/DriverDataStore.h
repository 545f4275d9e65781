// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

namespace tessaline {

// Driver data kept in a folder of its own: one file per value holding its
// bytes, and "<value name>.type" beside it holding the type in decimal.
// Used by backends whose spooler keeps no binary values for a queue.
class DriverDataStore {
public:
    explicit DriverDataStore(std::filesystem::path folder);

    // True when the folder exists (or can be made) and a file can be written in it.
    bool Writable() const;
    // The stored value; nothing when it was never written or cannot be read.
    std::optional<DriverValue> Get(std::string_view valueName) const;
    // Replaces the value atomically. False on a bad name or a failed write.
    bool Set(std::string_view valueName, uint32_t type, std::span<const uint8_t> bytes) const;

    const std::filesystem::path& Folder() const { return m_folder; }

private:
    std::filesystem::path m_folder;
};

} // namespace tessaline
