// SPDX-License-Identifier: MIT
// NV graphics by key: store, list, print and delete one logo at a time. A
// printer reached by its address is asked before and after each step, so the
// tool says what the printer kept, not only what it was sent; a spooler queue
// carries bytes one way, so through one the bytes go blind and the tool says so.
#include "NvCommand.h"

#include "Cli.h"
#include "NvAutoCommand.h"
#include "PaperWidth.h"
#include "ShapedLogos.h"
#include "base/JsonText.h"
#include "platform/HostSystem.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/PrinterNvRecords.h"
#include "platform/SystemSpooler.h"
#include "platform/pictures/PictureDecoders.h"
#include "printer/GraphicSteps.h"
#include "printer/NvGraphics.h"
#include "printer/PrinterProfiles.h"
#include "printer/PrinterReport.h"
#include "printer/StarPrntGraphics.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>
#include <string_view>

namespace tessaline {

namespace {

const std::string kNvUsage =
    "Usage: tessaline-cli nv store PRINTER KEY FILE [--dither KIND] [--threshold 0-255]\n"
    "                              [--brightness 0-10] [--fit DOTS|paper]\n"
    "                              [--paper-width DOTS|58mm|80mm]\n"
    "       tessaline-cli nv list PRINTER [--json]\n"
    "       tessaline-cli nv print PRINTER KEY [--scale 1x1|2x1|1x2|2x2]\n"
    "                              [--paper-width DOTS|58mm|80mm]\n"
    "       tessaline-cli nv delete PRINTER KEY|--all\n"
    "       tessaline-cli nv command --store KEY FILE [KEY FILE ...] [--dither KIND]\n"
    "                                [--threshold 0-255] [--brightness 0-10] [--fit DOTS]\n"
    "       tessaline-cli nv command --print KEY [KEY ...] [--scale 1x1|2x1|1x2|2x2]\n"
    "       tessaline-cli nv auto PRINTER [--top KEY] [--bottom KEY] [--align A] [--off]\n"
    "       (store, list, print, delete and command also take --commands esc-pos|star-prnt)\n"
    "\n"
    "NV graphics: logos a current printer keeps under two-character keys (\"A1\",\n"
    "\"LG\"; characters from blank to \"~\"), each stored, replaced, printed and\n"
    "deleted on its own (GS ( L, and GS 8 L for large ones).\n"
    "\n"
    "  store     converts FILE as upload does (the same options give the same dots)\n"
    "            and stores it under KEY; asks the free memory first and\n"
    "            refuses a logo that does not fit, then asks the key list and says\n"
    "            \"stored\" only when the printer holds the key; a logo wider than the\n"
    "            paper, where its width is known, is refused before anything is sent\n"
    "  list      the keys the printer holds, its NV graphics size and free bytes\n"
    "  print     prints a stored graphic, scaled 1 or 2 times each way\n"
    "  delete    deletes one graphic, or every one with --all\n"
    "  auto      the logos the printer prints by itself on every receipt\n"
    "            (see 'tessaline-cli nv auto --help')\n"
    "  command   writes the exact bytes to standard output, for receipts that\n"
    "            print a logo by key, or for storing one by other means\n"
    "\n";

const std::string kNvNotes =
    "\n"
    "PRINTER is an address (socket://HOST[:PORT], usb:///dev/usb/lpN, serial://PORT,\n"
    "file:///PATH), whose answers verify each step, or a spooler queue, through\n"
    "which the bytes are sent blind. A StarPRNT printer (--commands star-prnt, kept\n"
    "for it from then on) takes the same graphics behind an ESC (ESC GS ( L); it\n"
    "tells no free bytes, and sends each stored graphic back, which store compares\n"
    "with what it sent. On many printers defining NV graphics erases\n"
    "every NV bit image stored with upload (FS q), and an upload erases every NV\n"
    "graphic.\n";

constexpr const char* kBitImageWarning =
    "warning: on many printers defining NV graphics erases every NV bit image stored with "
    "FS q (tessaline-cli upload), and an FS q upload erases every NV graphic\n";

struct NvOptions {
    std::vector<std::string> words; // the arguments that are not options
    std::string printer;            // PRINTER as the user typed it
    std::optional<std::string> paperWidth;
    Conversion conversion;
    int32_t scaleX = 1;
    int32_t scaleY = 1;
    bool all = false, json = false, noVerify = false, print = false, store = false;
    bool replaceOtherLogos = false;
    std::optional<int64_t> connect, read;
    std::optional<std::string> commands; // --commands as given
    LogoLanguage language = LogoLanguage::EscPos;
};

Option CommandsOption() {
    return Choice("--commands", "LANGUAGE", {"esc-pos", "star-prnt", "auto"},
                  "the printer's command language, kept for it from then on (star-prnt: "
                  "StarPRNT, ESC GS ( L); auto uses the one kept, and where none is asks a "
                  "printer reached by its address, then its model's profile; without it, the one "
                  "kept or ESC/POS; one other than the one kept is refused");
}

Option ScaleOption() {
    return Choice("--scale", "1x1|2x1|1x2|2x2", {"1x1", "2x1", "1x2", "2x2"},
                  "print: the graphic 1 or 2 times as wide and as high");
}

std::vector<Option> Reaching(std::vector<Option> options) {
    options.push_back(
        Flag("--no-verify", "exit 0 when the printer does not answer (the bytes are sent)"));
    options.push_back(ConnectTimeoutOption());
    options.push_back(ReadTimeoutOption());
    options.push_back(WaitOption());
    options.push_back(CommandsOption());
    return options;
}

std::vector<Option> Storing(std::vector<Option> options) {
    for (Option& o : ConversionOptions(kImageModeAlias)) {
        options.push_back(std::move(o));
    }
    return options;
}

const std::vector<CliCommand>& Specs() {
    static const std::vector<CliCommand> specs = {
        {"nv store",
         "convert a logo and store it under a key",
         "",
         "",
         Reaching(Storing(
             {PaperWidthOption(),
              Flag("--replace-other-logos",
                   "store even where the printer's record says it holds NV bit images, which "
                   "storing NV graphics erases")})),
         "",
         {ValueKind::Printer, ValueKind::Text, ValueKind::File}},
        {"nv list",
         "the keys a printer holds and its free bytes",
         "",
         "",
         Reaching({Flag("--json", "list: one JSON object instead of text")}),
         "",
         {ValueKind::Printer}},
        {"nv print",
         "print a stored graphic",
         "",
         "",
         Reaching({ScaleOption(), PaperWidthOption()}),
         "",
         {ValueKind::Printer, ValueKind::Text}},
        {"nv delete",
         "delete one graphic, or every one",
         "",
         "",
         Reaching({Flag("--all", "delete: every graphic the printer holds")}),
         "",
         {ValueKind::Printer, ValueKind::Text}},
        {"nv command",
         "write a graphic's bytes to standard output",
         "",
         "",
         Storing({Flag("--store", "command: the bytes that store each KEY FILE pair"),
                  Flag("--print", "command: the bytes that print each KEY"), ScaleOption(),
                  CommandsOption()}),
         "",
         {ValueKind::Text, ValueKind::File},
         true},
        NvAutoCommandSpec(),
    };
    return specs;
}

// Every option of every nv command, each once, for the one help of nv.
std::vector<Option> AllNvOptions() {
    std::vector<Option> all;
    for (const CliCommand& spec : Specs()) {
        for (const Option& o : spec.options) {
            if (std::none_of(all.begin(), all.end(),
                             [&](const Option& seen) { return seen.name == o.name; })) {
                all.push_back(o);
            }
        }
    }
    return all;
}

const std::string& NvUsage() {
    static const std::string text = kNvUsage + OptionsHelp(AllNvOptions()) + kNvNotes;
    return text;
}

// Reads the options of the nv command `spec`; the reason when the command
// line is wrong.
Result<NvOptions> ParseNvOptions(const std::vector<std::string>& args, const CliCommand& spec) {
    const Result<ParsedOptions> options = ParseOptions(args, spec.options);
    if (!options) {
        return Result<NvOptions>::FailAs(options);
    }
    const ParsedOptions& parsed = options.Value();
    NvOptions o;
    o.words = parsed.operands;
    if (spec.words == "nv store" || spec.words == "nv command") {
        Result<Conversion> conversion = ConversionOf(parsed);
        if (!conversion) {
            return Result<NvOptions>::FailAs(conversion);
        }
        o.conversion = std::move(conversion).Value();
    }
    if (const std::string* scale = parsed.Text("--scale")) {
        o.scaleX = (*scale)[0] - '0';
        o.scaleY = (*scale)[2] - '0';
    }
    if (const std::string* paper = parsed.Text("--paper-width")) {
        o.paperWidth = *paper;
    }
    o.all = parsed.Has("--all");
    o.json = parsed.Has("--json");
    o.noVerify = parsed.Has("--no-verify");
    o.replaceOtherLogos = parsed.Has("--replace-other-logos");
    o.print = parsed.Has("--print");
    o.store = parsed.Has("--store");
    if (const std::string* commands = parsed.Text("--commands")) {
        o.commands = *commands;
    }
    PassJobWait(parsed);
    o.connect = parsed.Int("--connect-timeout");
    o.read = parsed.Int("--read-timeout");
    return o;
}

// The logo's dots as the conversion asks for them.
Result<RasterGraphic> Converted(const std::string& file, const Conversion& conversion,
                                ShapedLogos& shaped) {
    const auto prepared = shaped.Prepare(file, conversion.shaping);
    if (!prepared) {
        return Result<RasterGraphic>::FailAs(prepared);
    }
    auto graphic = ConvertGraphic(prepared.Value(), conversion.imageMode, conversion.brightness);
    if (!graphic) {
        return Result<RasterGraphic>::Fail(shaped.InUsersNames(graphic.Reason()));
    }
    return graphic;
}

// The printer a step goes to, with the timeouts the command line gave.
GraphicsPrinter PrinterOf(const Spooler& spooler, const NvOptions& o,
                          const std::filesystem::path& dataHome) {
    GraphicsPrinter printer{
        spooler,   o.words[0], std::nullopt, std::nullopt, CountInPrinterRecords(dataHome),
        o.language};
    if (o.connect) {
        printer.connectTimeout = std::chrono::milliseconds(*o.connect);
    }
    if (o.read) {
        printer.readTimeout = std::chrono::milliseconds(*o.read);
    }
    return printer;
}

// The exit status of a step that failed, its reason said.
int Failure(const GraphicOutcome& outcome, const std::string& printer, const std::string& who,
            const CliEnvironment& env, std::ostream& err) {
    err << who << ": " << outcome.why << "\n";
    if (outcome.result == kPrinterRefused) {
        return kExitWrongUse;
    }
    if (outcome.result == kPrinterNotInstalled) {
        return IsPrinterAddress(printer) ? kExitWrongUse : NotInstalledExit(env, who, err);
    }
    return outcome.result == kPrinterQueued ? kExitQueued : kExitNotTransmitted;
}

// The end of a step whose result could not be checked: said, and exit 3
// unless the user asked for no verification or the queue can never answer.
int Unverified(const GraphicOutcome& outcome, const NvOptions& o, std::ostream& out) {
    out << outcome.why << "\n";
    return outcome.check == GraphicCheck::Blind || o.noVerify ? kExitDone : kExitNotTransmitted;
}

int Store(const NvOptions& o, const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv store";
    if (o.words.size() != 3) {
        err << who << ": needs PRINTER KEY FILE\n" << NvUsage();
        return kExitWrongUse;
    }
    const auto key = ParseGraphicKey(o.words[1]);
    if (!key) {
        err << who << ": " << key.Reason() << "\n";
        return kExitWrongUse;
    }
    const auto paper =
        PaperWidthOf(o.printer, o.words[0], o.paperWidth ? &*o.paperWidth : nullptr, env, who, err);
    Conversion conversion = o.conversion;
    conversion.shaping = WithPaper(conversion.shaping, paper);
    ShapedLogos shaped;
    const auto graphic = Converted(o.words[2], conversion, shaped);
    if (!graphic) {
        err << who << ": " << graphic.Reason() << "\n";
        return kExitWrongUse;
    }
    const RasterGraphic& g = graphic.Value();
    if (paper && g.width > *paper) {
        err << who << ": nothing was sent: "
            << TooWide(o.words[2], g.width, o.printer, *paper, FitWayOut(*paper)) << "\n";
        return kExitWrongUse;
    }
    if (!o.replaceOtherLogos) {
        if (const std::string why = OtherLogosRefusal(env, o.words[0], o.printer, kHoldsGraphics);
            !why.empty()) {
            err << who << ": nothing was sent: " << why << "\n";
            return kExitNotTransmitted;
        }
    }
    const auto spooler = MakeSpooler(env.systemQueues, env.dataHome);
    const GraphicOutcome stored =
        StoreGraphicStep(PrinterOf(*spooler, o, env.dataHome), key.Value(), g, o.words[2], {});
    // A printer without graphics yet takes its first: the bit images may go.
    // (Never said of a StarPRNT printer, which keeps no FS q bit images.)
    if (stored.firstGraphic) {
        out << kBitImageWarning;
    }
    if (stored.result != kPrinterOk) {
        return Failure(stored, o.words[0], who, env, err);
    }
    if (stored.check != GraphicCheck::Verified) {
        return Unverified(stored, o, out);
    }
    out << "stored " << ShownKey(key.Value()) << " (" << g.width << " x " << g.height << " dots, "
        << GroupedDigits(g.rows.size()) << " bytes";
    if (stored.freeBytes) {
        out << "; " << GroupedDigits(*stored.freeBytes) << " bytes free";
    }
    out << ")\n";
    return kExitDone;
}

int List(const NvOptions& o, const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv list";
    if (o.words.size() != 1) {
        err << who << ": needs PRINTER\n" << NvUsage();
        return kExitWrongUse;
    }
    const auto spooler = MakeSpooler(env.systemQueues, env.dataHome);
    const GraphicOutcome listed = ListGraphicsStep(PrinterOf(*spooler, o, env.dataHome));
    if (listed.result != kPrinterOk) {
        return Failure(listed, o.words[0], who, env, err);
    }
    const std::vector<GraphicKey>& list = listed.keys;
    if (o.json) {
        out << "{\"printer\": " << Json(o.words[0]) << ", \"keys\": [";
        for (size_t i = 0; i < list.size(); ++i) {
            out << (i == 0 ? "" : ", ") << Json(list[i].Text());
        }
        out << "], \"total\": " << (listed.totalBytes ? std::to_string(*listed.totalBytes) : "null")
            << ", \"free\": " << (listed.freeBytes ? std::to_string(*listed.freeBytes) : "null")
            << "}\n";
        return kExitDone;
    }
    out << "Printer:      " << o.words[0] << '\n';
    out << "Keys:         ";
    for (size_t i = 0; i < list.size(); ++i) {
        out << (i == 0 ? "" : ", ") << ShownKey(list[i]);
    }
    out << (list.empty() ? "none" : "") << " (" << list.size() << ")\n";
    if (listed.totalBytes || listed.freeBytes) {
        out << "NV graphics:  "
            << (listed.totalBytes ? GroupedDigits(*listed.totalBytes) + " bytes" : "size unknown")
            << ", " << (listed.freeBytes ? GroupedDigits(*listed.freeBytes) : "unknown")
            << " free\n";
    }
    return kExitDone;
}

// Why the stored graphic `key` cannot be printed at the scale asked on the
// printer's paper, where the widths of both are known; empty otherwise.
std::string TooWideToPrint(GraphicKey key, const NvOptions& o, const CliEnvironment& env,
                           const std::string& who, std::ostream& err) {
    const auto paper =
        PaperWidthOf(o.printer, o.words[0], o.paperWidth ? &*o.paperWidth : nullptr, env, who, err);
    const auto stored = paper ? StoredLogoWidths(o.words[0], env) : std::nullopt;
    if (!stored || stored->clips) {
        return {};
    }
    for (const auto& [held, width] : stored->graphics) {
        if (held != key.Text() || width * o.scaleX <= *paper) {
            continue;
        }
        const std::string what = "NV graphic " + ShownKey(key);
        return width > *paper
                   ? TooWide(what, width, o.printer, *paper,
                             "store it again with " + FitWayOut(*paper).substr(4))
                   : TooWide(what + " at " + std::to_string(o.scaleX) + "x" +
                                 std::to_string(o.scaleY),
                             width * o.scaleX, o.printer, *paper, "print it at 1x1 or 1x2");
    }
    return {};
}

// print and delete: send, then check the key list where the printer answers.
int PrintOrDelete(bool print, const NvOptions& o, const CliEnvironment& env, std::ostream& out,
                  std::ostream& err) {
    const std::string who = print ? "tessaline-cli nv print" : "tessaline-cli nv delete";
    const bool all = !print && o.all;
    if (o.words.size() != (all ? 1u : 2u)) {
        err << who << (print ? ": needs PRINTER KEY\n" : ": needs PRINTER and KEY or --all\n")
            << NvUsage();
        return kExitWrongUse;
    }
    Result<GraphicKey> key = all ? GraphicKey{} : ParseGraphicKey(o.words[1]);
    if (!key) {
        err << who << ": " << key.Reason() << "\n";
        return kExitWrongUse;
    }
    if (print) {
        if (const std::string why = TooWideToPrint(key.Value(), o, env, who, err); !why.empty()) {
            err << who << ": nothing was sent: " << why << "\n";
            return kExitWrongUse;
        }
    }
    const auto spooler = MakeSpooler(env.systemQueues, env.dataHome);
    const GraphicsPrinter printer = PrinterOf(*spooler, o, env.dataHome);
    const GraphicOutcome done =
        print ? PrintGraphicStep(printer, key.Value(), o.scaleX, o.scaleY)
              : DeleteGraphicStep(printer, all ? std::nullopt : std::optional(key.Value()));
    if (done.result != kPrinterOk) {
        return Failure(done, o.words[0], who, env, err);
    }
    if (done.check != GraphicCheck::Verified) {
        return Unverified(done, o, out);
    }
    const std::string freeText =
        done.freeBytes ? " (" + GroupedDigits(*done.freeBytes) + " bytes free)" : "";
    if (print) {
        out << "sent the print of " << ShownKey(key.Value()) << " at " << o.scaleX << "x"
            << o.scaleY << "; the printer holds " << ShownKey(key.Value()) << "\n";
    } else if (all) {
        out << "deleted every NV graphic" << freeText << "\n";
    } else {
        out << "deleted " << ShownKey(key.Value()) << freeText << "\n";
    }
    return kExitDone;
}

int Command(const NvOptions& o, std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv command";
    if (o.print == o.store) {
        err << who << ": give --print or --store\n" << NvUsage();
        return kExitWrongUse;
    }
    const size_t step = o.store ? 2 : 1;
    if (o.words.empty() || o.words.size() % step != 0) {
        err << who << (o.store ? ": needs KEY FILE pairs\n" : ": needs KEY\n") << NvUsage();
        return kExitWrongUse;
    }
    const bool star = o.commands && *o.commands == "star-prnt";
    std::vector<uint8_t> bytes;
    ShapedLogos shaped;
    for (size_t i = 0; i < o.words.size(); i += step) {
        const auto key = ParseGraphicKey(o.words[i]);
        if (!key) {
            err << who << ": " << key.Reason() << "\n";
            return kExitWrongUse;
        }
        Result<std::vector<uint8_t>> command = Result<std::vector<uint8_t>>::Fail("");
        if (o.store) {
            const auto graphic = Converted(o.words[i + 1], o.conversion, shaped);
            if (!graphic) {
                command = Result<std::vector<uint8_t>>::FailAs(graphic);
            } else {
                command = star ? StarStoreGraphicCommand(key.Value(), graphic.Value())
                               : StoreGraphicCommand(key.Value(), graphic.Value());
            }
        } else {
            command = star ? StarPrintGraphicCommand(key.Value(), o.scaleX, o.scaleY)
                           : PrintGraphicCommand(key.Value(), o.scaleX, o.scaleY);
        }
        if (!command) {
            err << who << ": " << command.Reason() << "\n";
            return kExitWrongUse;
        }
        bytes.insert(bytes.end(), command.Value().begin(), command.Value().end());
    }
    // Nothing reaches standard output unless every command could be built.
    UseBinaryStandardOutput();
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
        err << who << ": standard output refused the bytes\n";
        return kExitNotTransmitted;
    }
    return kExitDone;
}

} // namespace

std::string OtherLogosRefusal(const CliEnvironment& env, const std::string& printer,
                              const std::string& shown, const char* storing) {
    const bool graphics = std::string_view(storing) == kHoldsGraphics;
    const char* other = graphics ? kHoldsBitImages : kHoldsGraphics;
    // The record every tool keeps says what storing would erase.
    const auto record = PrinterNvRecords(env.dataHome / kPrinterRecordsFolder).Read(printer);
    if (!record || !record.Value() || record.Value()->holds != other) {
        return {};
    }
    const std::string held = graphics ? "NV bit images" : "NV graphics";
    return shown + " holds " + held + " (the last change recorded: " + record.Value()->last +
           "), which storing " + (graphics ? "NV graphics" : "NV bit images") +
           " erases; give --replace-other-logos to replace them";
}

namespace {

// What a printer with no language kept answers in, or its recorded model's
// profile says; nothing when neither tells.
std::optional<LogoLanguage> FoundLogoLanguage(const std::string& printer,
                                              const CliEnvironment& env) {
    const Result<PrinterAddress> address = ParsePrinterAddress(printer);
    if (address && address.Value().scheme != AddressScheme::File) {
        if (auto connection = ConnectPrinter(address.Value())) {
            const auto answered = AnsweredLogoLanguage(*connection.Value());
            static_cast<void>(connection.Value()->Finish());
            if (answered && answered.Value()) {
                return answered.Value();
            }
        }
    }
    const PrinterProfile* profile = RecordedProfile(printer, env);
    switch (profile != nullptr ? profile->commands : ProfileCommands::Unknown) {
    case ProfileCommands::StarLine:
        return LogoLanguage::StarLine;
    case ProfileCommands::StarPrnt:
        return LogoLanguage::StarPrnt;
    case ProfileCommands::NvGraphics:
    case ProfileCommands::NvBitImages:
        return LogoLanguage::EscPos;
    case ProfileCommands::Unknown:
        break;
    }
    return std::nullopt;
}

} // namespace

Result<LogoLanguage> ChosenLogoLanguage(const std::string* given, const std::string& printer,
                                        const CliEnvironment& env) {
    const std::filesystem::path file = PrinterCommandsFile();
    const auto kept = KeptPrinterCommands(file, printer);
    if (!kept) {
        return Result<LogoLanguage>::FailAs(kept);
    }
    std::optional<LogoLanguage> keptLanguage;
    if (kept.Value()) {
        keptLanguage = ParseLogoCommands(*kept.Value());
        if (!keptLanguage) {
            std::string why = "the printer \"";
            why += printer;
            why += "\" is kept in ";
            why += file.string();
            why += " as taking \"";
            why += *kept.Value();
            why += "\", no command language esc-pos, star-line or star-prnt";
            return Result<LogoLanguage>::Fail(why);
        }
    }
    if (given == nullptr || (*given == "auto" && keptLanguage)) {
        return keptLanguage.value_or(LogoLanguage::EscPos);
    }
    std::optional<LogoLanguage> wanted = ParseLogoCommands(*given);
    if (*given == "auto") {
        wanted = IsPrinterAddress(printer) ? FoundLogoLanguage(printer, env) : std::nullopt;
        if (!wanted) {
            return LogoLanguage::EscPos;
        }
    }
    if (!wanted) {
        std::string why = "--commands is esc-pos, star-line, star-prnt or auto, not '";
        why += *given;
        why += "'";
        return Result<LogoLanguage>::Fail(why);
    }
    if (keptLanguage && *keptLanguage != *wanted) {
        std::string why = "the printer \"";
        why += printer;
        why += "\" takes ";
        why += *kept.Value();
        why += " (kept in ";
        why += file.string();
        why += "); sending it ";
        why += LogoCommandsName(*wanted);
        why += " would mix two languages on one printer, refused";
        return Result<LogoLanguage>::Fail(why);
    }
    if (!keptLanguage) {
        if (Result<void> keep = KeepPrinterCommands(file, printer, LogoCommandsName(*wanted));
            !keep) {
            return Result<LogoLanguage>::FailAs(keep);
        }
    }
    return *wanted;
}

const std::vector<CliCommand>& NvCommandSpecs() {
    return Specs();
}

int NvCommand(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
              std::ostream& err) {
    // nv auto has its own help.
    if (!args.empty() && args[0] == "auto") {
        return NvAutoCommand(std::vector<std::string>(args.begin() + 1, args.end()), env, out, err);
    }
    if (WantsHelp(args) || args.empty()) {
        (args.empty() ? err : out) << NvUsage() << kExitStatusHelp;
        return args.empty() ? kExitWrongUse : kExitDone;
    }
    // Logos come as BMP, PNG, JPEG or GIF files, as they do to the control.
    UseSystemPictureDecoders();
    const std::string& what = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const CliCommand* spec = nullptr;
    for (const CliCommand& candidate : Specs()) {
        if (candidate.words == "nv " + what) {
            spec = &candidate;
        }
    }
    if (spec == nullptr) {
        err << "tessaline-cli nv: unknown command '" << what << "'\n" << NvUsage();
        return kExitWrongUse;
    }
    const Result<NvOptions> parsed = ParseNvOptions(rest, *spec);
    if (!parsed) {
        err << "tessaline-cli nv " << what << ": " << parsed.Reason() << "\n" << NvUsage();
        return kExitWrongUse;
    }
    NvOptions o = parsed.Value();
    if (what != "command" && !o.words.empty()) {
        o.printer = o.words[0];
        o.words[0] = AsPrinterAddress(o.words[0], err);
        const auto language =
            ChosenLogoLanguage(o.commands ? &*o.commands : nullptr, o.words[0], env);
        if (!language) {
            err << "tessaline-cli nv " << what << ": " << language.Reason() << "\n";
            return kExitWrongUse;
        }
        if (language.Value() == LogoLanguage::StarLine) {
            err << "tessaline-cli nv " << what << ": the printer \"" << o.printer
                << "\" speaks Star Line Mode, which keeps numbered logos (upload, print, erase), "
                   "not NV graphics by key\n";
            return kExitWrongUse;
        }
        o.language = language.Value();
    }
    if (what == "store") {
        return Store(o, env, out, err);
    }
    if (what == "list") {
        return List(o, env, out, err);
    }
    if (what == "command") {
        return Command(o, out, err);
    }
    return PrintOrDelete(what == "print", o, env, out, err);
}

} // namespace tessaline
