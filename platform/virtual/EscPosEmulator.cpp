// SPDX-License-Identifier: MIT
#include "platform/virtual/EscPosEmulator.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tessaline {

namespace {

std::string Format(const char* fmt, auto... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

const char* SizeName(int mode) {
    static const char* const names[] = {"normal size", "double width", "double height",
                                        "double width and height"};
    return names[mode];
}

struct Definition {
    size_t offset;
    uint16_t x;
    uint16_t y;
    size_t length; // raster bytes
};

class Interpreter {
public:
    Interpreter(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                std::string_view today)
        : m_model(model), m_memory(memory), m_job(job), m_today(today),
          m_piece(MonoPicture::Blank(model.paperWidth, 0)) {}

    JobOutcome Run() {
        size_t at = 0;
        while (at < m_job.size()) {
            at = Step(at);
        }
        if (m_piece.height > 0) {
            Log(m_job.size(), Format("end of job: piece %zu left uncut, %d dots long",
                                     m_outcome.paper.size() + 1, m_piece.height));
            m_outcome.paper.push_back(std::move(m_piece));
        }
        return std::move(m_outcome);
    }

private:
    uint8_t At(size_t i) const { return m_job[i]; }
    bool Has(size_t i) const { return i < m_job.size(); }
    void Log(size_t offset, std::string text) {
        m_outcome.log.push_back(LogEntry{offset, std::move(text)});
    }
    // A definition the printer will not store fails the job; the first one says why.
    void Refuse(size_t offset, std::string text) {
        if (m_outcome.refusal.empty()) {
            m_outcome.refusal = text;
        }
        Log(offset, std::move(text));
    }

    bool StartsCommand(size_t at) const {
        if (!Has(at + 1)) {
            return false;
        }
        const uint8_t a = At(at);
        const uint8_t b = At(at + 1);
        return (a == 0x1B && b == 0x40) || (a == 0x1C && (b == 0x71 || b == 0x70 || b == 0x65)) ||
               (a == 0x1D && (b == 0x56 || b == 0x49 || b == 0x28)) || (a == 0x10 && b == 0x04) ||
               StartsGraphics(at);
    }

    // GS ( L or GS 8 L: the graphics commands, which carry their own length.
    bool StartsGraphics(size_t at) const {
        return Has(at + 2) && At(at) == 0x1D && (At(at + 1) == 0x28 || At(at + 1) == 0x38) &&
               At(at + 2) == 0x4C;
    }

    // Runs the command at `at` and returns where the next one starts.
    size_t Step(size_t at) {
        if (!StartsCommand(at)) {
            return NotUnderstood(at);
        }
        if (StartsGraphics(at)) {
            return Graphics(at);
        }
        switch (At(at) << 8 | At(at + 1)) {
        case 0x1B40:
            Log(at, "ESC @: initialise");
            return at + 2;
        case 0x1C71:
            return DefineImages(at);
        case 0x1C70:
            return PrintImage(at);
        case 0x1C65:
            Erase(at);
            return at + 2;
        case 0x1004:
        case 0x1D49:
            return Question(at);
        case 0x1D28:
            return Extended(at);
        default:
            return Cut(at);
        }
    }

    // DLE EOT n and GS I n ask the printer about itself; the answer goes back
    // on the connection the job came by, and the job itself is not changed.
    size_t Question(size_t at) {
        const bool status = At(at) == 0x10;
        if (!Has(at + 2)) {
            Log(at, std::string(status ? "DLE EOT" : "GS I") + ": cut short by the end of the job");
            return m_job.size();
        }
        Log(at, Format(status ? "DLE EOT %u: status asked" : "GS I %u: identification asked",
                       static_cast<unsigned>(At(at + 2))));
        return at + 3;
    }

    // GS ( fn pL pH and pL + 256 pH bytes other than GS ( L: not modelled
    // here, skipped whole.
    size_t Extended(size_t at) {
        if (!Has(at + 4)) {
            Log(at, "GS (: cut short by the end of the job");
            return m_job.size();
        }
        const size_t length = size_t{At(at + 3)} | size_t{At(at + 4)} << 8;
        const unsigned fn = At(at + 2);
        Log(at, Format("GS ( %c: %zu bytes not modelled, skipped",
                       fn >= 0x20 && fn < 0x7F ? static_cast<char>(fn) : '?', length));
        return std::min(at + 5 + length, m_job.size());
    }

    // A run of bytes that start no command is logged once and skipped.
    size_t NotUnderstood(size_t at) {
        size_t end = at + 1;
        while (Has(end) && !StartsCommand(end)) {
            ++end;
        }
        std::string text =
            Format("%zu byte%s not understood, skipped:", end - at, end - at == 1 ? "" : "s");
        const size_t shown = std::min<size_t>(end - at, 16);
        for (size_t i = at; i < at + shown; ++i) {
            text += Format(" %02X", At(i));
        }
        if (shown < end - at) {
            text += " ...";
        }
        Log(at, std::move(text));
        return end;
    }

    void CountNvWrite(size_t at, const std::string& command) {
        if (m_memory.writesDay != m_today) {
            m_memory.writesDay = std::string(m_today);
            m_memory.writesThatDay = 0;
        }
        ++m_memory.writesThatDay;
        if (m_memory.writesThatDay > kNvWritesPerDay) {
            Log(at, Format("%s: warning: NV write %u today; more than %u a day wear out the "
                           "NV memory",
                           command.c_str(), m_memory.writesThatDay, kNvWritesPerDay));
        }
    }

    // FS q n: the whole command is checked before the memory is touched, so a
    // refused definition leaves the images stored earlier in place. Its
    // declared bytes are skipped rather than read as commands.
    size_t DefineImages(size_t at) {
        if (!Has(at + 2)) {
            Refuse(at, "FS q: cut short by the end of the job; refused, nothing stored");
            return m_job.size();
        }
        const unsigned count = At(at + 2);
        const std::string command = Format("FS q %u", count);
        if (count == 0) {
            Refuse(at, command + ": no image to define; refused, nothing stored");
            return at + 3;
        }
        std::vector<Definition> definitions;
        size_t p = at + 3;
        uint64_t total = 0;
        for (unsigned k = 1; k <= count; ++k) {
            if (!Has(p + 3)) {
                Refuse(p, Format("%s: image %u: size cut short by the end of the job; refused, "
                                 "nothing stored",
                                 command.c_str(), k));
                return m_job.size();
            }
            const auto x = static_cast<uint16_t>(At(p) | At(p + 1) << 8);
            const auto y = static_cast<uint16_t>(At(p + 2) | At(p + 3) << 8);
            const size_t length = static_cast<size_t>(x) * y * 8;
            if (x < 1 || x > kNvMaxX || y < 1 || y > kNvMaxY) {
                Refuse(p, Format("%s: image %u: size x=%u y=%u outside x 1 to %u, y 1 to %u; "
                                 "refused, nothing stored",
                                 command.c_str(), k, x, y, kNvMaxX, kNvMaxY));
                return std::min(m_job.size(), p + 4 + length);
            }
            const size_t left = m_job.size() - (p + 4);
            if (length > left) {
                Refuse(p, Format("%s: image %u: %zu raster bytes needed, %zu left in the job; "
                                 "refused, nothing stored",
                                 command.c_str(), k, length, left));
                return m_job.size();
            }
            definitions.push_back(Definition{p, x, y, length});
            total += 4 + length;
            p += 4 + length;
        }
        if (total > m_model.nvCapacity) {
            Refuse(at, Format("%s: %llu bytes exceed the NV capacity of %llu bytes; refused, "
                              "nothing stored",
                              command.c_str(), static_cast<unsigned long long>(total),
                              static_cast<unsigned long long>(m_model.nvCapacity)));
            return p;
        }

        Log(at, Format("%s: define %u image%s, %llu of %llu NV bytes", command.c_str(), count,
                       count == 1 ? "" : "s", static_cast<unsigned long long>(total),
                       static_cast<unsigned long long>(m_model.nvCapacity)));
        m_memory.images.clear();
        if (!m_memory.graphics.empty()) {
            Log(at, Format("%s: defining NV bit images erased the %zu NV graphic%s stored",
                           command.c_str(), m_memory.graphics.size(),
                           m_memory.graphics.size() == 1 ? "" : "s"));
            m_memory.graphics.clear();
        }
        for (size_t k = 0; k < definitions.size(); ++k) {
            const Definition& d = definitions[k];
            const auto first = m_job.begin() + static_cast<std::ptrdiff_t>(d.offset + 4);
            m_memory.images.push_back(NvImage{
                d.x, d.y,
                std::vector<uint8_t>(first, first + static_cast<std::ptrdiff_t>(d.length))});
            Log(d.offset, Format("%s: image %zu %dx%d dots, %zu bytes", command.c_str(), k + 1,
                                 d.x * 8, d.y * 8, d.length));
        }
        m_outcome.memoryChanged = true;
        CountNvWrite(at, command);
        return p;
    }

    // FS p n m: prints image n down the current piece of paper, left-aligned.
    size_t PrintImage(size_t at) {
        if (!Has(at + 3)) {
            Log(at, "FS p: cut short by the end of the job; nothing printed");
            return m_job.size();
        }
        const unsigned n = At(at + 2);
        const unsigned m = At(at + 3);
        const std::string command = Format("FS p %u %u", n, m);
        if (m > 3 && (m < 0x30 || m > 0x33)) {
            Log(at, command + ": size mode not 0 to 3 or 48 to 51; nothing printed");
            return at + 4;
        }
        if (n == 0 || n > m_memory.images.size()) {
            Log(at, Format("%s: image %u not stored; nothing printed", command.c_str(), n));
            return at + 4;
        }
        const int mode = static_cast<int>(m & 3);
        const int sx = (mode & 1) != 0 ? 2 : 1;
        const int sy = (mode & 2) != 0 ? 2 : 1;
        const NvImage& image = m_memory.images[n - 1];
        const int width = image.Width() * sx;
        const int height = image.Height() * sy;
        if (width > m_model.paperWidth) {
            Log(at, Format("%s: image %u at %s is %d dots wide, wider than the %d-dot paper; "
                           "nothing printed",
                           command.c_str(), n, SizeName(mode), width, m_model.paperWidth));
            return at + 4;
        }
        if (!Draw(at, command, image.Width(), image.Height(), sx, sy,
                  [&image](int col, int row) { return image.Dot(col, row); })) {
            return at + 4;
        }
        Log(at, Format("%s: printed image %u at %s, %dx%d dots", command.c_str(), n, SizeName(mode),
                       width, height));
        return at + 4;
    }

    // Draws a stored picture at the left of the current piece, scaled sx by
    // sy; false, with the reason logged, when the paper has run out.
    template <typename DotFn>
    bool Draw(size_t at, const std::string& command, int width, int height, int sx, int sy,
              DotFn dot) {
        if (m_rowsPrinted + height * sy > kPaperRowsPerJob) {
            Log(at, Format("%s: out of paper after %d dot rows in this job; nothing printed",
                           command.c_str(), m_rowsPrinted));
            return false;
        }
        const int top = m_piece.height;
        m_piece.AddRows(height * sy);
        m_rowsPrinted += height * sy;
        for (int col = 0; col < width; ++col) {
            for (int row = 0; row < height; ++row) {
                if (!dot(col, row)) {
                    continue;
                }
                for (int j = 0; j < sy; ++j) {
                    for (int i = 0; i < sx; ++i) {
                        m_piece.SetDot(col * sx + i, top + row * sy + j);
                    }
                }
            }
        }
        return true;
    }

    // GS ( L pL pH m fn ... or GS 8 L p1 p2 p3 p4 m fn ...: the count says
    // where the command ends, so one not understood is skipped whole.
    size_t Graphics(size_t at) {
        const bool longForm = At(at + 1) == 0x38;
        const char* name = longForm ? "GS 8 L" : "GS ( L";
        const size_t countBytes = longForm ? 4 : 2;
        if (!Has(at + 2 + countBytes)) {
            Log(at, Format("%s: cut short by the end of the job; ignored", name));
            return m_job.size();
        }
        uint64_t count = 0;
        for (size_t i = 0; i < countBytes; ++i) {
            count |= uint64_t{At(at + 3 + i)} << (8 * i);
        }
        const size_t start = at + 3 + countBytes;
        const size_t left = m_job.size() - start;
        if (count > left) {
            Log(at, Format("%s: %llu parameter bytes announced, %zu left in the job; ignored", name,
                           static_cast<unsigned long long>(count), left));
            return m_job.size();
        }
        const size_t end = start + static_cast<size_t>(count);
        if (count < 2) {
            Log(at, Format("%s: no function; ignored", name));
            return end;
        }
        const unsigned m = At(start);
        const unsigned fn = At(start + 1);
        const auto p = m_job.subspan(start + 2, static_cast<size_t>(count) - 2);
        const std::string command = Format("%s function %u", name, fn);
        if (m != 48) {
            Log(at, Format("%s m=%u function %u: not understood, skipped", name, m, fn));
            return end;
        }
        switch (fn) {
        case 67:
            StoreGraphic(at, command, p);
            break;
        case 69:
            PrintGraphic(at, command, p);
            break;
        case 66:
            DeleteGraphic(at, command, p);
            break;
        case 65:
            DeleteAllGraphics(at, command, p);
            break;
        case 48:
        case 51:
        case 64:
            Log(at, command + ": a question; answered where the connection carries replies");
            break;
        default:
            Log(at, command + ": not understood, skipped");
            break;
        }
        return end;
    }

    static bool IsKeyByte(uint8_t byte) { return byte >= 32 && byte <= 126; }
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict) about "\"" + string.
    static std::string Quoted(std::string_view key) {
        std::string quoted(1, '"');
        quoted += key;
        quoted += '"';
        return quoted;
    }

    std::vector<NvGraphic>::iterator FindGraphic(std::string_view key) {
        return std::find_if(m_memory.graphics.begin(), m_memory.graphics.end(),
                            [key](const NvGraphic& g) { return g.key == key; });
    }

    // Function 67 (a = 48 raster, b = 1 colour, c = 49): checked whole first;
    // a graphic that does not fit the free memory is ignored, as a printer
    // ignores it.
    void StoreGraphic(size_t at, const std::string& command, std::span<const uint8_t> p) {
        if (p.size() < 9) {
            Log(at, command + ": cut short; ignored, nothing stored");
            return;
        }
        const std::string key{static_cast<char>(p[1]), static_cast<char>(p[2])};
        const auto width = static_cast<uint16_t>(p[4] | p[5] << 8);
        const auto height = static_cast<uint16_t>(p[6] | p[7] << 8);
        const std::string what = command + ": " + Quoted(key);
        if (p[0] != 48 || p[3] != 1 || p[8] != 49) {
            Log(at, Format("%s: a=%u b=%u c=%u where a one-colour raster has 48, 1, 49; "
                           "ignored, nothing stored",
                           what.c_str(), p[0], p[3], p[8]));
            return;
        }
        if (!IsKeyByte(p[1]) || !IsKeyByte(p[2])) {
            Log(at, Format("%s: key bytes %02X %02X outside 32 to 126; ignored, nothing stored",
                           command.c_str(), p[1], p[2]));
            return;
        }
        if (width < 1 || width > kNvGraphicMaxWidth || height < 1 || height > kNvGraphicMaxHeight) {
            Log(at, Format("%s: size %ux%u outside 1 to %u by 1 to %u dots; ignored, nothing "
                           "stored",
                           what.c_str(), width, height, kNvGraphicMaxWidth, kNvGraphicMaxHeight));
            return;
        }
        const size_t k = (static_cast<size_t>(width) + 7) / 8 * height;
        if (p.size() - 9 != k) {
            Log(at, Format("%s: %zu data bytes where %ux%u dots take %zu; ignored, nothing "
                           "stored",
                           what.c_str(), p.size() - 9, width, height, k));
            return;
        }
        if (m_model.nvGraphics == 0) {
            Log(at, what + ": this model has no NV graphics memory; ignored");
            return;
        }
        auto existing = FindGraphic(key);
        const uint64_t used = NvGraphicsBytesUsed(m_memory) -
                              (existing != m_memory.graphics.end() ? existing->rows.size() : 0);
        if (used + k > m_model.nvGraphics) {
            Log(at,
                Format("%s: %zu bytes do not fit, %llu of %llu bytes free; ignored, nothing "
                       "stored",
                       what.c_str(), k, static_cast<unsigned long long>(m_model.nvGraphics - used),
                       static_cast<unsigned long long>(m_model.nvGraphics)));
            return;
        }
        if (!m_memory.images.empty()) {
            Log(at, Format("%s: defining NV graphics erased the %zu NV bit image%s stored",
                           what.c_str(), m_memory.images.size(),
                           m_memory.images.size() == 1 ? "" : "s"));
            m_memory.images.clear();
        }
        NvGraphic graphic{key, width, height, std::vector<uint8_t>(p.begin() + 9, p.end())};
        if (existing != m_memory.graphics.end()) {
            *existing = std::move(graphic);
        } else {
            const auto place = std::find_if(m_memory.graphics.begin(), m_memory.graphics.end(),
                                            [&key](const NvGraphic& g) { return g.key > key; });
            m_memory.graphics.insert(place, std::move(graphic));
        }
        m_outcome.memoryChanged = true;
        Log(at,
            Format("%s: stored, %ux%u dots, %zu bytes; %llu of %llu bytes free", what.c_str(),
                   width, height, k, static_cast<unsigned long long>(m_model.nvGraphics - used - k),
                   static_cast<unsigned long long>(m_model.nvGraphics)));
        CountNvWrite(at, command);
    }

    // Function 69: the stored graphic at the left of the paper, scale 1 or 2 each way.
    void PrintGraphic(size_t at, const std::string& command, std::span<const uint8_t> p) {
        if (p.size() != 4) {
            Log(at, Format("%s: %zu parameter bytes where 4 belong; nothing printed",
                           command.c_str(), p.size()));
            return;
        }
        const std::string key{static_cast<char>(p[0]), static_cast<char>(p[1])};
        const std::string what = command + ": " + Quoted(key);
        const unsigned sx = p[2];
        const unsigned sy = p[3];
        if ((sx != 1 && sx != 2) || (sy != 1 && sy != 2)) {
            Log(at, Format("%s: scale %ux%u, not 1 or 2 each way; nothing printed", what.c_str(),
                           sx, sy));
            return;
        }
        const auto found = FindGraphic(key);
        if (found == m_memory.graphics.end()) {
            Log(at, what + ": not stored; nothing printed");
            return;
        }
        const NvGraphic& graphic = *found;
        const int width = graphic.width * static_cast<int>(sx);
        if (width > m_model.paperWidth) {
            Log(at, Format("%s: %d dots wide at %ux%u, wider than the %d-dot paper; nothing "
                           "printed",
                           what.c_str(), width, sx, sy, m_model.paperWidth));
            return;
        }
        if (!Draw(at, what, graphic.width, graphic.height, static_cast<int>(sx),
                  static_cast<int>(sy),
                  [&graphic](int col, int row) { return graphic.Dot(col, row); })) {
            return;
        }
        Log(at, Format("%s: printed at %ux%u, %dx%d dots", what.c_str(), sx, sy, width,
                       graphic.height * static_cast<int>(sy)));
    }

    // Function 66: deletes one key.
    void DeleteGraphic(size_t at, const std::string& command, std::span<const uint8_t> p) {
        if (p.size() != 2) {
            Log(at, Format("%s: %zu parameter bytes where 2 belong; nothing deleted",
                           command.c_str(), p.size()));
            return;
        }
        const std::string key{static_cast<char>(p[0]), static_cast<char>(p[1])};
        const auto found = FindGraphic(key);
        if (found == m_memory.graphics.end()) {
            Log(at, command + ": " + Quoted(key) + ": not stored; nothing deleted");
            return;
        }
        m_memory.graphics.erase(found);
        m_outcome.memoryChanged = true;
        Log(at, command + ": " + Quoted(key) + ": deleted");
        CountNvWrite(at, command);
    }

    // Function 65 "CLR": deletes every graphic.
    void DeleteAllGraphics(size_t at, const std::string& command, std::span<const uint8_t> p) {
        if (p.size() != 3 || p[0] != 'C' || p[1] != 'L' || p[2] != 'R') {
            Log(at, command + ": without \"CLR\"; nothing deleted");
            return;
        }
        const size_t forgotten = m_memory.graphics.size();
        m_memory.graphics.clear();
        m_outcome.memoryChanged = true;
        Log(at, Format("%s: deleted every NV graphic (%zu forgotten)", command.c_str(), forgotten));
        CountNvWrite(at, command);
    }

    void Erase(size_t at) {
        const size_t forgotten = m_memory.images.size();
        m_memory.images.clear();
        m_outcome.memoryChanged = true;
        Log(at, Format("FS e: erased every stored image (%zu forgotten)", forgotten));
        CountNvWrite(at, "FS e");
    }

    // GS V m [n]: feeds n dot rows (modes 65 and 66) and cuts the piece off.
    // A cut with nothing printed since the last one yields no piece.
    size_t Cut(size_t at) {
        if (!Has(at + 2)) {
            Log(at, "GS V: cut short by the end of the job; no cut");
            return m_job.size();
        }
        const unsigned m = At(at + 2);
        const bool withFeed = m == 65 || m == 66;
        if (!withFeed && m != 0 && m != 1 && m != 48 && m != 49) {
            Log(at, Format("GS V %u: cut mode not 0, 1, 48, 49, 65 or 66; no cut", m));
            return at + 3;
        }
        if (withFeed && !Has(at + 3)) {
            Log(at, Format("GS V %u: cut short by the end of the job; no cut", m));
            return m_job.size();
        }
        const unsigned feed = withFeed ? At(at + 3) : 0;
        const std::string command = withFeed ? Format("GS V %u %u", m, feed) : Format("GS V %u", m);
        const char* kind = (m == 1 || m == 49 || m == 66) ? "partial cut" : "full cut";
        if (m_piece.height == 0) {
            Log(at, Format("%s: %s; nothing printed since the last cut, no piece of paper",
                           command.c_str(), kind));
            return at + (withFeed ? 4 : 3);
        }
        const int rows = std::min(static_cast<int>(feed), kPaperRowsPerJob - m_rowsPrinted);
        m_piece.AddRows(rows);
        m_rowsPrinted += rows;
        Log(at, Format("%s: fed %d dot%s, %s: piece %zu, %d dots long", command.c_str(), rows,
                       rows == 1 ? "" : "s", kind, m_outcome.paper.size() + 1, m_piece.height));
        m_outcome.paper.push_back(std::move(m_piece));
        m_piece = MonoPicture::Blank(m_model.paperWidth, 0);
        return at + (withFeed ? 4 : 3);
    }

    const PrinterModel& m_model;
    NvMemory& m_memory;
    std::span<const uint8_t> m_job;
    std::string_view m_today;
    JobOutcome m_outcome;
    MonoPicture m_piece;
    int m_rowsPrinted = 0;
};

} // namespace

uint64_t NvBytesUsed(const NvMemory& memory) {
    uint64_t used = 0;
    for (const NvImage& image : memory.images) {
        used += 4 + image.raster.size();
    }
    return used;
}

uint64_t NvGraphicsBytesUsed(const NvMemory& memory) {
    uint64_t used = 0;
    for (const NvGraphic& graphic : memory.graphics) {
        used += graphic.rows.size();
    }
    return used;
}

JobOutcome RunJob(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                  std::string_view today) {
    return Interpreter(model, memory, job, today).Run();
}

MonoPicture NvImagePicture(const NvImage& image) {
    MonoPicture picture = MonoPicture::Blank(image.Width(), image.Height());
    for (int col = 0; col < image.Width(); ++col) {
        for (int row = 0; row < image.Height(); ++row) {
            if (image.Dot(col, row)) {
                picture.SetDot(col, row);
            }
        }
    }
    return picture;
}

MonoPicture NvGraphicPicture(const NvGraphic& graphic) {
    MonoPicture picture = MonoPicture::Blank(graphic.width, graphic.height);
    for (int row = 0; row < graphic.height; ++row) {
        for (int col = 0; col < graphic.width; ++col) {
            if (graphic.Dot(col, row)) {
                picture.SetDot(col, row);
            }
        }
    }
    return picture;
}

} // namespace tessaline
