// SPDX-License-Identifier: MIT
#include "platform/DriverDataStore.h"

#include "platform/AtomicFile.h"
#include "platform/FileIo.h"

#include <charconv>
#include <string>
#include <vector>

namespace tessaline {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTypeSuffix = ".type";
// Driver data values are small records; anything larger is not one of ours.
constexpr size_t kMaxValueBytes = size_t{1} << 20;

// A value name becomes a file name, so it must stay one plain name inside the
// folder and must not be mistaken for another value's type file or for a
// temporary file (those begin with a dot).
bool GoodValueName(std::string_view name) {
    if (name.empty() || name.size() > 200 || name.front() == '.') {
        return false;
    }
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
        return false;
    }
    return !(name.size() >= kTypeSuffix.size() &&
             name.substr(name.size() - kTypeSuffix.size()) == kTypeSuffix);
}

// A regular file's bytes; nothing for anything else, which never blocks the
// reader the way a pipe planted under a value's name would.
std::optional<std::string> ReadValueFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return std::nullopt;
    }
    Result<std::string> read = ReadWholeFile(path, kMaxValueBytes);
    return read ? std::optional(std::move(read).Value()) : std::nullopt;
}

std::optional<uint32_t> ParseType(std::string_view s) {
    if (!s.empty() && s.back() == '\n') {
        s.remove_suffix(1);
    }
    uint32_t type = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), type);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return type;
}

fs::path TypePath(const fs::path& folder, std::string_view valueName) {
    std::string name(valueName);
    name.append(kTypeSuffix);
    return folder / name;
}

} // namespace

DriverDataStore::DriverDataStore(std::filesystem::path folder) : m_folder(std::move(folder)) {}

bool DriverDataStore::Writable() const {
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec || !fs::is_directory(m_folder, ec)) {
        return false;
    }
    // Only writing a file answers for rights, read-only media and the rest;
    // the probe is never committed, so it leaves nothing behind.
    return StagedFile::Write(m_folder / "probe", {}).Ok();
}

std::optional<DriverValue> DriverDataStore::Get(std::string_view valueName) const {
    if (!GoodValueName(valueName)) {
        return std::nullopt;
    }
    const auto typeText = ReadValueFile(TypePath(m_folder, valueName));
    if (!typeText) {
        return std::nullopt;
    }
    const auto type = ParseType(*typeText);
    const auto bytes = ReadValueFile(m_folder / std::string(valueName));
    if (!type || !bytes) {
        return std::nullopt;
    }
    return DriverValue{*type, std::vector<uint8_t>(bytes->begin(), bytes->end())};
}

bool DriverDataStore::Set(std::string_view valueName, uint32_t type,
                          std::span<const uint8_t> bytes) const {
    if (!GoodValueName(valueName) || bytes.size() > kMaxValueBytes) {
        return false;
    }
    // The type goes first: a value whose bytes were never stored is not
    // readable yet, and a stale type beside new bytes is the smaller harm.
    return ReplaceFileAtomically(TypePath(m_folder, valueName), std::to_string(type) + "\n") &&
           ReplaceFileAtomically(m_folder / std::string(valueName), bytes);
}

} // namespace tessaline
