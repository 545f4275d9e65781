// SPDX-License-Identifier: MIT
#include "StarMemory.h"

#include <algorithm>
#include <cstdio>

namespace tessaline {

namespace {

std::string Format(const char* fmt, auto... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

void Refuse(const StarMemoryJob& job, size_t at, std::string text) {
    if (job.outcome.refusal.empty()) {
        job.outcome.refusal = text;
    }
    job.Log(at, std::move(text));
}

void CountNvWrite(const StarMemoryJob& job, size_t at, const std::string& command) {
    NvMemory& memory = job.memory;
    if (memory.writesDay != job.today) {
        memory.writesDay = std::string(job.today);
        memory.writesThatDay = 0;
    }
    ++memory.writesThatDay;
    if (memory.writesThatDay > job.model.nvWritesPerDay) {
        job.Log(at, Format("%s: warning: NV write %u today; more than %u a day wear out the NV "
                           "memory",
                           command.c_str(), memory.writesThatDay, job.model.nvWritesPerDay));
    }
}

bool IsKeyByte(uint8_t byte) {
    return byte >= 32 && byte <= 126;
}

std::string Quoted(uint8_t kc1, uint8_t kc2) {
    return std::string("\"") + static_cast<char>(kc1) + static_cast<char>(kc2) + "\"";
}

} // namespace

size_t StarRegisterLogos(const StarMemoryJob& job, size_t at) {
    const auto bytes = job.bytes;
    if (at + 3 >= bytes.size()) {
        Refuse(job, at, "ESC FS q: cut short by the end of the job; refused, nothing registered");
        return bytes.size();
    }
    const unsigned count = bytes[at + 3];
    const std::string command = Format("ESC FS q %u", count);
    if (count == 0) {
        Refuse(job, at, command + ": no logo to register; refused, nothing registered");
        return at + 4;
    }
    // The first parameters checked, the printer deletes every logo it had.
    const size_t removed = job.memory.images.size();
    job.memory.images.clear();
    job.outcome.memoryChanged = true;
    CountNvWrite(job, at, command);
    job.Log(at, Format("%s: register %u logo%s; the %zu registered before deleted", command.c_str(),
                       count, count == 1 ? "" : "s", removed));
    size_t p = at + 4;
    uint64_t used = 0;
    for (unsigned k = 1; k <= count; ++k) {
        const auto aborted = [&](const std::string& why) {
            Refuse(job, p,
                   Format("%s: logo %u: ", command.c_str(), k) + why +
                       Format("; registration aborted, logos 1 to %u stay registered", k - 1));
        };
        if (p + 3 >= bytes.size()) {
            aborted("size cut short by the end of the job");
            return bytes.size();
        }
        const auto x = static_cast<uint16_t>(bytes[p] | bytes[p + 1] << 8);
        const auto y = static_cast<uint16_t>(bytes[p + 2] | bytes[p + 3] << 8);
        const size_t length = size_t{x} * y * 8;
        if (x < 1 || x > kNvMaxX || y < 1 || y > kNvMaxY) {
            aborted(Format("size x=%u y=%u outside x 1 to %u, y 1 to %u", x, y, kNvMaxX, kNvMaxY));
            return std::min(bytes.size(), p + 4 + length);
        }
        if (length > bytes.size() - (p + 4)) {
            aborted(Format("%zu data bytes needed, %zu left in the job", length,
                           bytes.size() - (p + 4)));
            return bytes.size();
        }
        if (used + 4 + length > job.model.nvCapacity) {
            aborted(Format("%zu bytes do not fit, %llu of %llu bytes free", length + 4,
                           static_cast<unsigned long long>(job.model.nvCapacity - used),
                           static_cast<unsigned long long>(job.model.nvCapacity)));
            return p + 4 + length;
        }
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(p + 4);
        job.memory.images.push_back(NvImage{
            x, y, std::vector<uint8_t>(first, first + static_cast<std::ptrdiff_t>(length))});
        job.Log(p, Format("%s: logo %u %dx%d dots, %zu bytes", command.c_str(), k, x * 8, y * 8,
                          length));
        used += 4 + length;
        p += 4 + length;
    }
    // The printer initialises itself once the logos are registered.
    job.paper.modes = PrintModes{};
    job.Log(p, command + ": registered; the printer initialises itself");
    return p;
}

size_t StarPrintLogo(const StarMemoryJob& job, size_t at) {
    const auto bytes = job.bytes;
    if (at + 4 >= bytes.size()) {
        job.Log(at, "ESC FS p: cut short by the end of the job; nothing printed");
        return bytes.size();
    }
    const unsigned n = bytes[at + 3];
    const unsigned m = bytes[at + 4];
    const std::string command = Format("ESC FS p %u %u", n, m);
    if (m > 3 && (m < 48 || m > 51)) {
        job.Log(at, command + ": print mode not 0 to 3 or 48 to 51; ignored");
        return at + 5;
    }
    if (n == 0 || n > job.memory.images.size()) {
        job.Log(at, Format("%s: logo %u not registered; nothing printed", command.c_str(), n));
        return at + 5;
    }
    const int sx = (m & 1) != 0 ? 2 : 1;
    const int sy = (m & 2) != 0 ? 2 : 1;
    const NvImage& image = job.memory.images[n - 1];
    // Dots past the print area are not printed, as the printer leaves them.
    if (!job.paper.Picture(NvImagePicture(image), sx, sy)) {
        job.Log(at, command + ": out of paper; nothing printed");
        return at + 5;
    }
    job.Log(at, Format("%s: printed logo %u, %dx%d dots", command.c_str(), n, image.Width() * sx,
                       image.Height() * sy));
    return at + 5;
}

namespace {

void StoreGraphic(const StarMemoryJob& job, size_t at, const std::string& command,
                  std::span<const uint8_t> p) {
    if (p.size() < 9 || p[0] != 48 || (p[3] != 1 && p[3] != 2) || p[8] != 49) {
        job.Log(at, command + ": not a raster graphic of one or two colours; nothing stored");
        return;
    }
    const std::string what = command + " " + Quoted(p[1], p[2]);
    const auto width = static_cast<uint16_t>(p[4] | p[5] << 8);
    const auto height = static_cast<uint16_t>(p[6] | p[7] << 8);
    const size_t k = (size_t{width} + 7) / 8 * height;
    if (!IsKeyByte(p[1]) || !IsKeyByte(p[2]) || width < 1 || width > kNvGraphicMaxWidth ||
        height < 1 || height > kNvGraphicMaxHeight || p.size() - 9 < k) {
        job.Log(at, Format("%s: key, size %ux%u or %zu data bytes out of range; nothing stored",
                           what.c_str(), width, height, p.size() - 9));
        return;
    }
    const std::string key{static_cast<char>(p[1]), static_cast<char>(p[2])};
    auto& graphics = job.memory.graphics;
    auto existing = std::find_if(graphics.begin(), graphics.end(),
                                 [&key](const NvGraphic& g) { return g.key == key; });
    const uint64_t used =
        NvGraphicsBytesUsed(job.memory) - (existing != graphics.end() ? existing->rows.size() : 0);
    if (used + k > job.model.nvGraphics) {
        job.Log(at, Format("%s: %zu bytes do not fit, %llu of %llu bytes free; nothing stored",
                           what.c_str(), k,
                           static_cast<unsigned long long>(job.model.nvGraphics -
                                                           std::min(used, job.model.nvGraphics)),
                           static_cast<unsigned long long>(job.model.nvGraphics)));
        return;
    }
    NvGraphic graphic{
        key, width, height,
        std::vector<uint8_t>(p.begin() + 9, p.begin() + 9 + static_cast<std::ptrdiff_t>(k))};
    if (existing != graphics.end()) {
        *existing = std::move(graphic);
    } else {
        graphics.insert(std::find_if(graphics.begin(), graphics.end(),
                                     [&key](const NvGraphic& g) { return g.key > key; }),
                        std::move(graphic));
    }
    job.outcome.memoryChanged = true;
    CountNvWrite(job, at, command);
    job.Log(at, Format("%s: stored %ux%u dots", what.c_str(), width, height));
}

} // namespace

size_t StarGraphics(const StarMemoryJob& job, size_t at, bool transmit) {
    const auto bytes = job.bytes;
    const bool longForm = bytes[at + 2] == 0x38;
    const char* name = transmit ? "ESC GS ) L" : longForm ? "ESC GS 8 L" : "ESC GS ( L";
    const size_t countBytes = longForm ? 4 : 2;
    const size_t start = at + 4 + countBytes;
    if (start > bytes.size()) {
        job.Log(at, Format("%s: cut short by the end of the job; ignored", name));
        return bytes.size();
    }
    uint64_t count = 0;
    for (size_t i = 0; i < countBytes; ++i) {
        count |= uint64_t{bytes[at + 4 + i]} << (8 * i);
    }
    if (count > bytes.size() - start || count < 1) {
        job.Log(at, Format("%s: %llu parameter bytes announced, %zu left in the job; ignored", name,
                           static_cast<unsigned long long>(count), bytes.size() - start));
        return bytes.size();
    }
    const size_t end = start + static_cast<size_t>(count);
    if (transmit) {
        job.Log(at, Format("%s function %u: a question; answered where the connection carries "
                           "replies",
                           name, bytes[start]));
        return end;
    }
    const unsigned fn = count >= 2 ? bytes[start + 1] : 0;
    const auto p =
        bytes.subspan(start + 2, static_cast<size_t>(count) - std::min<uint64_t>(count, 2));
    const std::string command = Format("%s function %u", name, fn);
    if (count < 2 || bytes[start] != 48) {
        job.Log(at, command + ": not understood, skipped");
        return end;
    }
    auto& graphics = job.memory.graphics;
    switch (fn) {
    case 67:
        StoreGraphic(job, at, command, p);
        break;
    case 69:
    case 66: {
        if (p.size() < 2) {
            job.Log(at, command + ": no key; ignored");
            break;
        }
        const std::string key{static_cast<char>(p[0]), static_cast<char>(p[1])};
        const auto found = std::find_if(graphics.begin(), graphics.end(),
                                        [&key](const NvGraphic& g) { return g.key == key; });
        if (found == graphics.end()) {
            job.Log(at, command + " " + Quoted(p[0], p[1]) + ": not stored; ignored");
            break;
        }
        if (fn == 66) {
            graphics.erase(found);
            job.outcome.memoryChanged = true;
            CountNvWrite(job, at, command);
            job.Log(at, command + " " + Quoted(p[0], p[1]) + ": deleted");
            break;
        }
        const int sx = p.size() > 2 && p[2] == 2 ? 2 : 1;
        const int sy = p.size() > 3 && p[3] == 2 ? 2 : 1;
        if (!job.paper.Picture(NvGraphicPicture(*found), sx, sy)) {
            job.Log(at, command + ": out of paper; nothing printed");
            break;
        }
        job.Log(at, Format("%s %s: printed at %dx%d", command.c_str(), Quoted(p[0], p[1]).c_str(),
                           sx, sy));
        break;
    }
    case 65:
        job.Log(at, Format("%s: deleted all %zu NV graphics", command.c_str(), graphics.size()));
        graphics.clear();
        job.outcome.memoryChanged = true;
        CountNvWrite(job, at, command);
        break;
    default:
        job.Log(at, command + ": not understood, skipped");
        break;
    }
    return end;
}

} // namespace tessaline
