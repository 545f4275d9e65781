// SPDX-License-Identifier: MIT
#include "NvMemoryFolder.h"

#include "NvStateFile.h"
#include "SystemError.h"
#include "escpos/Png.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace tessaline {

namespace fs = std::filesystem;

namespace {

constexpr const char* kStateName = "state.bin";
constexpr std::string_view kAsidePrefix = "state.bin.damaged-";
constexpr size_t kMaxImages = 255;
constexpr const char* kGraphicsFolder = "graphics";

std::string LocalDay(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    return day;
}

// Where a picture waits while its replacement goes in, so a failure can put it back.
fs::path Previous(const fs::path& picture) {
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict) about "." + string.
    std::string name = ".";
    name += picture.filename().string();
    name += ".previous";
    return picture.parent_path() / name;
}

} // namespace

std::string NvPictureName(size_t image) {
    char name[16];
    std::snprintf(name, sizeof name, "%03zu.png", image);
    return name;
}

NvMemoryFolder::NvMemoryFolder(fs::path folder) : m_folder(std::move(folder)) {}

NvMemoryRead NvMemoryFolder::Load(std::string_view today, uint32_t writesPerDay) const {
    NvMemoryRead read;
    const fs::path path = m_folder / kStateName;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        return read; // nothing stored yet
    }
    const Result<std::string> bytes = ReadWholeFile(path);
    std::string why = bytes.Reason();
    if (bytes) {
        const Result<void> decoded = DecodeNvMemory(AsBytes(bytes.Value()), read.memory);
        if (decoded) {
            return read;
        }
        why = decoded.Reason();
    }
    read.damage = why;
    if (bytes && DecodeNvWrites(AsBytes(bytes.Value()), read.memory)) {
        return read;
    }
    // Every NV write rewrites the file, so one last changed before today saw
    // no write today; one changed today may have seen any number.
    if (LocalDay(info.st_mtime) == today) {
        read.memory.writesDay = std::string(today);
        read.memory.writesThatDay = writesPerDay;
        read.damage +=
            "; today's NV writes are unknown, counted as " + std::to_string(writesPerDay);
    }
    return read;
}

std::string NvMemoryFolder::AsideName(std::string_view today) const {
    const std::string base = std::string(kAsidePrefix) + std::string(today);
    std::string name = base;
    std::error_code ec;
    for (int n = 2; fs::symlink_status(m_folder / name, ec).type() != fs::file_type::not_found;
         ++n) {
        name = base + "-" + std::to_string(n);
    }
    return name;
}

std::vector<std::string> NvMemoryFolder::KeptAside() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(kAsidePrefix)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// Writes one picture beside its target and adds it to `staged`.
Result<void> StagePicture(const fs::path& target, const MonoPicture& dots,
                          NvMemoryFolder::Staged& staged) {
    const std::vector<uint8_t> png = EncodePng(dots);
    if (png.empty()) {
        return Result<void>::Fail("cannot encode " + target.string());
    }
    Result<StagedFile> picture = StagedFile::Write(target, png);
    if (!picture) {
        return Result<void>::FailAs(picture);
    }
    staged.pictures.push_back(std::move(picture).Value());
    return {};
}

} // namespace

Result<NvMemoryFolder::Staged> NvMemoryFolder::Stage(const NvMemory& memory) const {
    using R = Result<Staged>;
    Staged staged;
    for (size_t k = 0; k < memory.images.size(); ++k) {
        if (auto done = StagePicture(m_folder / NvPictureName(k + 1),
                                     NvImagePicture(memory.images[k]), staged);
            !done) {
            return R::FailAs(done);
        }
    }
    if (!memory.graphics.empty()) {
        std::error_code ec;
        fs::create_directories(m_folder / kGraphicsFolder, ec);
        if (ec) {
            return R::Fail("cannot make " + (m_folder / kGraphicsFolder).string() + ": " +
                           ec.message());
        }
    }
    for (const NvGraphic& graphic : memory.graphics) {
        if (auto done = StagePicture(m_folder / kGraphicsFolder / NvGraphicPictureName(graphic.key),
                                     NvGraphicPicture(graphic), staged);
            !done) {
            return R::FailAs(done);
        }
    }
    Result<StagedFile> state = StagedFile::Write(m_folder / kStateName, EncodeNvMemory(memory));
    if (!state) {
        return R::FailAs(state);
    }
    staged.state.emplace(std::move(state).Value());
    return staged;
}

Result<void> NvMemoryFolder::Commit(Staged staged, const std::string& aside) const {
    const fs::path state = m_folder / kStateName;
    if (!aside.empty() && ::link(state.c_str(), (m_folder / aside).c_str()) != 0) {
        return Result<void>::Fail(
            SystemError("cannot keep the damaged " + state.string() + " as " + aside));
    }
    struct Replaced {
        fs::path picture;
        bool hadOne;
    };
    std::vector<Replaced> replaced;
    Result<void> status;
    for (StagedFile& picture : staged.pictures) {
        const fs::path previous = Previous(picture.Target());
        ::unlink(previous.c_str());
        const bool hadOne = ::link(picture.Target().c_str(), previous.c_str()) == 0;
        if (!hadOne && errno != ENOENT) {
            status = Result<void>::Fail(SystemError("cannot keep " + picture.Target().string()));
            break;
        }
        status = picture.Commit();
        if (!status) {
            ::unlink(previous.c_str());
            break;
        }
        replaced.push_back({picture.Target(), hadOne});
    }
    if (status) {
        status = staged.state->Commit();
    }
    for (const Replaced& r : replaced) {
        const fs::path previous = Previous(r.picture);
        if (status) {
            ::unlink(previous.c_str());
        } else if (r.hadOne) {
            ::rename(previous.c_str(), r.picture.c_str());
        } else {
            ::unlink(r.picture.c_str());
        }
    }
    if (!status) {
        if (!aside.empty()) {
            ::unlink((m_folder / aside).c_str());
        }
        return status;
    }
    std::error_code ec;
    size_t images = 0;
    std::vector<fs::path> graphics;
    for (const StagedFile& picture : staged.pictures) {
        if (picture.Target().parent_path().filename() == kGraphicsFolder) {
            graphics.push_back(picture.Target());
        } else {
            ++images;
        }
    }
    for (size_t k = images + 1; k <= kMaxImages; ++k) {
        fs::remove(m_folder / NvPictureName(k), ec);
    }
    // Pictures of graphics no longer held go; nothing else in that folder is ours.
    for (fs::directory_iterator it(m_folder / kGraphicsFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().extension() == ".png" &&
            std::find(graphics.begin(), graphics.end(), it->path()) == graphics.end()) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
    return {};
}

std::string NvGraphicPictureName(std::string_view key) {
    // Letters, digits, "-" and "_" stand as they are; other bytes (blanks,
    // "/", "." ...) are written %XX so every key names one file.
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '_') {
            name += c;
        } else {
            name += '%';
            name += kHex[byte >> 4];
            name += kHex[byte & 15];
        }
    }
    return name + ".png";
}

} // namespace tessaline
