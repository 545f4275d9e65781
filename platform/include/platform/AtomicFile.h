// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace tessaline {

// The seam through which a file is written, so tests can fail the write or
// stop the process half-way: `beforeBlock` runs before each block of at most
// 4096 bytes goes out, and an error it returns fails the write with that
// error's words.
struct FileWriteHooks {
    std::function<std::error_code(size_t blockBytes)> beforeBlock;
};

// A file written in full, and on the disk, under a temporary name in its
// target's folder (made when missing). It takes the target's name on Commit;
// until then nobody sees it, and it is deleted if never committed. A new file
// is readable by everyone and writable by its owner; one that replaces
// another keeps that one's permissions.
class StagedFile {
public:
    // Fails with "cannot write <target>: <reason>" (or that the folder cannot
    // be made), leaving nothing behind.
    static Result<StagedFile> Write(std::filesystem::path target, std::span<const uint8_t> bytes,
                                    const FileWriteHooks* hooks = nullptr);
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Renames the file over its target. Fails when the rename does, and the
    // file is then still staged.
    Result<void> Commit();
    const std::filesystem::path& Target() const { return m_target; }

private:
    StagedFile(std::filesystem::path target, std::filesystem::path temp)
        : m_target(std::move(target)), m_temp(std::move(temp)) {}
    // Deletes the temporary file, if any.
    void Discard() noexcept;

    std::filesystem::path m_target;
    std::filesystem::path m_temp; // empty once committed
};

// Replaces the file at `path` so that it holds the old bytes or the new,
// never a part: a StagedFile committed at once.
Result<void> ReplaceFileAtomically(const std::filesystem::path& path,
                                   std::span<const uint8_t> bytes,
                                   const FileWriteHooks* hooks = nullptr);
Result<void> ReplaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                                   const FileWriteHooks* hooks = nullptr);

// ReplaceFileAtomically as one plain function of a path and bytes, for code
// handed a writer instead of using the platform itself (imaging's preview
// pictures).
Result<void> ReplaceWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// Text as the bytes it is made of.
inline std::span<const uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace tessaline
