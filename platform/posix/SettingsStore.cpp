// SPDX-License-Identifier: MIT
// The settings store over POSIX: the profile text in UTF-8 with LF line
// ends, read and written whole by the shared profile parser.
#include "platform/SettingsStore.h"

#include "platform/FileIo.h"

namespace tessaline {

const char* SettingsStore::LineEnd() {
    return "\n";
}

Result<std::string> SettingsStore::ReadKey(const std::string& file, const std::string& section,
                                           const std::string& key) const {
    const Result<std::optional<std::string>> text = ReadFileIfPresent(file);
    if (!text) {
        return Result<std::string>::FailAs(text);
    }
    std::string value =
        FindProfileValue(text.Value().value_or(""), section, key).value_or(std::string());
    if (value.size() > kMaxSettingsValueBytes) {
        return Result<std::string>::Fail("cannot read " + key + " from " + file +
                                         ": its value is longer than " +
                                         std::to_string(kMaxSettingsValueBytes) + " bytes");
    }
    return value;
}

Result<void> SettingsStore::WriteKey(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) const {
    if (const std::string refusal = SettingsValueRefusal(file, key, value); !refusal.empty()) {
        return Result<void>::Fail(refusal);
    }
    const Result<std::optional<std::string>> old = ReadFileIfPresent(file);
    if (!old) {
        return Result<void>::FailAs(old);
    }
    return ReplaceFileAtomically(
        file, SetProfileValue(old.Value().value_or(""), section, key, value), Hooks());
}

Result<std::optional<std::string>> SettingsStore::ReadText(const std::string& file) const {
    return ReadFileIfPresent(file);
}

Result<void> SettingsStore::Replace(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries) const {
    for (const auto& [key, value] : entries) {
        if (const std::string refusal = SettingsValueRefusal(file, key, value); !refusal.empty()) {
            return Result<void>::Fail(refusal);
        }
    }
    return ReplaceFileAtomically(file, FormatProfile(section, entries), Hooks());
}

Result<void> SettingsStore::Copy(const std::string& file, const std::string& copy) const {
    const Result<std::string> bytes = ReadWholeFile(file);
    if (!bytes) {
        return Result<void>::FailAs(bytes);
    }
    return ReplaceFileAtomically(copy, bytes.Value(), Hooks());
}

} // namespace tessaline
