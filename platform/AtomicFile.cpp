// SPDX-License-Identifier: MIT
#include "platform/AtomicFile.h"

#include <utility>

namespace tessaline {

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_temp(std::exchange(other.m_temp, {})) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Discard();
        m_target = std::move(other.m_target);
        m_temp = std::exchange(other.m_temp, {});
    }
    return *this;
}

StagedFile::~StagedFile() {
    Discard();
}

Result<void> ReplaceFileAtomically(const std::filesystem::path& path,
                                   std::span<const uint8_t> bytes, const FileWriteHooks* hooks) {
    Result<StagedFile> staged = StagedFile::Write(path, bytes, hooks);
    if (!staged) {
        return Result<void>::FailAs(staged);
    }
    return staged.Value().Commit();
}

Result<void> ReplaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                                   const FileWriteHooks* hooks) {
    return ReplaceFileAtomically(path, AsBytes(text), hooks);
}

Result<void> ReplaceWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
    return ReplaceFileAtomically(std::filesystem::path(path), bytes);
}

} // namespace tessaline
