// SPDX-License-Identifier: MIT
// Each printer is one worker's: connect, ask, plan, write what differs, check
// each key in the printer's key list, and hand back what to remember. The
// state file is read before and written after, under its lock.
#include "fleet/Apply.h"

#include "Sha256.h"
#include "base/JsonText.h"
#include "base/Words.h"
#include "imaging/LogoShaping.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterNvRecords.h"
#include "platform/Spooler.h"
#include "platform/connection/PrinterConnection.h"
#include "printer/AutoLogoSteps.h"
#include "printer/GraphicSteps.h"
#include "printer/NvGraphics.h"
#include "printer/PrinterMethods.h"
#include "printer/PrinterProfiles.h"
#include "printer/PrinterReport.h"
#include "printer/StarPrntGraphics.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace tessaline {

namespace {

using Clock = std::chrono::steady_clock;

struct PreparedLogo {
    std::string file; // as the manifest names it, for messages
    RasterGraphic graphic;
    std::vector<uint8_t> bitImageFile; // the dots as a one-bit BMP, for NV bit images
    std::string bitImageHash;          // its SHA-256
};
// By logo name and the width it is fitted to for fit = "paper" (0 for any
// other logo): such a logo is converted once for each paper width it meets.
using LogoWidth = std::pair<std::string, int32_t>;

// The printer's paper width: the narrower of the manifest's and the one its
// own settings give; 0 when neither is known.
int32_t PaperOf(const ManifestPrinter& printer, const ApplyOptions& options) {
    int32_t paper = printer.paperWidth;
    if (options.paperWidthOf) {
        if (const auto own = options.paperWidthOf(printer.address)) {
            paper = paper == 0 ? *own : std::min(paper, *own);
        }
    }
    return paper;
}

// The prepared logo `name` a printer of paper `paper` uses; nothing for a
// fit = "paper" logo on a printer whose paper is not known.
std::optional<LogoWidth> LogoFor(const Manifest& manifest, const std::string& name, int32_t paper) {
    if (!manifest.logos.at(name).fitPaper) {
        return LogoWidth{name, 0};
    }
    if (paper == 0) {
        return std::nullopt;
    }
    return LogoWidth{name, paper};
}

std::string LogoPlace(const Manifest& manifest, const ManifestLogo& logo) {
    std::string place = manifest.file.string();
    place.append(":").append(std::to_string(logo.line)).append(":");
    place.append(std::to_string(logo.column)).append(": ");
    return place;
}

// The one-bit BMP of a graphic's dots: what an FS q upload sends as it is.
std::vector<uint8_t> OneBitFile(const RasterGraphic& g) {
    const auto w = static_cast<size_t>(g.width);
    const auto h = static_cast<size_t>(g.height);
    const size_t rowBytes = GraphicRowBytes(g.width);
    std::vector<uint8_t> mono(w * h, 255);
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            if ((g.rows[y * rowBytes + x / 8] & (0x80u >> (x % 8))) != 0) {
                mono[y * w + x] = 0;
            }
        }
    }
    return EncodeDotsBmp(mono, w, h);
}

// Every logo the printers use, converted once for each paper width it is
// fitted to. A width known only once a printer has been asked (its model's
// paper) is converted then, by the first worker that needs it.
class LogoShelf {
public:
    LogoShelf(const Manifest& manifest, const ApplyOptions& options)
        : m_manifest(manifest), m_options(options) {}

    // The logo as `which` names it, with its one-bit file when `bitImage`;
    // fails with the manifest's place and why it cannot be read.
    Result<const PreparedLogo*> Get(const LogoWidth& which, bool bitImage) {
        using R = Result<const PreparedLogo*>;
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_logos.find(which);
        if (found == m_logos.end()) {
            auto made = Convert(which);
            if (!made) {
                return R::FailAs(made);
            }
            found = m_logos.emplace(which, std::move(made.Value())).first;
        }
        PreparedLogo& p = found->second;
        if (bitImage && p.bitImageFile.empty()) {
            p.bitImageFile = OneBitFile(p.graphic);
            p.bitImageHash = Sha256Hex(p.bitImageFile);
        }
        return &p;
    }

private:
    Result<PreparedLogo> Convert(const LogoWidth& which) const {
        using R = Result<PreparedLogo>;
        const ManifestLogo& logo = m_manifest.logos.at(which.first);
        const std::string place = LogoPlace(m_manifest, logo);
        std::string file = logo.file.string();
        const int32_t fit = logo.fitPaper ? which.second : logo.fit;
        if ((fit > 0 || logo.dither) && m_options.shapeLogo) {
            auto shaped = m_options.shapeLogo(logo, fit);
            if (!shaped) {
                return R::Fail(place + shaped.Reason());
            }
            file = shaped.Value();
        }
        auto graphic = ConvertGraphic(file, logo.imageMode, logo.brightness);
        if (!graphic) {
            return R::Fail(place + graphic.Reason());
        }
        PreparedLogo p;
        p.file = logo.file.string();
        p.graphic = std::move(graphic.Value());
        // The same checks a store makes, before anything is sent anywhere.
        if (const auto command = StoreGraphicCommand(GraphicKey{'A', '1'}, p.graphic); !command) {
            return R::Fail(place + logo.file.string() + ": " + command.Reason());
        }
        return p;
    }

    const Manifest& m_manifest;
    const ApplyOptions& m_options;
    std::mutex m_lock;
    std::map<LogoWidth, PreparedLogo> m_logos; // stays put as others are added
};

// Converts, before any printer is reached, every logo for every paper width
// known without asking: a file that cannot be read stops the run at once.
Result<void> PrepareLogos(const Manifest& manifest, const ApplyOptions& options, LogoShelf& shelf) {
    for (const ManifestPrinter& p : manifest.printers) {
        const int32_t paper = PaperOf(p, options);
        for (const auto& [key, logo] : p.logos) {
            // A width found by asking comes later; a printer without one is
            // refused on its own.
            if (const auto wanted = LogoFor(manifest, logo, paper)) {
                if (auto got = shelf.Get(*wanted, NumberedLogos(p.commands)); !got) {
                    return Result<void>::FailAs(got);
                }
            }
        }
    }
    return {};
}

// An automatic logo as the state records it: AutoLogoText's, "off" for none.
std::string RecordedAutoLogo(const AutoLogoSettings& settings) {
    return settings.Any() ? AutoLogoText(settings) : std::string("off");
}

// The keys of a printer's list as text.
std::vector<std::string> KeyTexts(const std::vector<GraphicKey>& keys) {
    std::vector<std::string> texts;
    texts.reserve(keys.size());
    for (const GraphicKey& k : keys) {
        texts.push_back(k.Text());
    }
    return texts;
}

bool Holds(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

GraphicKey KeyOf(const std::string& text) {
    return ParseGraphicKey(text).ValueOr(GraphicKey{});
}

// What a worker hands back besides the printer's result.
struct Work {
    PrinterResult result;
    std::optional<PrinterRecord> record; // the printer's new record; nothing: keep the old one
};

class PrinterWorker {
public:
    PrinterWorker(const Manifest& manifest, const ManifestPrinter& printer, LogoShelf& logos,
                  const PrinterRecord* record, const ApplyOptions& options, std::string today,
                  std::mutex& spoolerLock)
        : m_manifest(manifest), m_printer(printer), m_logos(logos), m_old(record),
          m_options(options), m_paper(PaperOf(printer, options)), m_today(std::move(today)),
          m_spoolerLock(spoolerLock) {
        m_work.result.name = printer.name;
        m_work.result.address = printer.address;
        m_work.result.autoLogo.wanted = printer.autoLogo;
    }

    Work Run() {
        const auto start = Clock::now();
        ReadSharedRecord();
        if (std::string why = AutoLogoRefusal(); !why.empty()) {
            R().outcome = Outcome::Refused;
            R().reason = std::move(why);
        } else if (IsPrinterAddress(m_printer.address)) {
            ByAddress();
        } else if (Ready()) {
            ByQueue();
        }
        CountSharedWrites();
        m_work.result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return std::move(m_work);
    }

private:
    // What every tool has recorded of this printer.
    void ReadSharedRecord() {
        if (m_options.printerRecords.empty()) {
            return;
        }
        auto read = PrinterNvRecords(m_options.printerRecords).Read(m_printer.address);
        if (!read) {
            // Counted afresh from this run on.
            AddNote(read.Reason());
            return;
        }
        m_shared = std::move(read.Value());
        if (m_shared && !m_shared->model.empty()) {
            UseProfileOf({}, m_shared->model);
        }
    }

    // The profile of the model the printer answered with, now or last time.
    void UseProfileOf(const std::string& maker, const std::string& model) {
        const auto match = MatchProfile(maker, model);
        m_profile = match ? match->profile : nullptr;
    }

    // This run's writes, told to the other tools.
    void CountSharedWrites() {
        if (m_options.printerRecords.empty() || m_options.planOnly || R().writes == 0) {
            return;
        }
        const std::string serial = m_work.record ? m_work.record->serial : std::string();
        // The widths of what it now holds, for the prints that cannot ask.
        const std::string holds = R().commands == "star-line"   ? std::string(kHoldsBitImages)
                                  : R().commands == "star-prnt" ? std::string(kHoldsGraphics)
                                                                : R().commands;
        NvWidthChange widths;
        widths.deleted = R().deleted;
        if (holds == kHoldsBitImages) {
            widths.images.emplace();
        }
        for (const std::string& key : R().stored) {
            const int32_t width = Logo(LogoOf(key)).graphic.width;
            if (widths.images) {
                widths.images->push_back((width + 7) / 8 * 8);
            } else {
                widths.stored.emplace_back(key, width);
            }
        }
        auto counted = PrinterNvRecords(m_options.printerRecords)
                           .Count(m_printer.address, R().writes, "apply of " + m_printer.name,
                                  m_today, serial, holds, widths);
        if (!counted) {
            AddNote("the writes could not be counted for the other tools: " + counted.Reason());
            return;
        }
        if (m_work.record) {
            m_work.record->changes = counted.Value().changes;
        }
    }

    void AddNote(const std::string& note) {
        R().note.append(R().note.empty() ? "" : "; ").append(note);
    }

    // The width of its paper: the manifest's or its own settings', bounded by
    // the roll the printer says it is set for, else its model's line; 0 when
    // none is known.
    int32_t Paper() const {
        const auto model = KnownPaperOf(m_answeredRoll, m_profile).dots;
        if (!model) {
            return m_paper;
        }
        return m_paper == 0 ? *model : std::min(m_paper, *model);
    }

    // Takes this printer's logos, fitted to its paper where asked, once its
    // model is as known as it will be, and checks they fit the paper. False,
    // with the result set, when one cannot be had or is too wide. Their
    // one-bit files are made too where they go as NV bit images.
    bool Ready() { return Ready(NumberedLogos(m_printer.commands)); }
    bool Ready(bool bitImages) {
        const int32_t paper = Paper();
        for (const auto& [key, name] : m_printer.logos) {
            const auto wanted = LogoFor(m_manifest, name, paper);
            if (!wanted) {
                R().outcome = Outcome::Refused;
                R().reason = "[logos." + name + "] has fit = \"paper\" and the paper width of " +
                             m_printer.name + " is not known: give " + m_printer.name +
                             " paper-width = DOTS, \"58mm\" or \"80mm\"; nothing written";
                return false;
            }
            const auto got = m_logos.Get(*wanted, bitImages);
            if (!got) {
                Fail(got.Reason());
                return false;
            }
            m_mine[name] = got.Value();
        }
        // The printer would print nothing of a logo wider than its paper.
        for (const auto& [key, name] : m_printer.logos) {
            const PreparedLogo& logo = Logo(name);
            if (paper > 0 && logo.graphic.width > paper) {
                R().outcome = Outcome::Refused;
                R().reason = logo.file + " (logo " + name + ") is " +
                             std::to_string(logo.graphic.width) + " dots wide, " + m_printer.name +
                             " prints " + std::to_string(paper) + ": give [logos." + name +
                             "] fit = " + std::to_string(paper) +
                             " or fit = \"paper\"; nothing written";
                return false;
            }
        }
        return true;
    }

    PrinterResult& R() { return m_work.result; }
    const PrinterResult& R() const { return m_work.result; }

    void Fail(const std::string& why) {
        R().outcome = Outcome::Failed;
        R().reason = why;
        if (!R().stored.empty()) {
            R().reason.append(" (verified before that: ").append(Joined(R().stored)).append(")");
        }
    }

    // The store command and its hash of each key, in key order.
    void Want(bool graphics) {
        m_wanted.clear();
        m_commands.clear();
        for (const auto& [key, logo] : m_printer.logos) {
            const PreparedLogo& p = Logo(logo);
            if (graphics) {
                // A StarPRNT graphic is recorded by the bytes that store it there.
                auto command = m_printer.commands == NvCommands::StarPrnt
                                   ? StarStoreGraphicCommand(KeyOf(key), p.graphic)
                                   : StoreGraphicCommand(KeyOf(key), p.graphic);
                m_wanted.push_back({key, Sha256Hex(command.Value())});
                m_commands.push_back(std::move(command.Value()));
            } else {
                m_wanted.push_back({key, p.bitImageHash});
            }
        }
    }

    // The record this run starts from: the old one while it describes this
    // printer and kind of memory, else a fresh one.
    PrinterRecord StartRecord(const std::string& serial, bool graphics) const {
        const char* commands = graphics ? "nv-graphics" : "nv-bit-images";
        PrinterRecord record;
        if (m_old != nullptr && !R().plan.swapped && m_old->commands == commands) {
            record = *m_old;
        } else if (m_old != nullptr) {
            record.day = m_old->day;
            record.writes = m_old->writes;
        }
        if (!serial.empty()) {
            record.serial = serial;
        }
        record.commands = commands;
        return record;
    }

    PrinterPlan Plan(bool graphics, std::optional<std::vector<std::string>> held,
                     const std::string& serial) {
        PlanInput in;
        in.graphics = graphics;
        in.wanted = m_wanted;
        in.held = std::move(held);
        in.record = m_old;
        in.serial = serial;
        in.prune = m_printer.prune;
        in.replaceOtherLogos = m_printer.replaceOtherLogos;
        in.today = m_today;
        in.maxWrites = m_options.maxWrites;
        in.autoLogoWrites = R().autoLogo.writes;
        // The shared record, unless another printer answers at the address now.
        if (m_shared &&
            (m_shared->serial.empty() || serial.empty() || m_shared->serial == serial)) {
            in.writesTodayByAll = m_shared->WritesOn(m_today);
            in.changedElsewhere =
                m_old != nullptr && m_old->changes != 0 && m_shared->changes != m_old->changes;
        }
        R().commands = m_printer.commands == NvCommands::StarPrnt   ? "star-prnt"
                       : graphics                                   ? "nv-graphics"
                       : m_printer.commands == NvCommands::StarLine ? "star-line"
                                                                    : "nv-bit-images";
        R().plan = PlanPrinter(in);
        return R().plan;
    }

    // True when the plan leaves nothing to write: the result is then set.
    bool Settled(const PrinterPlan& plan) {
        if (plan.erasureRefused) {
            R().outcome = Outcome::Refused;
            R().reason =
                std::string("storing ") +
                (R().commands == "nv-bit-images" || R().commands == "star-line" ? "NV bit images"
                                                                                : "NV graphics") +
                " erases the " + plan.erases + " it holds (recorded by an earlier " +
                "apply); give replace-other-logos = true to replace them; nothing written";
            return true;
        }
        if (plan.refused) {
            R().outcome = Outcome::Refused;
            R().reason = std::to_string(plan.writes) + " NV write" + (plan.writes == 1 ? "" : "s") +
                         " needed and " + std::to_string(plan.writesToday) +
                         " done today would pass the limit of " +
                         std::to_string(m_options.maxWrites) +
                         " a day (--max-writes); nothing written";
            return true;
        }
        if (!plan.Changes()) {
            R().outcome = Outcome::Unchanged;
            return true;
        }
        return false;
    }

    // A plan goes as far as the first write, every check made: true when
    // this is a plan, and the result is then set.
    bool PlanEndsHere() {
        if (!m_options.planOnly) {
            return false;
        }
        if (R().autoLogo.writes > 0) {
            R().autoLogo.done = AutoLogoDone::Planned;
        }
        R().outcome = Outcome::Planned;
        return true;
    }

    // Why the automatic logo cannot be set as the manifest gives it: a key
    // this run does not leave on the printer would print nothing. Empty when
    // it can, or when none is given.
    std::string AutoLogoRefusal() const {
        if (!m_printer.autoLogo) {
            return {};
        }
        for (const bool top : {true, false}) {
            const std::optional<LogoSetting>& logo =
                top ? m_printer.autoLogo->top : m_printer.autoLogo->bottom;
            if (!logo) {
                continue;
            }
            const std::string key = logo->key.Text();
            std::vector<std::string> keys;
            for (const auto& [k, name] : m_printer.logos) {
                keys.push_back(k);
            }
            if (!Holds(keys, key)) {
                return std::string("auto-logo ") + (top ? "top" : "bottom") + " '" + key +
                       "' is not among the logos stored or kept on " + m_printer.name + " (" +
                       (keys.empty() ? std::string("none") : Joined(keys, ", ")) +
                       "), so it would print nothing there; give it in logos or name one of "
                       "those; nothing written";
            }
        }
        return {};
    }

    // Whether the state's record still describes this printer.
    bool RecordTrusted(const std::string& serial) const {
        if (m_old == nullptr ||
            (!serial.empty() && !m_old->serial.empty() && m_old->serial != serial)) {
            return false;
        }
        return !(m_shared && m_old->changes != 0 && m_shared->changes != m_old->changes);
    }

    // Works out the commands that leave the printer printing the manifest's
    // automatic logo, asking it what it prints now through `link` (null: a
    // queue, which cannot be asked). What it does not say is taken from the
    // record of what was last sent it. Empty, or why the connection failed.
    std::string PlanAutoLogo(PrinterConnection* link, const std::string& serial) {
        if (!m_printer.autoLogo) {
            return {};
        }
        const AutoLogoSettings& wanted = *m_printer.autoLogo;
        AutoLogoResult& a = R().autoLogo;
        if (link != nullptr) {
            const auto asked = AskAutoLogo(*link);
            if (!asked) {
                return asked.Reason();
            }
            m_autoAnswer = asked.Value().kind;
            if (m_autoAnswer == AutoLogoAnswer::Kind::Read) {
                a.before = asked.Value().settings;
            }
        }
        if (a.before ? a.before->SameAs(wanted)
                     : RecordTrusted(serial) && m_old->autoLogo == RecordedAutoLogo(wanted)) {
            a.done = AutoLogoDone::Unchanged;
            if (!a.before) {
                AddNote("the automatic logo as sent before, not verified (" +
                        std::string(link == nullptr ? "a spooler queue carries no answer back"
                                                    : "it does not answer FS ( E 61") +
                        ")");
            }
            return {};
        }
        m_autoCommands = AutoLogoCommands(wanted, a.before);
        a.writes = m_autoCommands.writes;
        return {};
    }

    // Sends the automatic logo's commands worked out by PlanAutoLogo and
    // reads back what the printer prints by itself. Empty, or why it failed.
    std::string SetAutoLogo(PrinterConnection& link) {
        if (m_autoCommands.bytes.empty()) {
            return {};
        }
        AutoLogoResult& a = R().autoLogo;
        R().writes += m_autoCommands.writes;
        m_work.record->CountWrites(m_today, m_autoCommands.writes);
        // Until the printer shows it, what it prints is not known.
        m_work.record->autoLogo.clear();
        if (Result<void> sent = link.Send(m_autoCommands.bytes); !sent) {
            return sent.Reason();
        }
        const auto unverified = [&](std::string why) {
            a.done = AutoLogoDone::Sent;
            a.why = std::move(why);
            m_work.record->autoLogo = RecordedAutoLogo(*m_printer.autoLogo);
            return std::string();
        };
        if (m_autoAnswer != AutoLogoAnswer::Kind::Read) {
            return unverified(m_autoAnswer == AutoLogoAnswer::Kind::Unanswered
                                  ? "sent, not verified: " + m_printer.address +
                                        " does not answer what it prints by itself (FS ( E 61)"
                                  : "sent, not verified: " + m_printer.address +
                                        " answers FS ( E 61 in a way that cannot be read");
        }
        const auto after = AskAutoLogo(
            link, m_autoCommands.writes > 0 ? kNvWriteAnswerWait : std::chrono::milliseconds(0));
        if (!after) {
            return after.Reason();
        }
        switch (after.Value().kind) {
        case AutoLogoAnswer::Kind::Unanswered:
            return unverified("sent, not verified: " + m_printer.address +
                              " gave no answer after the change");
        case AutoLogoAnswer::Kind::Unreadable:
            return unverified("set, not read back: " + after.Value().why);
        case AutoLogoAnswer::Kind::Read:
            break;
        }
        if (!after.Value().settings.SameAs(*m_printer.autoLogo)) {
            return m_printer.address + " prints " + DescribeAutoLogo(after.Value().settings) +
                   " by itself after the change, not " + DescribeAutoLogo(*m_printer.autoLogo);
        }
        a.done = AutoLogoDone::Set;
        return {};
    }

    void ByAddress() {
        const auto address = ParsePrinterAddress(m_printer.address);
        if (!address) {
            return Fail(address.Reason());
        }
        if (m_printer.commands == NvCommands::StarPrnt) {
            return StarPrnt(false);
        }
        if (m_printer.commands == NvCommands::StarLine) {
            // A Star printer takes no ESC/POS question, and tells nothing of its
            // Line Mode logos: one upload, unconfirmed.
            if (!Ready()) {
                return;
            }
            Want(false);
            return BitImages({}, m_printer.address + " is a Star printer: sent, not verified",
                             false);
        }
        auto connected = ConnectPrinter(address.Value());
        if (!connected) {
            return Fail(connected.Reason());
        }
        PrinterConnection& link = *connected.Value();
        const auto status =
            AskOne(link, StatusRequest(StatusQuery::Printer), ShapeOf(StatusQuery::Printer));
        if (!status) {
            return Fail(status.Reason());
        }
        const bool answers = status.Value().has_value();
        std::string serial;
        if (answers) {
            const auto s = AskOne(link, IdentityRequest(IdentityQuery::SerialNumber),
                                  ShapeOf(IdentityQuery::SerialNumber));
            if (!s) {
                return Fail(s.Reason());
            }
            if (s.Value()) {
                serial.assign(s.Value()->begin(), s.Value()->end());
                R().serial = serial;
            }
        }
        // A printer that answers says what model it is now, whatever the
        // record says it was; one that does not is what the record says.
        if (answers) {
            if (const auto why = AskModel(link, serial); !why.empty()) {
                return Fail(why);
            }
        }
        if (!Ready()) {
            static_cast<void>(link.Finish());
            return;
        }
        bool graphics = m_printer.commands != NvCommands::BitImages;
        // Why an auto printer gets NV bit images; empty while it gets NV graphics.
        std::string bitImagesBecause;
        if (m_printer.commands == NvCommands::Auto && m_profile != nullptr &&
            m_profile->commands == ProfileCommands::NvBitImages) {
            // Its model has no NV graphics: nothing to ask.
            bitImagesBecause = "its model, the " + m_profile->Name() +
                               ", keeps NV bit images only (" + m_profile->commandsSource + ")";
        } else if (m_printer.commands == NvCommands::Auto) {
            if (!answers) {
                return Fail(m_printer.address + " does not answer, so which NV commands it takes "
                                                "is unknown; give commands = \"nv-graphics\" or "
                                                "\"nv-bit-images\"");
            }
            const auto total = AskOne(link, NvGraphicsRequest(NvGraphicsQuery::Total),
                                      ShapeOf(NvGraphicsQuery::Total));
            if (!total) {
                return Fail(total.Reason());
            }
            if (!total.Value()) {
                bitImagesBecause = "it answers no NV graphics question";
            }
        }
        if (!bitImagesBecause.empty()) {
            // One FS q upload of all its logos, numbered in the order of
            // their keys: the line says which number each key became, the
            // number a receipt prints it by (FS p n).
            graphics = false;
            std::string numbers;
            size_t n = 0;
            for (const auto& [key, logo] : m_printer.logos) {
                numbers += n == 0 ? "" : ", ";
                numbers += key;
                numbers += " is NV bit image ";
                numbers += std::to_string(++n);
            }
            AddNote(bitImagesBecause + ": " + (numbers.empty() ? "no logos" : numbers));
            if (!Ready(true)) {
                static_cast<void>(link.Finish());
                return;
            }
        }
        Want(graphics);
        if (!graphics) {
            // FS q has no key list: the state alone says what the printer holds.
            static_cast<void>(link.Finish());
            connected.Value().reset();
            return BitImages(serial,
                             answers ? "the printer cannot confirm NV bit images"
                                     : m_printer.address + " does not answer: sent, not verified",
                             answers);
        }
        if (!answers) {
            return Fail(m_printer.address + " does not answer: its key list is the only check of "
                                            "what it stored; nothing written");
        }
        const auto keys = AskGraphicKeys(link);
        if (!keys) {
            return Fail(keys.Reason());
        }
        if (!keys.Value()) {
            return Fail(m_printer.address + " does not answer the NV graphics key list; nothing "
                                            "written (commands = \"nv-bit-images\" for a printer "
                                            "without NV graphics)");
        }
        const auto free =
            AskOne(link, NvGraphicsRequest(NvGraphicsQuery::Free), ShapeOf(NvGraphicsQuery::Free));
        if (!free) {
            return Fail(free.Reason());
        }
        std::vector<std::string> held = KeyTexts(*keys.Value());
        if (const std::string why = PlanAutoLogo(&link, serial); !why.empty()) {
            return Fail(why);
        }
        const PrinterPlan plan = Plan(true, held, serial);
        if (Settled(plan)) {
            static_cast<void>(link.Finish());
            return;
        }
        // The key list tells nothing of the size of a logo it holds, and a
        // printer ignores a logo that does not fit, keeping the old one under
        // its key, which the list then shows as if stored. So a replacing
        // logo is counted whole, as nv store counts it.
        uint64_t needed = 0;
        bool replaces = false;
        for (const auto& [key, why] : plan.store) {
            needed += Logo(LogoOf(key)).graphic.rows.size();
            replaces = replaces || Holds(held, key);
        }
        const auto freeBytes = free.Value() ? ParseNvBytes(*free.Value()) : std::nullopt;
        if (freeBytes && needed > *freeBytes) {
            static_cast<void>(link.Finish());
            std::string why = "the logos to store take " + std::to_string(needed) + " bytes and " +
                              m_printer.address + " has " + std::to_string(*freeBytes) +
                              " bytes of NV graphics free";
            if (replaces) {
                why += " (a logo replacing one it holds is counted whole, since the old one's "
                       "size is not known: delete the old one first, with tessaline-cli nv "
                       "delete)";
            }
            return Fail(why + "; nothing written");
        }
        if (PlanEndsHere()) {
            static_cast<void>(link.Finish());
            return;
        }
        PrinterRecord record = StartRecord(serial, true);
        m_work.record = record; // from here on the writes are remembered
        const auto sendAndList = [&](std::span<const uint8_t> command) -> Result<void> {
            ++R().writes;
            m_work.record->CountWrites(m_today, 1);
            // The check nv store and nv delete hold each write to, on the
            // connection the plan was made on.
            const auto after =
                SendThenListKeys(link, command, LogoLanguage::EscPos, kNvWriteAnswerWait);
            if (!after) {
                return Result<void>::FailAs(after);
            }
            if (!after.Value()) {
                return Result<void>::Fail(m_printer.address + " did not answer within " +
                                          std::to_string(kNvWriteAnswerWait.count() / 1000) +
                                          " s of an NV write");
            }
            held = KeyTexts(*after.Value());
            return {};
        };
        for (const std::string& key : plan.remove) {
            if (Result<void> done = sendAndList(DeleteGraphicCommand(KeyOf(key))); !done) {
                return Fail(done.Reason());
            }
            if (Holds(held, key)) {
                return Fail(m_printer.address + " still holds " + key + " after its deletion");
            }
            m_work.record->keys.erase(key);
            R().deleted.push_back(key);
        }
        for (const auto& [key, why] : plan.store) {
            const size_t at = IndexOf(key);
            // Until the printer shows it kept the new bytes, the old are unknown.
            m_work.record->keys.erase(key);
            if (Result<void> done = sendAndList(m_commands[at]); !done) {
                return Fail(done.Reason());
            }
            if (!Holds(held, key)) {
                return Fail(m_printer.address + " did not keep " + key + " (" +
                            std::to_string(Logo(LogoOf(key)).graphic.rows.size()) + " bytes sent)");
            }
            m_work.record->keys[key] = m_wanted[at].hash;
            R().stored.push_back(key);
        }
        // Keys the printer lost are not remembered as held.
        for (auto it = m_work.record->keys.begin(); it != m_work.record->keys.end();) {
            it = Holds(held, it->first) ? std::next(it) : m_work.record->keys.erase(it);
        }
        // The automatic logo last: its keys are stored by now.
        if (const std::string why = SetAutoLogo(link); !why.empty()) {
            return Fail(why);
        }
        if (Result<void> done = link.Finish(); !done) {
            return Fail(done.Reason());
        }
        R().outcome = Outcome::Stored;
    }

    // A StarPRNT printer keeps NV graphics by key, through the same steps as
    // nv store and nv delete: each store read back and compared dot for dot,
    // each deletion checked in the key list. Its key list before the run
    // plans it with the state; through a spooler queue the steps go blind,
    // planned from the state alone.
    void StarPrnt(bool queue) {
        R().commands = "star-prnt";
        if (!Ready(false)) {
            return;
        }
        Want(true);
        Spooler none;
        // The run counts its writes itself, once each printer is done.
        GraphicsPrinter printer{queue ? *m_options.spooler : none, m_printer.address, {}, {}};
        printer.commands = LogoLanguage::StarPrnt;
        std::optional<std::vector<std::string>> held;
        if (!queue) {
            const GraphicOutcome listed = ListGraphicsStep(printer);
            if (listed.result == kPrinterNotSent) {
                return Fail(listed.why + ": its key list is the only check of what it holds; "
                                         "nothing written");
            }
            if (listed.result != kPrinterOk) {
                return Fail(listed.why);
            }
            held = KeyTexts(listed.keys);
        }
        const PrinterPlan plan = Plan(true, held, {});
        if (Settled(plan) || PlanEndsHere()) {
            return;
        }
        m_work.record = StartRecord({}, true); // from here on the writes are remembered
        // The key list after the last checked step; nothing while none was.
        std::optional<std::vector<GraphicKey>> after;
        const auto step = [&](const GraphicOutcome& done) {
            if (done.check == GraphicCheck::Verified) {
                after = done.keys;
                return;
            }
            after.reset();
            R().verified = false;
            // A printer that answers and did not confirm is never a success.
            R().unconfirmed = R().unconfirmed || done.check == GraphicCheck::Unanswered;
            if (R().note.find(done.why) == std::string::npos) {
                AddNote(done.why);
            }
        };
        for (const std::string& key : plan.remove) {
            ++R().writes;
            m_work.record->CountWrites(m_today, 1);
            const GraphicOutcome done = DeleteGraphicStep(printer, KeyOf(key));
            if (done.result != kPrinterOk) {
                return Fail(done.why);
            }
            m_work.record->keys.erase(key);
            R().deleted.push_back(key);
            step(done);
        }
        for (const auto& [key, why] : plan.store) {
            const size_t at = IndexOf(key);
            const PreparedLogo& logo = Logo(LogoOf(key));
            ++R().writes;
            m_work.record->CountWrites(m_today, 1);
            // Until the printer shows it kept the new dots, the old are unknown.
            m_work.record->keys.erase(key);
            const GraphicOutcome done =
                StoreGraphicStep(printer, KeyOf(key), logo.graphic, logo.file, {});
            if (done.result != kPrinterOk) {
                return Fail(done.why);
            }
            m_work.record->keys[key] = m_wanted[at].hash;
            R().stored.push_back(key);
            step(done);
        }
        // Keys the printer lost are not remembered as held.
        if (after) {
            const std::vector<std::string> now = KeyTexts(*after);
            for (auto it = m_work.record->keys.begin(); it != m_work.record->keys.end();) {
                it = Holds(now, it->first) ? std::next(it) : m_work.record->keys.erase(it);
            }
        }
        R().outcome = Outcome::Stored;
    }

    // One FS q upload of every logo, through the printer's address or queue.
    void BitImages(const std::string& serial, const std::string& note, bool answers) {
        const PrinterPlan plan = Plan(false, std::nullopt, serial);
        if (Settled(plan)) {
            return;
        }
        if (const std::string why = TooBigForBitImages(); !why.empty()) {
            R().outcome = Outcome::Refused;
            R().reason = why;
            return;
        }
        if (PlanEndsHere()) {
            return;
        }
        std::vector<LogoInMemory> files;
        for (const auto& [key, logo] : m_printer.logos) {
            const PreparedLogo& prepared = Logo(logo);
            files.push_back({prepared.file, prepared.bitImageFile});
        }
        Spooler none;
        const bool queue = !IsPrinterAddress(m_printer.address);
        std::string unverified;
        PrinterContext context{queue ? *m_options.spooler : none, {}, {}, {}, {}};
        context.note = [&unverified](const std::string& text) { unverified = text; };
        context.awaitNvWrite = answers;
        if (m_printer.commands == NvCommands::StarLine) {
            // ESC FS q: every logo in one Line Mode registration, numbered 1..n.
            context.commandsOf = [](const std::string&) -> Result<LogoLanguage> {
                return LogoLanguage::StarLine;
            };
        }
        PrinterRecord record = StartRecord(serial, false);
        record.CountWrites(m_today, 1);
        record.bitImages.clear();
        m_work.record = record;
        R().writes = 1;
        // The one-bit pictures carry their dots: "None" sends them as they are.
        if (const Result<void> sent =
                UploadLogos(context, m_printer.address, std::move(files), 0, 5);
            !sent) {
            return Fail(sent.Reason().empty()
                            ? "the upload failed (" + std::to_string(sent.Code()) + ")"
                            : sent.Reason());
        }
        for (const auto& [key, logo] : m_printer.logos) {
            m_work.record->bitImages.append(Logo(logo).bitImageHash);
            R().stored.push_back(key);
        }
        AddNote(unverified.empty() ? note : unverified);
        R().verified = false;
        R().outcome = Outcome::Stored;
    }

    // Asks the printer's maker and model, for its profile, and the roll it is
    // set for; both are kept in the printer's record for the tools that store
    // or print without asking. Empty, or why the connection failed.
    std::string AskModel(PrinterConnection& link, const std::string& serial) {
        std::string said[2];
        const IdentityQuery questions[2] = {IdentityQuery::Maker, IdentityQuery::Model};
        for (size_t i = 0; i < 2; ++i) {
            const auto answer = AskOne(link, IdentityRequest(questions[i]), ShapeOf(questions[i]));
            if (!answer) {
                return answer.Reason();
            }
            if (answer.Value()) {
                said[i].assign(answer.Value()->begin(), answer.Value()->end());
            }
        }
        const auto roll = AskOne(link, PaperWidthSettingRequest(), ReplyShape::CustomValue);
        if (!roll) {
            return roll.Reason();
        }
        if (roll.Value()) {
            m_answeredRoll = ParsePaperWidthSetting(*roll.Value());
        }
        if (!said[1].empty()) {
            UseProfileOf(said[0], said[1]);
        }
        if ((!said[1].empty() || m_answeredRoll) && !m_options.planOnly &&
            !m_options.printerRecords.empty()) {
            std::string model = said[1];
            if (!said[0].empty() && !said[1].empty()) {
                model = said[0];
                model += ' ';
                model += said[1];
            }
            static_cast<void>(PrinterNvRecords(m_options.printerRecords)
                                  .Remember(m_printer.address, model, serial, m_answeredRoll));
        }
        return {};
    }

    // Why the logos do not fit the FS q memory its profile gives; empty
    // when they do, or nothing is known of it.
    std::string TooBigForBitImages() const {
        if (m_profile == nullptr || !m_profile->nvBitImageBytes.Known()) {
            return {};
        }
        uint64_t need = 0;
        for (const auto& [key, logo] : m_printer.logos) {
            const PreparedLogo& p = Logo(logo);
            need += NvBitImageBytes(p.graphic.width, p.graphic.height);
        }
        if (need <= m_profile->nvBitImageBytes.value) {
            return {};
        }
        return "the logos need " + std::to_string(need) + " bytes of NV memory; the " +
               m_profile->Name() + " holds " + std::to_string(m_profile->nvBitImageBytes.value) +
               " (" + m_profile->nvBitImageBytes.source + "); nothing written";
    }

    // A spooler queue carries bytes one way: nothing can be asked or checked.
    void ByQueue() {
        if (m_options.spooler == nullptr) {
            return Fail("\"" + m_printer.address +
                        "\" is not an address and there are no "
                        "spooler queues here");
        }
        std::lock_guard<std::mutex> lock(m_spoolerLock);
        const std::string blind = "sent blind through the spooler queue, which carries no answer "
                                  "back: not verified";
        if (m_printer.commands == NvCommands::Auto) {
            return Fail("a spooler queue cannot be asked which NV commands its printer takes; give "
                        "commands = \"nv-graphics\" or \"nv-bit-images\"");
        }
        if (m_printer.commands == NvCommands::StarPrnt) {
            return StarPrnt(true);
        }
        if (NumberedLogos(m_printer.commands)) {
            Want(false);
            return BitImages({}, blind, false);
        }
        Want(true);
        static_cast<void>(PlanAutoLogo(nullptr, {}));
        const PrinterPlan plan = Plan(true, std::nullopt, {});
        if (Settled(plan) || PlanEndsHere()) {
            return;
        }
        auto queue = m_options.spooler->Open(m_printer.address, QueueAccess::Plain);
        if (!queue) {
            return Fail(queue.Reason());
        }
        if (Result<void> started = queue.Value()->StartRawJob("NV graphics", "RAW"); !started) {
            return Fail(started.Reason());
        }
        for (const auto& [key, why] : plan.store) {
            if (Result<void> w = queue.Value()->Write(m_commands[IndexOf(key)]); !w) {
                queue.Value()->CancelJob();
                return Fail(w.Reason());
            }
        }
        if (!m_autoCommands.bytes.empty()) {
            if (Result<void> w = queue.Value()->Write(m_autoCommands.bytes); !w) {
                queue.Value()->CancelJob();
                return Fail(w.Reason());
            }
        }
        if (Result<void> ended = queue.Value()->EndJob(); !ended) {
            return Fail(ended.Reason());
        }
        m_work.record = StartRecord({}, true);
        m_work.record->CountWrites(m_today, plan.writes);
        R().writes = plan.writes;
        for (const auto& [key, why] : plan.store) {
            m_work.record->keys[key] = m_wanted[IndexOf(key)].hash;
            R().stored.push_back(key);
        }
        if (!m_autoCommands.bytes.empty()) {
            R().autoLogo.done = AutoLogoDone::Sent;
            R().autoLogo.why = "sent, not verified: the spooler queue \"" + m_printer.address +
                               "\" carries no answer back";
            m_work.record->autoLogo = RecordedAutoLogo(*m_printer.autoLogo);
        }
        AddNote(blind);
        R().verified = false;
        R().outcome = Outcome::Stored;
    }

    size_t IndexOf(const std::string& key) const {
        for (size_t i = 0; i < m_wanted.size(); ++i) {
            if (m_wanted[i].key == key) {
                return i;
            }
        }
        return 0;
    }
    // The logo `name` as this printer gets it, fitted to its paper where asked.
    const PreparedLogo& Logo(const std::string& name) const { return *m_mine.at(name); }
    const std::string& LogoOf(const std::string& key) const {
        return m_printer.logos[IndexOf(key)].second;
    }

    const Manifest& m_manifest;
    const ManifestPrinter& m_printer;
    LogoShelf& m_logos;
    std::map<std::string, const PreparedLogo*> m_mine; // by logo name, once Ready()
    const PrinterRecord* m_old;
    std::optional<PrinterNvRecord> m_shared;   // what every tool recorded of it
    const PrinterProfile* m_profile = nullptr; // its model's, where one matched
    std::optional<int32_t> m_answeredRoll;     // the roll's millimetres, where it said
    const ApplyOptions& m_options;
    int32_t m_paper; // its paper width; 0 when not known
    std::string m_today;
    std::mutex& m_spoolerLock;
    std::vector<WantedLogo> m_wanted;
    std::vector<std::vector<uint8_t>> m_commands;
    // The automatic logo: how the printer answered what it prints by itself,
    // and the commands that change it (none: nothing to change).
    AutoLogoAnswer::Kind m_autoAnswer = AutoLogoAnswer::Kind::Unanswered;
    LogoCommands m_autoCommands;
    Work m_work;
};

} // namespace

const char* OutcomeName(Outcome o) {
    switch (o) {
    case Outcome::Unchanged:
        return "unchanged";
    case Outcome::Stored:
        return "stored";
    case Outcome::Planned:
        return "planned";
    case Outcome::Refused:
        return "refused";
    case Outcome::Failed:
        break;
    }
    return "failed";
}

const char* AutoLogoDoneName(AutoLogoDone done) {
    switch (done) {
    case AutoLogoDone::Untouched:
        return "untouched";
    case AutoLogoDone::Unchanged:
        return "unchanged";
    case AutoLogoDone::Planned:
        return "planned";
    case AutoLogoDone::Set:
        return "set";
    case AutoLogoDone::Sent:
        break;
    }
    return "sent";
}

std::string DescribeAutoLogo(const AutoLogoSettings& s) {
    std::string text;
    for (const bool top : {true, false}) {
        const std::optional<LogoSetting>& logo = top ? s.top : s.bottom;
        if (logo) {
            text += text.empty() ? "" : ", ";
            text += top ? "top " : "bottom ";
            text += logo->key.Text();
            text += " (";
            text += AlignName(logo->align);
            text += ")";
        }
    }
    return text.empty() ? std::string("none") : text;
}

bool ApplyReport::AllMatch() const {
    // An automatic logo nothing confirmed is never a success.
    return std::all_of(printers.begin(), printers.end(), [](const PrinterResult& r) {
        return r.outcome != Outcome::Failed && r.outcome != Outcome::Refused &&
               r.autoLogo.done != AutoLogoDone::Sent && !r.unconfirmed;
    });
}

Result<ApplyReport> ApplyManifest(const Manifest& manifest, const ApplyOptions& options) {
    using R = Result<ApplyReport>;
    LogoShelf logos(manifest, options);
    if (const Result<void> prepared = PrepareLogos(manifest, options, logos); !prepared) {
        return R::FailAs(prepared);
    }
    // Only one run at a time works from the state and replaces it; a plan
    // reads a state that is always whole.
    std::optional<FileLock> lock;
    if (!options.planOnly) {
        std::filesystem::path lockFile = options.stateFile;
        lockFile += ".lock";
        auto locked = FileLock::Acquire(lockFile);
        if (!locked) {
            return R::FailAs(locked);
        }
        lock.emplace(std::move(locked.Value()));
    }
    auto state = ReadFleetState(options.stateFile);
    if (!state) {
        return R::FailAs(state);
    }
    const std::string today = LocalDay();
    const size_t total = manifest.printers.size();
    std::vector<Work> done(total);
    std::atomic<size_t> next{0};
    std::atomic<size_t> finished{0};
    std::mutex spoolerLock, progressLock;
    // The workers read the records as the run found them; what they verify
    // goes into `saved`, written out as they finish.
    const FleetState found = state.Value();
    FleetState& saved = state.Value();
    std::mutex savedLock;
    bool unsaved = false;
    auto lastSave = std::chrono::steady_clock::now();
    std::string stateFailure;
    const auto save = [&](bool due) {
        if (!unsaved || !stateFailure.empty() ||
            (!due && std::chrono::steady_clock::now() - lastSave < kStateSaveEvery)) {
            return;
        }
        if (Result<void> written = WriteFleetState(options.stateFile, saved); !written) {
            stateFailure = written.Reason();
            return;
        }
        unsaved = false;
        lastSave = std::chrono::steady_clock::now();
    };
    const auto worker = [&] {
        for (size_t i = next++; i < total; i = next++) {
            const ManifestPrinter& p = manifest.printers[i];
            const auto old = found.printers.find(p.address);
            const PrinterRecord* record = old == found.printers.end() ? nullptr : &old->second;
            done[i] = PrinterWorker(manifest, p, logos, record, options, today, spoolerLock).Run();
            if (!options.planOnly) {
                std::lock_guard<std::mutex> guard(savedLock);
                if (done[i].record) {
                    saved.printers[p.address] = *done[i].record;
                    unsaved = true;
                }
                // What apply --failed takes up next time.
                const Outcome outcome = done[i].result.outcome;
                if (outcome == Outcome::Failed || outcome == Outcome::Refused) {
                    std::string& last = saved.failed[p.address];
                    unsaved = unsaved || last != OutcomeName(outcome);
                    last = OutcomeName(outcome);
                } else {
                    unsaved = saved.failed.erase(p.address) != 0 || unsaved;
                }
                save(false);
            }
            const size_t count = ++finished;
            if (options.progress) {
                std::lock_guard<std::mutex> guard(progressLock);
                options.progress(count, total);
            }
        }
    };
    const size_t threads = std::min(total, static_cast<size_t>(std::max(1, options.jobs)));
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (size_t t = 1; t < threads; ++t) {
        pool.emplace_back(worker);
    }
    worker();
    for (std::thread& t : pool) {
        t.join();
    }

    ApplyReport report;
    save(true);
    if (!stateFailure.empty()) {
        report.stateFailure = stateFailure + " (the printers were written; the next run stores "
                                             "again what it cannot find recorded)";
    }
    for (size_t i = 0; i < total; ++i) {
        report.writes += done[i].result.writes;
        report.changed = report.changed || done[i].result.writes > 0 ||
                         (options.planOnly && done[i].result.outcome == Outcome::Planned);
        report.printers.push_back(std::move(done[i].result));
    }
    return report;
}

} // namespace tessaline
