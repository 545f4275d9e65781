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
               (a == 0x1D && (b == 0x56 || b == 0x49 || b == 0x28)) || (a == 0x10 && b == 0x04);
    }

    // Runs the command at `at` and returns where the next one starts.
    size_t Step(size_t at) {
        if (!StartsCommand(at)) {
            return NotUnderstood(at);
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

    // GS ( fn pL pH and pL + 256 pH bytes: asked (GS ( L 48 and 51 are the NV
    // graphics sizes) or not modelled here; skipped whole either way.
    size_t Extended(size_t at) {
        if (!Has(at + 4)) {
            Log(at, "GS (: cut short by the end of the job");
            return m_job.size();
        }
        const size_t length = size_t{At(at + 3)} | size_t{At(at + 4)} << 8;
        const unsigned fn = At(at + 2);
        if (fn == 0x4C && length == 2 && Has(at + 6) && At(at + 5) == 0x30 &&
            (At(at + 6) == 0x30 || At(at + 6) == 0x33)) {
            Log(at, Format("GS ( L %u: NV graphics %s asked", static_cast<unsigned>(At(at + 6)),
                           At(at + 6) == 0x30 ? "capacity" : "free bytes"));
        } else {
            Log(at, Format("GS ( %c: %zu bytes not modelled, skipped",
                           fn >= 0x20 && fn < 0x7F ? static_cast<char>(fn) : '?', length));
        }
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
        if (m_rowsPrinted + height > kPaperRowsPerJob) {
            Log(at, Format("%s: out of paper after %d dot rows in this job; nothing printed",
                           command.c_str(), m_rowsPrinted));
            return at + 4;
        }
        const int top = m_piece.height;
        m_piece.AddRows(height);
        m_rowsPrinted += height;
        for (int col = 0; col < image.Width(); ++col) {
            for (int row = 0; row < image.Height(); ++row) {
                if (!image.Dot(col, row)) {
                    continue;
                }
                for (int j = 0; j < sy; ++j) {
                    for (int i = 0; i < sx; ++i) {
                        m_piece.SetDot(col * sx + i, top + row * sy + j);
                    }
                }
            }
        }
        Log(at, Format("%s: printed image %u at %s, %dx%d dots", command.c_str(), n, SizeName(mode),
                       width, height));
        return at + 4;
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

} // namespace tessaline
