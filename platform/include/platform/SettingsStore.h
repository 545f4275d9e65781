// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileText.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

// The longest value the settings store reads or writes, in the program's
// encoding: a longer one is refused with a reason, never cut.
inline constexpr size_t kMaxSettingsValueBytes = size_t{1} << 20;

// The program's settings files: profile (INI) text that the program reads
// and writes in its own encoding (UTF-8), kept on disk as the system's
// profile functions keep it. Here that is UTF-8 with LF line ends; on
// Windows it is the ANSI code page with CR LF, through the private profile
// functions, and a value the code page cannot hold is refused rather than
// saved as another path. Paths are UTF-8; every change replaces the file
// atomically.
class SettingsStore {
public:
    // The line end the store writes: "\n" here, "\r\n" on Windows.
    static const char* LineEnd();

    // Every later write goes through `hooks` (tests fail writes with them).
    void UseWriteHooks(FileWriteHooks hooks) { m_hooks = std::move(hooks); }

    // The key's value in `section`; empty when the file, the section or the
    // key is missing. Fails with the reason when the file cannot be read or
    // the value is longer than kMaxSettingsValueBytes.
    Result<std::string> ReadKey(const std::string& file, const std::string& section,
                                const std::string& key) const;
    // Sets one key, creating the file (and its folder) or the section when needed.
    Result<void> WriteKey(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) const;
    // The whole file as text in the program's encoding; nothing when there is
    // no file. Bytes the system's encoding does not know come back as U+FFFD.
    Result<std::optional<std::string>> ReadText(const std::string& file) const;
    // Replaces the whole file with one section holding `entries`.
    Result<void> Replace(const std::string& file, const std::string& section,
                         const ProfileEntries& entries) const;
    // Replaces `copy` with the file's bytes as they stand.
    Result<void> Copy(const std::string& file, const std::string& copy) const;
    // Deletes the file; one that is not there counts as deleted.
    Result<void> Remove(const std::string& file) const;

private:
    const FileWriteHooks* Hooks() const { return m_hooks.beforeBlock ? &m_hooks : nullptr; }

    FileWriteHooks m_hooks;
};

// Why `value` cannot be stored under `key` in `file` (longer than
// kMaxSettingsValueBytes, or holding a line break or a NUL, which would end
// it early); empty when it can.
std::string SettingsValueRefusal(std::string_view file, std::string_view key,
                                 std::string_view value);

} // namespace tessaline
