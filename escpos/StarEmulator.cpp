// SPDX-License-Identifier: MIT
#include "escpos/StarEmulator.h"

#include "Barcodes.h"
#include "CodePages.h"
#include "JobLog.h"
#include "ReceiptPaper.h"
#include "StarMemory.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

namespace tessaline {

namespace {

std::string Format(const char* fmt, auto... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

// Mode bytes count as 0 and 48, 1 and 49, ...
int Digit(uint8_t n) {
    return n >= 48 && n <= 57 ? n - 48 : n;
}

class StarInterpreter : private JobLog {
public:
    StarInterpreter(const PrinterModel& model, PrinterLanguage language, NvMemory& memory,
                    std::span<const uint8_t> job, std::string_view today, MonoPicture uncut)
        : m_model(model), m_language(language), m_memory(memory), m_job(job), m_today(today),
          m_paper(model.paperWidth, std::move(uncut), kPaperRowsPerJob) {
        m_outcome.foreign.language = "ESC/POS";
    }

    JobOutcome Run() {
        if (m_paper.Height() > 0) {
            Log(0, Format("the paper printed before and not yet cut, %d dots, carries on",
                          m_paper.Height()));
        }
        size_t at = 0;
        while (at < m_job.size()) {
            at = Step(at);
        }
        m_outcome.uncut = m_paper.Uncut();
        if (m_outcome.uncut.height > 0) {
            Log(m_job.size(), Format("end of job: %d dots printed and not cut; they come out "
                                     "with the next cut",
                                     m_outcome.uncut.height));
        }
        return std::move(m_outcome);
    }

private:
    uint8_t At(size_t i) const { return m_job[i]; }
    bool Has(size_t i) const { return i < m_job.size(); }
    // The command at `at` needs `length` bytes; false (and the job ends) when cut short.
    bool Whole(size_t at, size_t length, const char* name) {
        if (Has(at + length - 1)) {
            return true;
        }
        Log(at, Format("%s: cut short by the end of the job; ignored", name));
        return false;
    }
    size_t NotUnderstood(size_t at, size_t length) {
        length = std::min(length, m_job.size() - at);
        std::string bytes;
        for (size_t i = at; i < at + length; ++i) {
            bytes += Format(i == at ? "%02X" : " %02X", At(i));
        }
        LogOnce(bytes, at,
                bytes + ": not understood, skipped; any more of them are skipped unlogged");
        return at + length;
    }
    // An ESC/POS command: the job was meant for another printer.
    size_t Foreign(size_t at, size_t length, const char* name) {
        length = std::min(length, m_job.size() - at);
        m_outcome.foreign.Add(at, length);
        LogOnce(name, at, std::string(name) + ": an ESC/POS command, not Star; not understood");
        return at + length;
    }

    size_t Step(size_t at) {
        const uint8_t byte = At(at);
        if (byte >= 0x20) {
            return Text(at);
        }
        PrintModes& modes = m_paper.modes;
        switch (byte) {
        case 0x0A:
            m_paper.LineFeed();
            return at + 1;
        case 0x0D: // the line feed that comes with LF; nothing of its own
            return at + 1;
        case 0x09:
            m_paper.Tab();
            return at + 1;
        case 0x18: // CAN: the line and the print modes are dropped
            m_paper.ClearLine();
            Initialise();
            return at + 1;
        case 0x0E:
            modes.wide = 2;
            return at + 1;
        case 0x14:
            modes.wide = 1;
            return at + 1;
        case 0x0F:
            modes.upsideDown = true;
            return at + 1;
        case 0x12:
            modes.upsideDown = false;
            return at + 1;
        case 0x07:
        case 0x1A:
            LogOnce("drawer", at, "BEL: cash drawer pulse");
            return at + 1;
        case 0x1B:
            return Esc(at);
        case 0x1D:
            return Foreign(at, 2, "GS");
        case 0x10:
            return Has(at + 1) && At(at + 1) == 0x04 ? Foreign(at, 3, "DLE EOT")
                                                     : NotUnderstood(at, 1);
        case 0x1C:
            if (Has(at + 1) && (At(at + 1) == 0x70 || At(at + 1) == 0x71)) {
                return Foreign(at, 2, At(at + 1) == 0x70 ? "FS p" : "FS q");
            }
            LogOnce("drawer", at, "FS: cash drawer pulse");
            return at + 1;
        default:
            return NotUnderstood(at, 1);
        }
    }

    size_t Text(size_t at) {
        const std::string& problem = m_paper.FontProblem();
        const bool drawn = problem.empty();
        if (!drawn) {
            LogOnce("font", at, "text not drawn: " + problem);
        }
        for (; Has(at) && At(at) >= 0x20; ++at) {
            if (drawn) {
                m_paper.Character(SingleByteCharacter(m_codePage, At(at)));
            }
        }
        return at;
    }

    void Initialise() {
        m_paper.modes = PrintModes{};
        m_codePage = CodePage::Pc437;
    }

    size_t Esc(size_t at) {
        if (!Whole(at, 2, "ESC")) {
            return m_job.size();
        }
        PrintModes& modes = m_paper.modes;
        const uint8_t c = At(at + 1);
        // The commands of one parameter byte and their sizes.
        if (c == 0x40) {
            Log(at, "ESC @: initialise");
            m_paper.ClearLine();
            Initialise();
            return at + 2;
        }
        switch (c) {
        case 0x45:
            modes.bold = true;
            return at + 2;
        case 0x46:
            modes.bold = false;
            return at + 2;
        case 0x34:
            modes.reverse = true;
            return at + 2;
        case 0x35:
            modes.reverse = false;
            return at + 2;
        case 0x0E:
            modes.tall = 2;
            return at + 2;
        case 0x14:
            modes.tall = 1;
            return at + 2;
        case 0x30: // ESC 0: 3 mm lines
            modes.lineSpacing = 24;
            return at + 2;
        case 0x4D:
        case 0x50:
        case 0x3A:
        case 0x67:
            return at + 2; // character pitch: the font keeps its own
        default:
            break;
        }
        if (!Has(at + 2)) {
            Log(at, "ESC: cut short by the end of the job; ignored");
            return m_job.size();
        }
        const uint8_t n = At(at + 2);
        switch (c) {
        case 0x2D:
            modes.underline = Digit(n) != 0 ? 1 : 0;
            return at + 3;
        case 0x57:
            modes.wide = std::clamp(Digit(n) + 1, 1, 6);
            return at + 3;
        case 0x68:
            modes.tall = std::clamp(Digit(n) + 1, 1, 6);
            return at + 3;
        case 0x61:
            m_paper.FeedLines(n);
            return at + 3;
        case 0x4A: // n / 4 mm at 8 dots a millimetre
            m_paper.Feed(n * 2);
            return at + 3;
        case 0x49:
            m_paper.Feed(n);
            return at + 3;
        case 0x7A:
            modes.lineSpacing = Digit(n) == 0 ? 24 : 32;
            return at + 3;
        case 0x64:
            return Cut(at, Digit(n));
        case 0x5F:
        case 0x20:
        case 0x52:
        case 0x2F:
        case 0x6C:
        case 0x51:
            return at + 3; // upperline, spacing, character set, slash zero, margins
        case 0x69:
            if (!Whole(at, 4, "ESC i")) {
                return m_job.size();
            }
            modes.tall = std::clamp(Digit(n) + 1, 1, 6);
            modes.wide = std::clamp(Digit(At(at + 3)) + 1, 1, 6);
            return at + 4;
        case 0x07:
            return std::min(at + 4, m_job.size()); // pulse widths for BEL
        case 0x1E:
            return EscRs(at);
        case 0x1D:
            return EscGs(at);
        case 0x1C:
            return EscFs(at);
        case 0x62:
            return Barcode(at);
        case 0x06:
            if (n == 0x01) {
                Log(at, "ESC ACK SOH: status asked; answered where the connection carries replies");
                return at + 3;
            }
            return NotUnderstood(at, 3);
        case 0x23:
            if (n == 0x2A && Whole(at, 5, "ESC # *")) {
                Log(at, "ESC # *: version asked; answered where the connection carries replies");
                return at + 5;
            }
            return NotUnderstood(at, 3);
        default:
            return NotUnderstood(at, 2);
        }
    }

    // ESC d n: 0 and 1 cut where the paper is, 2 and 3 feed to the cutter first.
    size_t Cut(size_t at, int n) {
        const std::string command = Format("ESC d %d", n);
        if (n < 0 || n > 3) {
            Log(at, command + ": cut mode not 0 to 3; no cut");
            return at + 3;
        }
        m_paper.PrintLine();
        const char* kind = (n & 1) != 0 ? "partial cut" : "full cut";
        if (m_paper.Height() == 0) {
            Log(at,
                command + ": " + kind + "; nothing printed since the last cut, no piece of paper");
            return at + 3;
        }
        MonoPicture piece = m_paper.Cut(n >= 2 ? 96 : 0);
        Log(at, Format("%s: %s: piece %zu, %d dots long", command.c_str(), kind,
                       m_outcome.paper.size() + 1, piece.height));
        m_outcome.paper.push_back(std::move(piece));
        return at + 3;
    }

    size_t EscRs(size_t at) {
        if (!Whole(at, 4, "ESC RS")) {
            return m_job.size();
        }
        if (At(at + 2) == 0x61) {
            Log(at, Format("ESC RS a %d: automatic status %s", Digit(At(at + 3)),
                           Digit(At(at + 3)) != 0 ? "on" : "off"));
        } else if (At(at + 2) == 0x46) {
            m_paper.modes.font = Digit(At(at + 3)) == 1 ? 1 : 0;
        }
        return at + 4;
    }

    size_t EscGs(size_t at) {
        if (!Whole(at, 4, "ESC GS")) {
            return m_job.size();
        }
        const uint8_t c = At(at + 2);
        const uint8_t n = At(at + 3);
        if (c == 0x61) {
            m_paper.PrintLine();
            m_paper.modes.align = std::clamp(Digit(n), 0, 2);
            return at + 4;
        }
        if (c == 0x74) {
            m_codePage = n == 32 ? CodePage::Wpc1252 : CodePage::Pc437;
            if (n != 0 && n != 1 && n != 32) {
                LogOnce(Format("code page %u", n), at,
                        Format("ESC GS t %u: code page not drawn here; PC437 used", n));
            }
            return at + 4;
        }
        if (c == 0x79) {
            return Qr(at);
        }
        if ((c == 0x28 || c == 0x29 || c == 0x38) && n == 0x4C) {
            return Graphics(at, c == 0x29);
        }
        return NotUnderstood(at, 3);
    }

    // ESC b n1 n2 n3 n4 data RS: n1 the symbology, n2 the readable line,
    // n3 the module width, n4 the height in dots.
    size_t Barcode(size_t at) {
        if (!Whole(at, 6, "ESC b")) {
            return m_job.size();
        }
        size_t end = at + 6;
        while (Has(end) && At(end) != 0x1E) {
            ++end;
        }
        if (!Has(end)) {
            Log(at, "ESC b: data without its closing RS; nothing printed");
            return m_job.size();
        }
        const int type = Digit(At(at + 2));
        const bool readable = Digit(At(at + 3)) >= 2;
        const int module = std::clamp(Digit(At(at + 4)), 1, 3) + 1;
        const int height = std::max<int>(At(at + 5), 1);
        const std::string data(m_job.begin() + static_cast<std::ptrdiff_t>(at + 6),
                               m_job.begin() + static_cast<std::ptrdiff_t>(end));
        BarcodeModules code;
        switch (type) {
        case 1:
            code = EncodeUpcA(data);
            break;
        case 2:
            code = EncodeEan8(data);
            break;
        case 3:
            code = EncodeEan13(data);
            break;
        case 4:
            code = EncodeCode39(data, 3);
            break;
        case 6:
            code = EncodeCode128(data);
            break;
        default:
            LogOnce(Format("ESC b %d", type), at,
                    Format("ESC b %d: bar code system not drawn here, skipped", type));
            return end + 1;
        }
        const int width = static_cast<int>(code.modules.size()) * module;
        if (!code.problem.empty() || width > m_paper.Width()) {
            Log(at, Format("ESC b %d: %s; nothing printed", type,
                           code.problem.empty() ? "wider than the paper" : code.problem.c_str()));
            return end + 1;
        }
        MonoPicture bars = MonoPicture::Blank(static_cast<int>(code.modules.size()), 1);
        for (size_t i = 0; i < code.modules.size(); ++i) {
            if (code.modules[i]) {
                bars.SetDot(static_cast<int>(i), 0);
            }
        }
        m_paper.PrintLine();
        const int left = m_paper.AlignedLeft(width);
        m_paper.Picture(bars, module, height);
        if (readable) {
            m_paper.CentredText(std::u32string(code.text.begin(), code.text.end()), 0, left, width);
        }
        return end + 1;
    }

    // ESC GS y S 0/1/2 n (model, level, cell), D 1 m nL nH data, P (print).
    size_t Qr(size_t at) {
        const uint8_t what = At(at + 3);
        if (what == 0x53) {
            if (!Whole(at, 6, "ESC GS y S")) {
                return m_job.size();
            }
            const int n = Digit(At(at + 5));
            if (At(at + 4) == 0x31) {
                m_qrLevel = std::clamp(n, 0, 3);
            } else if (At(at + 4) == 0x32) {
                m_qrModule = std::clamp(n, 1, 8);
            }
            return at + 6;
        }
        if (what == 0x44) {
            if (!Whole(at, 8, "ESC GS y D")) {
                return m_job.size();
            }
            const size_t length = At(at + 6) | size_t{At(at + 7)} << 8;
            if (at + 8 + length > m_job.size()) {
                Log(at, "ESC GS y D: data cut short by the end of the job; ignored");
                return m_job.size();
            }
            m_qrData.assign(m_job.begin() + static_cast<std::ptrdiff_t>(at + 8),
                            m_job.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
            return at + 8 + length;
        }
        if (what == 0x50) {
            std::string problem;
            const auto rows = EncodeQr(m_qrData, m_qrLevel, &problem);
            const int size = static_cast<int>(rows.size());
            if (rows.empty() || size * m_qrModule > m_paper.Width()) {
                Log(at, "ESC GS y P: " + (rows.empty() ? problem : "wider than the paper") +
                            "; nothing printed");
                return at + 4;
            }
            MonoPicture picture = MonoPicture::Blank(size, size);
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)]) {
                        picture.SetDot(x, y);
                    }
                }
            }
            m_paper.Picture(picture, m_qrModule, m_qrModule);
            return at + 4;
        }
        return NotUnderstood(at, 4);
    }

    // ESC FS q and ESC FS p: Star Line Mode's logos.
    size_t EscFs(size_t at) {
        const uint8_t c = At(at + 2);
        if (m_language != PrinterLanguage::StarLine || (c != 0x71 && c != 0x70)) {
            return NotUnderstood(at, 3);
        }
        StarMemoryJob job{m_model, m_memory, m_job, m_today, m_outcome, m_paper};
        return c == 0x71 ? StarRegisterLogos(job, at) : StarPrintLogo(job, at);
    }

    // ESC GS ( L and ESC GS ) L: StarPRNT's NV graphics.
    size_t Graphics(size_t at, bool transmit) {
        if (m_language != PrinterLanguage::StarPrnt) {
            return NotUnderstood(at, 4);
        }
        StarMemoryJob job{m_model, m_memory, m_job, m_today, m_outcome, m_paper};
        return StarGraphics(job, at, transmit);
    }

    const PrinterModel& m_model;
    PrinterLanguage m_language;
    NvMemory& m_memory;
    std::span<const uint8_t> m_job;
    std::string_view m_today;
    ReceiptPaper m_paper;
    CodePage m_codePage = CodePage::Pc437;
    std::string m_qrData;
    int m_qrLevel = 1;
    int m_qrModule = 4;
};

} // namespace

std::string_view PrinterLanguageName(PrinterLanguage language) {
    switch (language) {
    case PrinterLanguage::StarLine:
        return "star-line";
    case PrinterLanguage::StarPrnt:
        return "star-prnt";
    case PrinterLanguage::EscPos:
        break;
    }
    return "esc-pos";
}

std::optional<PrinterLanguage> ParsePrinterLanguage(std::string_view name) {
    for (const PrinterLanguage language :
         {PrinterLanguage::EscPos, PrinterLanguage::StarLine, PrinterLanguage::StarPrnt}) {
        if (name == PrinterLanguageName(language)) {
            return language;
        }
    }
    return std::nullopt;
}

JobOutcome RunStarJob(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                      std::string_view today, MonoPicture uncut) {
    return StarInterpreter(model, model.language, memory, job, today, std::move(uncut)).Run();
}

JobOutcome RunLanguageJob(const PrinterModel& model, NvMemory& memory, std::span<const uint8_t> job,
                          std::string_view today, MonoPicture uncut) {
    if (model.language == PrinterLanguage::EscPos) {
        return RunJob(model, memory, job, today, std::move(uncut));
    }
    return RunStarJob(model, memory, job, today, std::move(uncut));
}

std::string NotUnderstoodReason(const PrinterModel& model, const JobOutcome& outcome,
                                size_t jobBytes) {
    const ForeignCommands& foreign = outcome.foreign;
    if (foreign.commands == 0) {
        return {};
    }
    std::string offsets;
    for (const size_t offset : foreign.offsets) {
        offsets += (offsets.empty() ? "" : ", ") + std::to_string(offset);
    }
    if (foreign.commands > foreign.offsets.size()) {
        offsets += ", ...";
    }
    const std::string language(PrinterLanguageName(model.language));
    return "not understood: the job looks like " + foreign.language + ", not " + language + ": " +
           std::to_string(foreign.bytes) + " of its " + std::to_string(jobBytes) +
           " bytes are in " + std::to_string(foreign.commands) + " commands the " + language +
           " printer does not know (at " + offsets + "); nothing drawn";
}

} // namespace tessaline
