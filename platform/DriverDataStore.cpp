#include "platform/DriverDataStore.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
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

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    // Closes now, reporting whether the kernel accepted the last writes.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::optional<std::vector<uint8_t>> ReadWholeFile(const fs::path& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) > kMaxValueBytes) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > kMaxValueBytes) {
            return std::nullopt;
        }
    }
    return bytes;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
}

// Writes a temporary file beside `target` and renames it over `target`, so a
// reader sees either the old or the new contents, never a mixture.
bool ReplaceFile(const fs::path& target, std::span<const uint8_t> bytes) {
    std::string temp = target.parent_path().string();
    temp.append("/.").append(target.filename().string()).append(".XXXXXX");
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        return false;
    }
    const bool ok = WriteAll(fd.Get(), bytes) && ::fsync(fd.Get()) == 0 && fd.Close() &&
                    ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
    }
    return ok;
}

std::optional<uint32_t> ParseType(const std::vector<uint8_t>& text) {
    std::string_view s(reinterpret_cast<const char*>(text.data()), text.size());
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
    std::string probe = (m_folder / ".probe.XXXXXX");
    Fd fd(::mkostemp(probe.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        return false;
    }
    ::unlink(probe.c_str());
    return true;
}

std::optional<DriverValue> DriverDataStore::Get(std::string_view valueName) const {
    if (!GoodValueName(valueName)) {
        return std::nullopt;
    }
    const auto typeText = ReadWholeFile(TypePath(m_folder, valueName));
    if (!typeText) {
        return std::nullopt;
    }
    const auto type = ParseType(*typeText);
    auto bytes = ReadWholeFile(m_folder / std::string(valueName));
    if (!type || !bytes) {
        return std::nullopt;
    }
    return DriverValue{*type, std::move(*bytes)};
}

bool DriverDataStore::Set(std::string_view valueName, uint32_t type,
                          std::span<const uint8_t> bytes) const {
    if (!GoodValueName(valueName) || bytes.size() > kMaxValueBytes) {
        return false;
    }
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (ec) {
        return false;
    }
    std::string typeText = std::to_string(type);
    typeText.push_back('\n');
    const auto typeBytes =
        std::span(reinterpret_cast<const uint8_t*>(typeText.data()), typeText.size());
    // The type goes first: a value whose bytes were never stored is not
    // readable yet, and a stale type beside new bytes is the smaller harm.
    return ReplaceFile(TypePath(m_folder, valueName), typeBytes) &&
           ReplaceFile(m_folder / std::string(valueName), bytes);
}

std::filesystem::path TessalineDataHome() {
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        return fs::path(xdg) / "tessaline";
    }
    fs::path home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] != '\0') {
        home = env;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    return home / ".local" / "share" / "tessaline";
}

} // namespace tessaline
