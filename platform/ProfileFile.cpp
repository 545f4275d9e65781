#include "platform/ProfileFile.h"

#include "platform/FileIo.h"

namespace tessaline {

std::string ReadProfileFileString(const std::string& file, const std::string& section,
                                  const std::string& key) {
    const Result<std::string> text = ReadWholeFile(file);
    if (!text) {
        return {};
    }
    return FindProfileValue(text.Value(), section, key).value_or(std::string());
}

Result<void> WriteProfileFileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& value) {
    const Result<std::optional<std::string>> old = ReadFileIfPresent(file);
    if (!old) {
        return Result<void>::Fail(old.Reason());
    }
    return ReplaceFileAtomically(file,
                                 SetProfileValue(old.Value().value_or(""), section, key, value));
}

Result<void> ReplaceProfileFileWith(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries, const FileWriteHooks* hooks) {
    return ReplaceFileAtomically(file, FormatProfile(section, entries), hooks);
}

} // namespace tessaline
