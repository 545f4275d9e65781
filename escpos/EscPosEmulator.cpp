// SPDX-License-Identifier: MIT
#include "escpos/EscPosEmulator.h"

#include "Barcodes.h"
#include "CodePages.h"
#include "JobLog.h"
#include "ReceiptPaper.h"
#include "escpos/EscPosCommands.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
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

std::u32string Latin(std::string_view text) {
    return std::u32string(text.begin(), text.end());
}

class Interpreter : private JobLog {
public:
    Interpreter(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                std::string_view today, MonoPicture uncut)
        : m_model(model), m_memory(memory), m_job(job), m_today(today),
          m_paper(model.paperWidth, std::move(uncut), kPaperRowsPerJob) {}

    JobOutcome Run() {
        if (m_paper.Height() > 0) {
            Log(0, Format("the paper printed before and not yet cut, %d dots, carries on",
                          m_paper.Height()));
        }
        size_t at = 0;
        while (at < m_job.size()) {
            at = Step(at);
        }
        MonoPicture uncut = m_paper.Uncut();
        if (uncut.height > 0) {
            Log(m_job.size(), Format("end of job: %d dots printed and not cut; they come out "
                                     "with the next cut",
                                     uncut.height));
        }
        if (const NotUnderstoodBytes& unknown = m_outcome.notUnderstood; unknown.pieces > 0) {
            std::string offsets;
            for (const size_t offset : unknown.First()) {
                offsets += (offsets.empty() ? "@" : ", @") + std::to_string(offset);
            }
            Log(m_job.size(),
                Format("end of job: %llu byte%s not understood in %zu place%s, the first at %s",
                       static_cast<unsigned long long>(unknown.bytes),
                       unknown.bytes == 1 ? "" : "s", unknown.pieces,
                       unknown.pieces == 1 ? "" : "s", offsets.c_str()));
        }
        m_outcome.uncut = std::move(uncut);
        return std::move(m_outcome);
    }

private:
    uint8_t At(size_t i) const { return m_job[i]; }
    bool Has(size_t i) const { return i < m_job.size(); }
    // A print left out for want of paper is logged once per command.
    void OutOfPaper(size_t at, const std::string& command) {
        Log(at, Format("%s: out of paper after %d dot rows in this job; nothing printed",
                       command.c_str(), m_paper.RowsPrinted()));
    }
    // Checks that the command at `at` has its `length` bytes.
    bool Whole(size_t at, size_t length, const char* name) {
        if (Has(at + length - 1)) {
            return true;
        }
        Log(at, Format("%s: cut short by the end of the job; ignored", name));
        return false;
    }
    bool FontReady(size_t at) {
        const std::string& problem = m_paper.FontProblem();
        if (!problem.empty()) {
            LogOnce("font", at, "text not drawn: " + problem);
            return false;
        }
        return true;
    }

    // Runs the piece at `at`, text or a command as the table splits it,
    // and returns where the next starts.
    size_t Step(size_t at) {
        m_piece = SplitAt(EscPosCommands(), m_job, at);
        switch (m_piece.kind) {
        case PieceKind::Text:
            return Text(at);
        case PieceKind::NotUnderstood:
            return NotUnderstood(at, static_cast<size_t>(m_piece.length));
        case PieceKind::CutShort:
            if (m_piece.command == nullptr) {
                Log(at, Format("%s: cut short by the end of the job; ignored", Prefix(At(at))));
                return m_job.size();
            }
            break;
        case PieceKind::Command:
            break;
        }
        return Run(at, *m_piece.command);
    }

    static const char* Prefix(uint8_t byte) {
        switch (byte) {
        case 0x1B:
            return "ESC";
        case 0x1D:
            return "GS";
        case 0x1C:
            return "FS";
        default:
            return "DLE";
        }
    }

    // Where the command the table found at `at` ends, within the job.
    size_t End(size_t at) const {
        const uint64_t left = m_job.size() - at;
        return m_piece.kind == PieceKind::Command && m_piece.length <= left
                   ? at + static_cast<size_t>(m_piece.length)
                   : m_job.size();
    }
    // True when the whole command, its data included, is in the job.
    bool Complete(size_t at) const {
        return m_piece.kind == PieceKind::Command && m_piece.length <= m_job.size() - at;
    }

    size_t Run(size_t at, const CommandSpec& command) {
        switch (EscPosId(command)) {
        case EscPos::LineFeed:
            m_paper.LineFeed();
            return at + 1;
        case EscPos::CarriageReturn: // no automatic line feed: a carriage return does nothing
            return at + 1;
        case EscPos::Tab:
            m_paper.Tab();
            return at + 1;
        case EscPos::Initialise:
            Log(at, "ESC @: initialise");
            m_paper.modes = PrintModes{};
            m_codePage = CodePage::Pc437;
            m_korean = false;
            m_barcode = BarcodeSettings{};
            m_paper.ClearLine();
            return at + 2;
        case EscPos::DefaultSpacing:
            m_paper.modes.lineSpacing = 30;
            return at + 2;
        case EscPos::CutNow:
            return EndPiece(at, command.name, "partial cut", 0, 2);
        case EscPos::ColumnImage:
            return ColumnImage(at);
        case EscPos::TabStops:
            LogOnce("ESC D", at,
                    "ESC D (tab stops): not drawn, skipped; tabs stay every 8 "
                    "characters");
            return End(at);
        case EscPos::UserCharacters:
            LogOnce("ESC &", at, "ESC & (user-defined characters): not drawn, skipped");
            return End(at);
        case EscPos::EscWithOne:
            return EscWithOne(at);
        case EscPos::NotDrawn:
            if (!Complete(at)) {
                Log(at, Format("%s: cut short by the end of the job; ignored", command.name));
                return m_job.size();
            }
            LogOnce(command.name, at, std::string(command.name) + ": not drawn, skipped");
            return End(at);
        case EscPos::Graphics:
            return Graphics(at);
        case EscPos::Extended:
            return Extended(at);
        case EscPos::Cut:
            return Cut(at);
        case EscPos::Question:
            return Question(at);
        case EscPos::Raster:
            return Raster(at);
        case EscPos::Barcode:
            return Barcode(at);
        case EscPos::DownloadedImage:
            if (!Has(at + 3)) {
                Log(at, "GS *: cut short by the end of the job; ignored");
                return m_job.size();
            }
            LogOnce("GS *", at, "GS * (downloaded bit image): not drawn, skipped");
            return End(at);
        case EscPos::GsWithOne:
            return GsWithOne(at);
        case EscPos::DefineImages:
            return DefineImages(at);
        case EscPos::PrintImage:
            return PrintImage(at);
        case EscPos::EraseImages:
            Erase(at);
            return at + 2;
        case EscPos::KoreanOn: // two-byte (Korean) characters from here
            m_korean = true;
            return at + 2;
        case EscPos::KoreanOff: // single-byte characters again
            m_korean = false;
            return at + 2;
        case EscPos::AutoLogo:
            return LogoFunction(at);
        }
        return NotUnderstood(at, 1);
    }

    // A run of text in the code page chosen, or Korean two-byte characters
    // while FS & is in force.
    size_t Text(size_t at) {
        const bool drawn = FontReady(at);
        while (Has(at) && At(at) >= 0x20) {
            const uint8_t byte = At(at);
            if (m_korean && IsKoreanLeadByte(byte)) {
                if (!Has(at + 1)) {
                    Log(at, "a Korean character cut short by the end of the job; ignored");
                    return m_job.size();
                }
                if (drawn) {
                    m_paper.Character(KoreanCharacter(byte, At(at + 1)));
                }
                at += 2;
                continue;
            }
            if (drawn) {
                m_paper.Character(SingleByteCharacter(m_codePage, byte));
            }
            ++at;
        }
        return at;
    }

    // A command not known: its first bytes are skipped, named once.
    size_t NotUnderstood(size_t at, size_t length) {
        m_outcome.notUnderstood.Add(at, length);
        // ESC FS, ESC GS, ESC RS, ESC ACK and ESC # start Star commands, not ESC/POS ones.
        if (At(at) == 0x1B && length >= 2 &&
            (At(at + 1) == 0x1C || At(at + 1) == 0x1D || At(at + 1) == 0x1E || At(at + 1) == 0x06 ||
             At(at + 1) == 0x23)) {
            m_outcome.foreign.language = "Star";
            m_outcome.foreign.Add(at, length);
        }
        std::string bytes;
        for (size_t i = at; i < at + length; ++i) {
            bytes += Format(i == at ? "%02X" : " %02X", At(i));
        }
        LogOnce(bytes, at,
                bytes + ": not understood, skipped; any more of them are skipped unlogged");
        return at + length;
    }

    // The value of a mode byte that counts as 0 and 48, 1 and 49, ...
    static int Mode(uint8_t n) { return n >= 48 && n <= 57 ? n - 48 : n; }

    // ESC and one parameter byte.
    size_t EscWithOne(size_t at) {
        const uint8_t c = At(at + 1);
        PrintModes& modes = m_paper.modes;
        if (!Complete(at)) {
            Log(at, Format("ESC %c: cut short by the end of the job; ignored", c));
            return m_job.size();
        }
        const uint8_t n = At(at + 2);
        switch (c) {
        case '!':
            modes.font = n & 1;
            modes.bold = (n & 8) != 0;
            modes.tall = (n & 16) != 0 ? 2 : 1;
            modes.wide = (n & 32) != 0 ? 2 : 1;
            modes.underline = (n & 128) != 0 ? 1 : 0;
            break;
        case 'E':
        case 'G':
            modes.bold = (n & 1) != 0;
            break;
        case '-':
            modes.underline = std::min(Mode(n), 2);
            break;
        case 'a':
            modes.align = std::min(Mode(n), 2);
            break;
        case 'd':
            m_paper.FeedLines(n);
            break;
        case 'J':
            m_paper.Feed(n);
            break;
        case '3':
            modes.lineSpacing = n;
            break;
        case 'M':
            modes.font = Mode(n) == 1 ? 1 : 0;
            break;
        case '{':
            modes.upsideDown = (n & 1) != 0;
            break;
        case ' ':
            modes.charSpacing = n;
            break;
        case 't':
            if (n == 0 || n == 16) {
                m_codePage = static_cast<CodePage>(n);
            } else {
                LogOnce(Format("ESC t %u", n), at,
                        Format("ESC t %u: code page not drawn here; PC437 (0) and WPC1252 (16) "
                               "are, and Korean through FS &; PC437 used",
                               n));
                m_codePage = CodePage::Pc437;
            }
            break;
        default:
            break;
        }
        return at + 3;
    }

    // GS and one parameter byte.
    size_t GsWithOne(size_t at) {
        const uint8_t c = At(at + 1);
        if (!Complete(at)) {
            Log(at, Format("GS %c: cut short by the end of the job; ignored", c));
            return m_job.size();
        }
        const uint8_t n = At(at + 2);
        switch (c) {
        case '!':
            m_paper.modes.wide = (n >> 4 & 7) + 1;
            m_paper.modes.tall = (n & 7) + 1;
            break;
        case 'B':
            m_paper.modes.reverse = (n & 1) != 0;
            break;
        case 'H':
            m_barcode.hri = Mode(n) & 3;
            break;
        case 'h':
            m_barcode.height = std::max<int>(n, 1);
            break;
        case 'w':
            m_barcode.module = std::clamp<int>(n, 1, 6);
            break;
        case 'f':
            m_barcode.hriFont = Mode(n) == 1 ? 1 : 0;
            break;
        default:
            break;
        }
        return at + 3;
    }

    // FS ( E pL pH fn m ...: the automatic logo (m = 2). Functions 60, 62 and
    // 63 write the NV memory; 65 switches a logo on or off for this job; 61
    // is a question, answered by the responder; the rest is skipped.
    size_t LogoFunction(size_t at) {
        if (!Whole(at, 5, "FS ( E")) {
            return m_job.size();
        }
        const size_t length = size_t{At(at + 3)} | size_t{At(at + 4)} << 8;
        const size_t end = std::min(at + 5 + length, m_job.size());
        if (at + 5 + length > m_job.size() || length < 2) {
            Log(at, "FS ( E: cut short by the end of the job; ignored");
            return end;
        }
        const unsigned fn = At(at + 5);
        const std::span<const uint8_t> p = m_job.subspan(at + 7, length - 2);
        const std::string command = Format("FS ( E %u", fn);
        if (m_model.nvGraphics == 0 || !m_model.autoLogo) {
            LogOnce("FS ( E", at, "FS ( E: this model has no automatic logo; skipped");
            return end;
        }
        if (At(at + 6) != 2) {
            Log(at, command + ": m is not 2; ignored");
            return end;
        }
        auto key = [](uint8_t c) { return c >= 32 && c <= 126; };
        if (fn == 60 && p.size() == 4 && (p[0] == 48 || p[0] == 49) && p[1] == 'C' && p[2] == 'L' &&
            p[3] == 'R') {
            auto& logo = p[0] == 48 ? m_memory.topLogo : m_memory.bottomLogo;
            const char* which = p[0] == 48 ? "top" : "bottom";
            if (!logo) {
                Log(at, Format("%s: no %s logo is set; ignored", command.c_str(), which));
                return end;
            }
            logo.reset();
            m_outcome.memoryChanged = true;
            CountNvWrite(at, command);
            Log(at, Format("%s: %s logo cancelled", command.c_str(), which));
        } else if ((fn == 62 && p.size() == 4) || (fn == 63 && p.size() == 3)) {
            if (!key(p[0]) || !key(p[1]) || p[2] < 48 || p[2] > 50) {
                Log(at, command + ": key or alignment out of range; ignored");
                return end;
            }
            AutoLogo logo{std::string{static_cast<char>(p[0]), static_cast<char>(p[1])}, p[2],
                          fn == 62 ? p[3] : uint8_t{0}};
            (fn == 62 ? m_memory.topLogo : m_memory.bottomLogo) = logo;
            m_outcome.memoryChanged = true;
            CountNvWrite(at, command);
            Log(at, Format("%s: %s logo %s", command.c_str(), fn == 62 ? "top" : "bottom",
                           Quoted(logo.key).c_str()));
        } else if (fn == 65 && p.size() == 2 && (p[0] == 48 || p[0] == 49) &&
                   (p[1] == 48 || p[1] == 49)) {
            (p[0] == 48 ? m_topOn : m_bottomOn) = p[1] == 48;
        } else if (fn != 61 && fn != 64) {
            Log(at, command + ": not understood; ignored");
        }
        return end;
    }

    // The automatic logo, as a picture as wide as the paper at its alignment;
    // nothing when it is not set, switched off, or its graphic is not stored.
    std::optional<MonoPicture> LogoPicture(const std::optional<AutoLogo>& logo, bool on) {
        if (!logo || !on) {
            return std::nullopt;
        }
        const auto found = FindGraphic(logo->key);
        if (found == m_memory.graphics.end() || found->width > m_model.paperWidth) {
            return std::nullopt;
        }
        const MonoPicture graphic = NvGraphicPicture(*found);
        MonoPicture line = MonoPicture::Blank(m_model.paperWidth, graphic.height);
        const int room = m_model.paperWidth - graphic.width;
        const int left = logo->align == 48 ? 0 : logo->align == 50 ? room : room / 2;
        for (int y = 0; y < graphic.height; ++y) {
            for (int x = 0; x < graphic.width; ++x) {
                if (graphic.Dot(x, y)) {
                    line.SetDot(left + x, y);
                }
            }
        }
        return line;
    }

    // GS v 0 m xL xH yL yH: a raster picture, rows of xL + 256 xH bytes.
    size_t Raster(size_t at) {
        if (Has(at + 2) && At(at + 2) != 0x30 && At(at + 2) != 0) {
            return NotUnderstood(at, 3);
        }
        if (!Whole(at, 8, "GS v 0")) {
            return m_job.size();
        }
        const unsigned m = At(at + 3);
        const size_t xBytes = size_t{At(at + 4)} | size_t{At(at + 5)} << 8;
        const size_t rows = size_t{At(at + 6)} | size_t{At(at + 7)} << 8;
        const size_t length = xBytes * rows;
        const std::string command = Format("GS v 0 %u", m);
        const size_t left = m_job.size() - (at + 8);
        if (!Complete(at)) {
            Log(at, Format("%s: %zu raster bytes announced, %zu left in the job; nothing printed",
                           command.c_str(), length, left));
            return m_job.size();
        }
        const size_t end = End(at);
        if (Mode(static_cast<uint8_t>(m)) > 3 || length == 0) {
            Log(at, Format("%s: mode not 0 to 3 or 48 to 51, or no dots; nothing printed",
                           command.c_str()));
            return end;
        }
        MonoPicture picture =
            MonoPicture::Blank(static_cast<int>(xBytes * 8), static_cast<int>(rows));
        for (size_t y = 0; y < rows; ++y) {
            std::copy_n(m_job.begin() + static_cast<std::ptrdiff_t>(at + 8 + y * xBytes), xBytes,
                        picture.bits.begin() + static_cast<std::ptrdiff_t>(y * picture.RowBytes()));
        }
        const int mode = Mode(static_cast<uint8_t>(m));
        if (!m_paper.Picture(picture, (mode & 1) != 0 ? 2 : 1, (mode & 2) != 0 ? 2 : 1)) {
            OutOfPaper(at, command);
        }
        return end;
    }

    // ESC * m nL nH: nL + 256 nH columns of 8 or 24 dots, part of the line.
    size_t ColumnImage(size_t at) {
        if (!Whole(at, 5, "ESC *")) {
            return m_job.size();
        }
        const unsigned m = At(at + 2);
        const size_t columns = size_t{At(at + 3)} | size_t{At(at + 4)} << 8;
        const std::string command = Format("ESC * %u", m);
        if (m != 0 && m != 1 && m != 32 && m != 33) {
            Log(at, command + ": mode not 0, 1, 32 or 33; the rest of the job is not drawn");
            return m_job.size();
        }
        const size_t bytesPerColumn = m >= 32 ? 3 : 1;
        const size_t length = columns * bytesPerColumn;
        const size_t left = m_job.size() - (at + 5);
        if (length > left) {
            Log(at, Format("%s: %zu bytes announced, %zu left in the job; nothing printed",
                           command.c_str(), length, left));
            return m_job.size();
        }
        // Single density is half as fine across; eight-dot columns a third as fine down.
        const int sx = (m == 0 || m == 32) ? 2 : 1;
        const int sy = m < 32 ? 3 : 1;
        const int dots = static_cast<int>(bytesPerColumn) * 8;
        MonoPicture picture = MonoPicture::Blank(static_cast<int>(columns) * sx, dots * sy);
        for (size_t col = 0; col < columns; ++col) {
            for (int dot = 0; dot < dots; ++dot) {
                const uint8_t byte =
                    At(at + 5 + col * bytesPerColumn + static_cast<size_t>(dot / 8));
                if ((byte >> (7 - dot % 8) & 1) == 0) {
                    continue;
                }
                for (int i = 0; i < sx; ++i) {
                    for (int j = 0; j < sy; ++j) {
                        picture.SetDot(static_cast<int>(col) * sx + i, dot * sy + j);
                    }
                }
            }
        }
        if (columns > 0) {
            m_paper.LineImage(picture);
        }
        return at + 5 + length;
    }

    // GS k m d1 ... NUL (m 0 to 6) or GS k m n d1 ... dn (m 65 to 79).
    size_t Barcode(size_t at) {
        if (!Whole(at, 3, "GS k")) {
            return m_job.size();
        }
        const unsigned m = At(at + 2);
        size_t start = at + 3;
        size_t end = 0;
        if (m <= 6) {
            end = start;
            while (Has(end) && At(end) != 0) {
                ++end;
            }
            if (!Has(end)) {
                Log(at, Format("GS k %u: data without its closing NUL; nothing printed", m));
                return m_job.size();
            }
        } else if (m >= 65 && m <= 79) {
            if (!Whole(at, 4, "GS k")) {
                return m_job.size();
            }
            start = at + 4;
            end = start + At(at + 3);
            if (end > m_job.size()) {
                Log(at, Format("GS k %u: %u data bytes announced, %zu left in the job; nothing "
                               "printed",
                               m, At(at + 3), m_job.size() - start));
                return m_job.size();
            }
        } else {
            Log(at, Format("GS k %u: bar code system not 0 to 6 or 65 to 79; the rest of the "
                           "job is not drawn",
                           m));
            return m_job.size();
        }
        const std::string_view data(reinterpret_cast<const char*>(m_job.data()) + start,
                                    end - start);
        const size_t next = m <= 6 ? end + 1 : end;
        const std::string command = Format("GS k %u", m);
        BarcodeModules code;
        switch (m) {
        case 0:
        case 65:
            code = EncodeUpcA(data);
            break;
        case 2:
        case 67:
            code = EncodeEan13(data);
            break;
        case 3:
        case 68:
            code = EncodeEan8(data);
            break;
        case 4:
        case 69:
            code = EncodeCode39(data, 3);
            break;
        case 73:
            code = EncodeCode128(data);
            break;
        default:
            LogOnce(command, at, command + ": bar code system not drawn here, skipped");
            return next;
        }
        if (!code.problem.empty()) {
            Log(at, command + ": " + code.problem + "; nothing printed");
            return next;
        }
        const int width = static_cast<int>(code.modules.size()) * m_barcode.module;
        if (width > m_paper.Width()) {
            Log(at, Format("%s: %d dots wide, wider than the %d-dot paper; nothing printed",
                           command.c_str(), width, m_paper.Width()));
            return next;
        }
        MonoPicture bars = MonoPicture::Blank(static_cast<int>(code.modules.size()), 1);
        for (size_t i = 0; i < code.modules.size(); ++i) {
            if (code.modules[i]) {
                bars.SetDot(static_cast<int>(i), 0);
            }
        }
        m_paper.PrintLine();
        const int left = m_paper.AlignedLeft(width);
        if ((m_barcode.hri & 1) != 0) {
            m_paper.CentredText(Latin(code.text), m_barcode.hriFont, left, width);
        }
        if (!m_paper.Picture(bars, m_barcode.module, m_barcode.height)) {
            OutOfPaper(at, command);
            return next;
        }
        if ((m_barcode.hri & 2) != 0) {
            m_paper.CentredText(Latin(code.text), m_barcode.hriFont, left, width);
        }
        return next;
    }

    // GS ( k pL pH cn fn ...: QR codes (cn 49) are drawn; other symbols skipped whole.
    size_t Symbol(size_t at, std::span<const uint8_t> p) {
        if (p.size() < 2 || p[0] != 49) {
            LogOnce(Format("GS ( k %u", p.empty() ? 0u : p[0]), at,
                    Format("GS ( k cn=%u: two-dimensional code not drawn here, skipped",
                           p.empty() ? 0u : p[0]));
            return 0;
        }
        const unsigned fn = p[1];
        const auto args = p.subspan(2);
        switch (fn) {
        case 65: // model: 49 model 1, 50 model 2, 51 micro QR
            if (!args.empty() && args[0] != 50) {
                LogOnce("QR model", at, Format("GS ( k QR model %u: drawn as model 2", args[0]));
            }
            break;
        case 67:
            if (!args.empty()) {
                m_qr.module = std::clamp<int>(args[0], 1, 16);
            }
            break;
        case 69:
            if (!args.empty()) {
                m_qr.level = std::clamp(args[0] - 48, 0, 3);
            }
            break;
        case 80:
            if (!args.empty()) {
                m_qr.data.assign(args.begin() + 1, args.end());
            }
            break;
        case 81:
            PrintQr(at);
            break;
        default:
            LogOnce(Format("GS ( k 49 %u", fn), at,
                    Format("GS ( k QR function %u: not drawn, skipped", fn));
            break;
        }
        return 0;
    }

    void PrintQr(size_t at) {
        std::string problem;
        const std::string_view data(reinterpret_cast<const char*>(m_qr.data.data()),
                                    m_qr.data.size());
        const auto rows = EncodeQr(data, m_qr.level, &problem);
        if (rows.empty()) {
            Log(at, "GS ( k QR print: " + problem + "; nothing printed");
            return;
        }
        const int size = static_cast<int>(rows.size());
        if (size * m_qr.module > m_paper.Width()) {
            Log(at, Format("GS ( k QR print: %d dots wide, wider than the %d-dot paper; nothing "
                           "printed",
                           size * m_qr.module, m_paper.Width()));
            return;
        }
        MonoPicture picture = MonoPicture::Blank(size, size);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)]) {
                    picture.SetDot(x, y);
                }
            }
        }
        if (!m_paper.Picture(picture, m_qr.module, m_qr.module)) {
            OutOfPaper(at, "GS ( k QR print");
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

    // GS ( fn pL pH and pL + 256 pH bytes other than GS ( L: QR codes are
    // drawn; the others are not modelled here and skipped whole.
    size_t Extended(size_t at) {
        if (!Has(at + 4)) {
            Log(at, "GS (: cut short by the end of the job");
            return m_job.size();
        }
        const size_t length = size_t{At(at + 3)} | size_t{At(at + 4)} << 8;
        const unsigned fn = At(at + 2);
        if (fn == 'k' && at + 5 + length <= m_job.size()) {
            Symbol(at, m_job.subspan(at + 5, length));
            return at + 5 + length;
        }
        const char name = fn >= 0x20 && fn < 0x7F ? static_cast<char>(fn) : '?';
        LogOnce(Format("GS ( %c", name), at,
                Format("GS ( %c: %zu bytes not modelled, skipped", name, length));
        return std::min(at + 5 + length, m_job.size());
    }

    void CountNvWrite(size_t at, const std::string& command) {
        if (m_memory.writesDay != m_today) {
            m_memory.writesDay = std::string(m_today);
            m_memory.writesThatDay = 0;
        }
        ++m_memory.writesThatDay;
        if (m_memory.writesThatDay > m_model.nvWritesPerDay) {
            Log(at, Format("%s: warning: NV write %u today; more than %u a day wear out the "
                           "NV memory",
                           command.c_str(), m_memory.writesThatDay, m_model.nvWritesPerDay));
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

    // FS p n m: prints image n below the line, at the alignment of ESC a.
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
        if (!m_paper.Picture(NvImagePicture(image), sx, sy)) {
            OutOfPaper(at, command);
            return at + 4;
        }
        Log(at, Format("%s: printed image %u at %s, %dx%d dots", command.c_str(), n, SizeName(mode),
                       width, height));
        return at + 4;
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
            m_outcome.notUnderstood.Add(at, end - at);
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
        case 112:
            StoreBuffered(at, command, p);
            break;
        case 50:
        case 2:
            PrintBuffered(at, command);
            break;
        case 48:
        case 51:
        case 64:
            Log(at, command + ": a question; answered where the connection carries replies");
            break;
        default:
            m_outcome.notUnderstood.Add(at, end - at);
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

    // Function 69: the stored graphic below the line at the alignment of ESC a,
    // scale 1 or 2 each way.
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
        if (!m_paper.Picture(NvGraphicPicture(graphic), static_cast<int>(sx),
                             static_cast<int>(sy))) {
            OutOfPaper(at, what);
            return;
        }
        Log(at, Format("%s: printed at %ux%u, %dx%d dots", what.c_str(), sx, sy, width,
                       graphic.height * static_cast<int>(sy)));
    }

    // Function 112 (a = 48, bx, by, c = 49, xL xH yL yH, rows): the graphics
    // buffer, printed by function 50.
    void StoreBuffered(size_t at, const std::string& command, std::span<const uint8_t> p) {
        if (p.size() < 8) {
            Log(at, command + ": cut short; ignored");
            return;
        }
        const unsigned bx = p[1];
        const unsigned by = p[2];
        const int width = p[4] | p[5] << 8;
        const int height = p[6] | p[7] << 8;
        const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
        if (p[0] != 48 || p[3] != 49 || (bx != 1 && bx != 2) || (by != 1 && by != 2)) {
            Log(at, Format("%s: a=%u bx=%u by=%u c=%u where a one-colour raster has 48, 1 or 2, "
                           "1 or 2, 49; ignored",
                           command.c_str(), p[0], bx, by, p[3]));
            return;
        }
        if (width < 1 || height < 1 || p.size() - 8 != rowBytes * static_cast<size_t>(height)) {
            Log(at, Format("%s: %zu data bytes where %dx%d dots take %zu; ignored", command.c_str(),
                           p.size() - 8, width, height, rowBytes * static_cast<size_t>(height)));
            return;
        }
        MonoPicture picture = MonoPicture::Blank(width, height);
        std::copy(p.begin() + 8, p.end(), picture.bits.begin());
        m_buffered = std::move(picture);
        m_bufferedSx = static_cast<int>(bx);
        m_bufferedSy = static_cast<int>(by);
    }

    // Function 50: prints the graphics buffer and empties it.
    void PrintBuffered(size_t at, const std::string& command) {
        if (!m_buffered) {
            Log(at, command + ": the graphics buffer is empty; nothing printed");
            return;
        }
        if (!m_paper.Picture(*m_buffered, m_bufferedSx, m_bufferedSy)) {
            OutOfPaper(at, command);
        }
        m_buffered.reset();
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
    // GS V m [n]: feeds n dot rows (modes 65 and 66) and cuts the piece off.
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
        return EndPiece(at, command, kind, static_cast<int>(feed), withFeed ? 4 : 3);
    }

    // Cuts the piece off after a feed; a cut with nothing printed since the
    // last one yields no piece. Returns where the next command starts.
    size_t EndPiece(size_t at, const std::string& command, const char* kind, int feed,
                    size_t length) {
        m_paper.PrintLine();
        if (m_paper.Height() == 0) {
            Log(at, Format("%s: %s; nothing printed since the last cut, no piece of paper",
                           command.c_str(), kind));
            return at + length;
        }
        // The bottom logo goes below what was printed, before the feed.
        if (const auto bottom = LogoPicture(m_memory.bottomLogo, m_bottomOn)) {
            const int align = m_paper.modes.align;
            m_paper.modes.align = 0;
            static_cast<void>(m_paper.Picture(*bottom, 1, 1));
            m_paper.modes.align = align;
        }
        const int before = m_paper.Height();
        MonoPicture piece = m_paper.Cut(feed);
        const int rows = piece.height - before;
        // The top logo heads every receipt.
        if (const auto top = LogoPicture(m_memory.topLogo, m_topOn);
            top && top->width == piece.width) {
            MonoPicture headed = *top;
            headed.bits.insert(headed.bits.end(), piece.bits.begin(), piece.bits.end());
            headed.height += piece.height;
            piece = std::move(headed);
        }
        Log(at, Format("%s: fed %d dot%s, %s: piece %zu, %d dots long", command.c_str(), rows,
                       rows == 1 ? "" : "s", kind, m_outcome.paper.size() + 1, piece.height));
        m_outcome.paper.push_back(std::move(piece));
        return at + length;
    }

    // The settings of GS H, GS h, GS w and GS f.
    struct BarcodeSettings {
        int hri = 0; // 1 above, 2 below, 3 both
        int height = 162;
        int module = 3; // dots a module
        int hriFont = 0;
    };
    // The QR code being set up by GS ( k.
    struct QrSettings {
        int module = 3;
        int level = 0; // L
        std::vector<uint8_t> data;
    };

    const PrinterModel& m_model;
    NvMemory& m_memory;
    std::span<const uint8_t> m_job;
    std::string_view m_today;
    ReceiptPaper m_paper;
    CodePage m_codePage = CodePage::Pc437;
    bool m_korean = false;
    // FS ( E 65: the automatic logos switched on or off until the job ends.
    bool m_topOn = true;
    bool m_bottomOn = true;
    BarcodeSettings m_barcode;
    QrSettings m_qr;
    std::optional<MonoPicture> m_buffered; // GS ( L function 112's graphics
    int m_bufferedSx = 1;
    int m_bufferedSy = 1;
    Piece m_piece; // the piece being run, as the table split it
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
                  std::string_view today, MonoPicture uncut) {
    return Interpreter(model, memory, job, today, std::move(uncut)).Run();
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
