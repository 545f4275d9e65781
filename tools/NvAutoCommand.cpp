// SPDX-License-Identifier: MIT
// The automatic logo from the command line: what the printer prints by
// itself at the top and the bottom of every receipt, read back after every
// change, so "set" is said only of what the printer holds.
#include "NvAutoCommand.h"

#include "Cli.h"
#include "Options.h"
#include "platform/SystemSpooler.h"
#include "printer/AutoLogoSteps.h"

#include <chrono>
#include <optional>
#include <ostream>

namespace tessaline {

namespace {

constexpr const char* kAutoUsageLines =
    "Usage: tessaline-cli nv auto PRINTER --top KEY [--bottom KEY] [--align left|center|right]\n"
    "       tessaline-cli nv auto PRINTER --bottom KEY [--align left|center|right]\n"
    "       tessaline-cli nv auto PRINTER --off\n"
    "       tessaline-cli nv auto PRINTER\n";

constexpr const char* kAutoAbout =
    "The automatic logo: NV graphics the printer prints by itself at the top and\n"
    "the bottom of every receipt (FS ( E), kept in its NV memory, so no driver or\n"
    "spooler needs to send them. Without options it shows what is set. --top and\n"
    "--bottom set the logos by key (stored before with 'nv store'); a logo not\n"
    "given is cleared. --off clears both. The alignment is center by default.\n"
    "\n"
    "Each logo that changes is one NV write; one that is already as asked is not\n"
    "written again. After a change the printer is asked what it holds, and \"set\"\n"
    "is said only when that matches; \"set, not read back\" when its answer cannot\n"
    "be read and \"sent, not verified\" when it gives none (both exit 3).\n";

struct AutoOptions {
    std::vector<std::string> words;
    std::optional<std::string> top, bottom, align;
    bool off = false;
    std::optional<int64_t> connect, read;
};

std::string Parse(const std::vector<std::string>& args, AutoOptions& o) {
    const CliCommand& spec = NvAutoCommandSpec();
    const auto parsed = ParseOptions(args, spec.options);
    if (!parsed) {
        return parsed.Reason();
    }
    const ParsedOptions& p = parsed.Value();
    o.words = p.operands;
    for (const auto& [name, into] : {std::pair{"--top", &o.top}, std::pair{"--bottom", &o.bottom},
                                     std::pair{"--align", &o.align}}) {
        if (const std::string* value = p.Text(name)) {
            *into = *value;
        }
    }
    o.off = p.Has("--off");
    o.connect = p.Int("--connect-timeout");
    o.read = p.Int("--read-timeout");
    return {};
}

// "top A1 (center), bottom A2 (center)", or "no automatic logo".
std::string Described(const AutoLogoSettings& s) {
    if (!s.Any()) {
        return "no automatic logo";
    }
    std::string text;
    if (s.top) {
        text += "top " + ShownKey(s.top->key) + " (" + std::string(AlignName(s.top->align)) + ")";
    }
    if (s.bottom) {
        text += std::string(s.top ? ", " : "") + "bottom " + ShownKey(s.bottom->key) + " (" +
                std::string(AlignName(s.bottom->align)) + ")";
    }
    return text;
}

std::string Writes(int32_t writes) {
    return writes == 0   ? "no NV write"
           : writes == 1 ? "1 NV write"
                         : std::to_string(writes) + " NV writes";
}

int Failure(const AutoLogoOutcome& outcome, const std::string& printer, const CliEnvironment& env,
            std::ostream& err) {
    err << "tessaline-cli nv auto: " << outcome.why << "\n";
    if (outcome.result == kPrinterNotInstalled) {
        return IsPrinterAddress(printer) ? kExitWrongUse
                                         : NotInstalledExit(env, "tessaline-cli nv auto", err);
    }
    return outcome.result == kPrinterQueued ? kExitQueued : kExitNotTransmitted;
}

} // namespace

const CliCommand& NvAutoCommandSpec() {
    static const CliCommand spec = {
        "nv auto",
        "show, set or clear the logos the printer prints by itself on every receipt",
        kAutoUsageLines,
        kAutoAbout,
        {Text("--top", "KEY", "the NV graphic printed at the top of every receipt"),
         Text("--bottom", "KEY", "the NV graphic printed at the bottom of every receipt"),
         Choice("--align", "left|center|right", {"left", "center", "right"},
                "where the logos sit across the paper, center by default")
             .Refusal("is left, center or right"),
         Flag("--off", "clear both logos"), ConnectTimeoutOption(), ReadTimeoutOption()},
        "",
        {ValueKind::Printer}};
    return spec;
}

int NvAutoCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv auto";
    if (WantsHelp(args)) {
        out << HelpText(NvAutoCommandSpec()) << kExitStatusHelp;
        return kExitDone;
    }
    AutoOptions o;
    if (const std::string wrong = Parse(args, o); !wrong.empty()) {
        err << who << ": " << wrong << "\n" << kAutoUsageLines;
        return kExitWrongUse;
    }
    if (o.words.size() != 1) {
        err << who << ": needs PRINTER\n" << kAutoUsageLines;
        return kExitWrongUse;
    }
    if (o.off && (o.top || o.bottom || o.align)) {
        err << who << ": --off takes no --top, --bottom or --align\n";
        return kExitWrongUse;
    }
    if (o.align && !o.top && !o.bottom) {
        err << who << ": --align needs --top or --bottom\n";
        return kExitWrongUse;
    }
    AutoLogoSettings wanted;
    LogoAlign align = LogoAlign::Center;
    if (o.align) {
        const auto parsed = ParseLogoAlign(*o.align);
        if (!parsed) {
            err << who << ": --align: " << parsed.Reason() << "\n";
            return kExitWrongUse;
        }
        align = parsed.Value();
    }
    for (const bool top : {true, false}) {
        const std::optional<std::string>& text = top ? o.top : o.bottom;
        if (!text) {
            continue;
        }
        const auto key = ParseGraphicKey(*text);
        if (!key) {
            err << who << ": " << (top ? "--top: " : "--bottom: ") << key.Reason() << "\n";
            return kExitWrongUse;
        }
        (top ? wanted.top : wanted.bottom) = LogoSetting{key.Value(), align, std::nullopt};
    }
    const auto spooler = MakeSpooler(env.systemQueues, env.dataHome);
    GraphicsPrinter printer{*spooler, o.words[0], std::nullopt, std::nullopt,
                            CountInPrinterRecords(env.dataHome)};
    if (o.connect) {
        printer.connectTimeout = std::chrono::milliseconds(*o.connect);
    }
    if (o.read) {
        printer.readTimeout = std::chrono::milliseconds(*o.read);
    }
    const bool change = o.off || wanted.Any();
    if (!change) {
        const AutoLogoOutcome read = ReadAutoLogoStep(printer);
        if (read.result != kPrinterOk) {
            return Failure(read, o.words[0], env, err);
        }
        out << "Printer:      " << o.words[0] << "\n";
        out << "Top logo:     "
            << (read.after->top ? ShownKey(read.after->top->key) + " (" +
                                      std::string(AlignName(read.after->top->align)) + ")"
                                : std::string("none"))
            << "\n";
        out << "Bottom logo:  "
            << (read.after->bottom ? ShownKey(read.after->bottom->key) + " (" +
                                         std::string(AlignName(read.after->bottom->align)) + ")"
                                   : std::string("none"))
            << "\n";
        return kExitDone;
    }
    const AutoLogoOutcome done = SetAutoLogoStep(printer, wanted);
    for (const GraphicKey& key : done.missingKeys) {
        out << "warning: " << o.words[0] << " holds no NV graphic " << ShownKey(key)
            << ": it prints nothing there until one is stored (tessaline-cli nv store)\n";
    }
    if (done.result != kPrinterOk) {
        return Failure(done, o.words[0], env, err);
    }
    if (done.check != AutoLogoCheck::Verified) {
        out << done.why << " (" << Writes(done.writes) << ")\n";
        return done.check == AutoLogoCheck::Blind ? kExitDone : kExitNotTransmitted;
    }
    if (done.writes == 0) {
        out << "already set: " << Described(wanted) << " (no NV write)\n";
    } else {
        out << (wanted.Any() ? "set: " : "cleared: ") << Described(*done.after) << " ("
            << Writes(done.writes) << ")\n";
    }
    return kExitDone;
}

} // namespace tessaline
