// SPDX-License-Identifier: MIT
// StagedFile over POSIX: mkstemp in the target's folder, write, fsync, rename.
#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaline {

namespace {

namespace fs = std::filesystem;

constexpr size_t kBlockBytes = 4096;

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

Result<void> WriteBlocks(int fd, std::span<const uint8_t> bytes, const FileWriteHooks* hooks) {
    while (!bytes.empty()) {
        // Whole blocks, so a hook can stop the process between two of them.
        const std::span<const uint8_t> block = bytes.first(std::min(bytes.size(), kBlockBytes));
        if (hooks != nullptr && hooks->beforeBlock) {
            if (const std::error_code error = hooks->beforeBlock(block.size())) {
                return Result<void>::Fail(error.message());
            }
        }
        const ssize_t n = ::write(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Result<void>::Fail(SystemText(n < 0 ? errno : EIO));
        }
        bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return {};
}

} // namespace

Result<StagedFile> StagedFile::Write(fs::path target, std::span<const uint8_t> bytes,
                                     const FileWriteHooks* hooks) {
    const fs::path folder = target.parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            return Result<StagedFile>::Fail("cannot create the folder " + folder.string() + ": " +
                                            ec.message());
        }
    }
    auto fail = [&target](int error) {
        return Result<StagedFile>::Fail("cannot write " + target.string() + ": " +
                                        SystemText(error));
    };
    // Hidden, so that nobody listing the folder takes it for one of its files.
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict) about "." + string.
    std::string hiddenName = ".";
    hiddenName += target.filename().string();
    hiddenName += ".XXXXXX";
    std::string temp = (folder / hiddenName).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return fail(errno);
    }
    StagedFile staged(std::move(target), temp);
    // The permissions of the file replaced, not of what a link there points at.
    struct stat old {};
    const mode_t mode = ::lstat(staged.m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? old.st_mode & 07777
                            : 0644;
    Result<void> written = WriteBlocks(fd, bytes, hooks);
    if (written && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)) {
        written = Result<void>::Fail(SystemText(errno));
    }
    if (::close(fd) != 0 && written) {
        written = Result<void>::Fail(SystemText(errno));
    }
    if (!written) {
        return Result<StagedFile>::Fail("cannot write " + staged.m_target.string() + ": " +
                                        written.Reason());
    }
    return staged;
}

Result<void> StagedFile::Commit() {
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        return Result<void>::Fail("cannot write " + m_target.string() + ": " + SystemText(errno));
    }
    m_temp.clear();
    return {};
}

void StagedFile::Discard() noexcept {
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

} // namespace tessaline
