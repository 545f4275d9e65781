// SPDX-License-Identifier: MIT
#include "Cli.h"
#include "VPrinterServe.h"
#include "escpos/StarEmulator.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/virtual/VirtualPrinterBackend.h"
#include "printer/PrinterProfiles.h"

#include <algorithm>
#include <cerrno>
#include <ostream>

namespace tessaline {

namespace {

// What `serve` was asked for.
struct ServeOptions {
    std::string listen = "127.0.0.1:9100";
    uint32_t count = 0; // 0: NAME alone
    ServeSpread spread = ServeSpread::Ports;
};

// The exit statuses (kExitDone and the others) and kExitStatusHelp, which
// ends every help text, are those of Cli.h: one table for every command.

constexpr const char* kUsage =
    "Usage: tessaline-cli vprinter SUBCOMMAND [ARGUMENTS]\n"
    "\n"
    "Virtual printers are emulated receipt printers that turn what they are sent\n"
    "into PNG pictures of their NV images and of the paper they print: text,\n"
    "pictures, stored logos, bar codes and QR codes, one picture a piece cut off.\n"
    "\n"
    "Subcommands:\n"
    "  add NAME [--paper-width DOTS] [--nv-capacity BYTES] [--answers all|none]\n"
    "           [--nv-graphics BYTES] [--write-ms N] [--driver-logos on|off]\n"
    "           [--auto-logo on|off] [--commands esc-pos|star-line|star-prnt]\n"
    "                   install a virtual printer\n"
    "  remove NAME      delete a virtual printer and everything it printed\n"
    "  list             the virtual printers, one a line, in the order added\n"
    "  path NAME        the printer's folder\n"
    "  show NAME        its stored images, jobs, NV writes today and newest paper\n"
    "  feed NAME FILE   spool FILE's raw bytes to it as one job ('-' reads stdin)\n"
    "  serve NAME [--listen HOST:PORT] [--count N [--over ports|addresses]]\n"
    "                   serve it on TCP as a network printer that answers\n"
    "\n"
    "Run 'tessaline-cli vprinter SUBCOMMAND --help' for more.\n";

constexpr const char* kAddUsage =
    "Usage: tessaline-cli vprinter add NAME [--paper-width DOTS] [--nv-capacity BYTES]\n"
    "                                       [--answers all|none] [--nv-graphics BYTES]\n"
    "                                       [--write-ms N] [--auto-logo on|off]\n"
    "                                       [--commands esc-pos|star-line|star-prnt]\n"
    "                                       [--graphic-data on|off]\n";
constexpr const char* kAddAbout =
    "Installs a virtual printer named NAME. It then shows in 'tessaline-cli printers'\n"
    "after the CUPS queues. NAME may hold blanks but no '/' or control character.\n"
    "--answers, --nv-graphics, --write-ms and --auto-logo say how it behaves when served on the "
    "network\n"
    "('vprinter serve').\n";

Option Count(std::string name, std::string value, std::string help) {
    return Integer(std::move(name), std::move(value), 0, INT64_MAX, std::move(help))
        .Refusal("needs a number")
        .Missing("needs a number");
}

std::vector<Option> AddOptions() {
    return {
        Text("--model", "NAME",
             "answer as that printer model does (tessaline-cli profiles lists them): its maker "
             "and model, paper width, command set and NV memory; the options below change "
             "what its profile says"),
        Count("--paper-width", "DOTS",
              "dots across the paper: 576 for 80 mm rolls (default), 384 for 58 mm; 8 to 1024"),
        Count("--nv-capacity", "BYTES", "bytes of NV image memory, 262144 (256 KiB) by default"),
        Choice("--commands", "LANGUAGE", {"esc-pos", "star-line", "star-prnt"},
               "the command language it speaks: esc-pos (default), star-line (Star Line Mode: "
               "logos by ESC FS q, printed by ESC FS p) or star-prnt (StarPRNT: NV graphics by "
               "key); a job in another printer's language is reported as not understood, with "
               "exit status 3, and not drawn")
            .Missing("needs esc-pos, star-line or star-prnt"),
        Choice("--driver-logos", "on|off", {"on", "off"},
               "off: a queue without the driver that prints the driver record's logo commands "
               "A and B with every job; on by default")
            .Missing("needs on or off"),
        Choice("--answers", "all|none", {"all", "none"},
               "none: a one-way device that answers no question; all by default")
            .Missing("needs all or none"),
        Count("--nv-graphics", "BYTES",
              "NV graphics memory it reports, 262144 by default; 0 for a model without it, "
              "which does not answer GS ( L"),
        Count("--write-ms", "N",
              "how long a write to NV memory keeps it busy, taking no connection and answering "
              "nothing; 0 by default"),
        Choice("--graphic-data", "on|off", {"on", "off"},
               "off: a StarPRNT model that lists its NV graphics' keys but does not send a "
               "stored graphic's data back (ESC GS ) L function 51); on by default")
            .Missing("needs on or off"),
        Choice("--auto-logo", "on|off", {"on", "off"},
               "off: a model with NV graphics but without the automatic logo, which neither "
               "keeps nor answers FS ( E; on by default")
            .Missing("needs on or off"),
    };
}

constexpr const char* kServeUsage =
    "Usage: tessaline-cli vprinter serve NAME [--listen HOST:PORT]\n"
    "                                         [--count N [--over ports|addresses]]\n";
constexpr const char* kServeAbout =
    "Serves the virtual printer NAME on TCP, as a printer on raw port 9100 is: the\n"
    "bytes of each connection are one job for the same emulator as 'feed', and the\n"
    "status, identification and NV graphics questions are answered while they\n"
    "arrive (ready, unless the printer's folder holds a file 'status' naming\n"
    "conditions: offline, cover-open, paper-end, paper-near-end, cutter-error,\n"
    "unrecoverable-error). Connections are served one after another.\n";
constexpr const char* kServeAfter =
    "The first line printed is 'listening on socket://HOST:PORT'; with --count, one\n"
    "such line for each printer, ending ' for NAME-K', and each line of a printer's\n"
    "output starts with 'NAME-K: '. SIGINT or SIGTERM\n"
    "stops it; a job whose connection is still open then never runs.\n";

std::vector<Option> ServeOptionTable() {
    return {Text("--listen", "HOST:PORT",
                 "where to listen, 127.0.0.1:9100 by default; port 0 picks a free port")
                .Missing("needs HOST:PORT"),
            Integer("--count", "N", 1, 65535,
                    "serve a fleet from this one process: NAME-1 ... NAME-N, each added with "
                    "NAME's settings when it is missing and keeping a memory of its own; the "
                    "first listens on HOST:PORT, the others after it")
                .Missing("needs a number"),
            Choice("--over", "ports|addresses", {"ports", "addresses"},
                   "the others on the ports after PORT (default; port 0: each on a free port) "
                   "or on the addresses after HOST, all on PORT (127.0.0.1, 127.0.0.2, ...)")
                .Missing("needs ports or addresses")};
}

constexpr const char* kRemoveUsage =
    "Usage: tessaline-cli vprinter remove NAME\n"
    "\n"
    "Deletes the virtual printer NAME with its jobs, pictures and log, after the\n"
    "job it is working on, if any.\n";

constexpr const char* kListUsage =
    "Usage: tessaline-cli vprinter list\n"
    "\n"
    "Prints the names of the virtual printers, one a line, in the order added.\n";

constexpr const char* kPathUsage =
    "Usage: tessaline-cli vprinter path NAME\n"
    "\n"
    "Prints the folder of the virtual printer NAME. In it: jobs/ (each job's raw\n"
    "bytes and name), nv/ (a PNG of each stored NV image), paper/ (NNNNNN-K.png,\n"
    "piece K cut off in job NNNNNN, and uncut.png, the paper printed and not yet\n"
    "cut, which the next job prints on), driver-data/ and log.txt.\n";

constexpr const char* kShowUsage =
    "Usage: tessaline-cli vprinter show NAME\n"
    "\n"
    "Shows the printer's settings, the NV images it holds with their sizes, the\n"
    "number of jobs, the NV writes made today, the newest paper pictures and the\n"
    "paper printed and not yet cut.\n";

constexpr const char* kFeedUsage =
    "Usage: tessaline-cli vprinter feed NAME FILE\n"
    "\n"
    "Spools the bytes of FILE unchanged to the virtual printer NAME as one raw job,\n"
    "as 'lp -o raw' would, and prints what the printer made of them. FILE '-'\n"
    "reads standard input.\n";

using Subcommand = CliCommand;

const std::vector<CliCommand>& Specs() {
    const std::vector<ValueKind> name = {ValueKind::Printer};
    static const std::vector<CliCommand> specs = {
        {"vprinter add",
         "install a virtual printer",
         kAddUsage,
         kAddAbout,
         AddOptions(),
         "",
         {ValueKind::Text}},
        {"vprinter remove",
         "delete a virtual printer and everything it printed",
         kRemoveUsage,
         "",
         {},
         "",
         name},
        {"vprinter list",
         "the virtual printers, one a line, in the order added",
         kListUsage,
         "",
         {},
         "",
         {}},
        {"vprinter path", "the printer's folder", kPathUsage, "", {}, "", name},
        {"vprinter show",
         "its stored images, jobs, NV writes today and newest paper",
         kShowUsage,
         "",
         {},
         "",
         name},
        {"vprinter feed",
         "spool FILE's raw bytes to it as one job",
         kFeedUsage,
         "",
         {},
         "",
         {ValueKind::Printer, ValueKind::File}},
        {"vprinter serve", "serve it on TCP as a network printer that answers", kServeUsage,
         kServeAbout, ServeOptionTable(), kServeAfter, name},
    };
    return specs;
}

class Command {
public:
    Command(const Subcommand& sub, const CliEnvironment& env, std::ostream& out, std::ostream& err)
        : m_sub(sub), m_store(env.dataHome), m_backend(env.dataHome), m_out(out), m_err(err) {}

    int Usage(const std::string& problem) {
        m_err << "tessaline-cli " << m_sub.words << ": " << problem << "\n"
              << HelpText(m_sub) << kExitStatusHelp;
        return kExitWrongUse;
    }
    int Fail(int status, const std::string& problem) {
        m_err << "tessaline-cli " << m_sub.words << ": " << problem << "\n";
        return status;
    }
    // Checks that the printer is installed; the reason goes to stderr if not.
    std::optional<VirtualPrinterInfo> Installed(const std::string& name) {
        auto info = m_store.Find(name);
        if (!info) {
            Fail(kExitNotInstalled, "no virtual printer named \"" + name + "\"");
        }
        return info;
    }

    int Run(const std::vector<std::string>& operands, const PrinterModel& model,
            const ServeOptions& serve, const CliEnvironment& env) {
        const std::string name = operands.empty() ? std::string() : operands[0];
        const std::string_view sub = std::string_view(m_sub.words).substr(9);
        if (sub == "serve") {
            return ServeVirtualPrinters(name, serve.listen, serve.count, serve.spread, env, m_out,
                                        m_err);
        }
        if (sub == "add") {
            return Add(name, model);
        }
        if (sub == "remove") {
            if (!Installed(name)) {
                return kExitNotInstalled;
            }
            const Result<void> s = m_store.Remove(name);
            if (s) {
                static_cast<void>(KeepPrinterCommands(PrinterCommandsFile(), name, ""));
                static_cast<void>(KeepPrinterValue(PrinterPaperFile(), name, ""));
            }
            return s ? kExitDone : Fail(kExitNotTransmitted, s.Reason());
        }
        if (sub == "list") {
            return List();
        }
        if (sub == "path") {
            if (!Installed(name)) {
                return kExitNotInstalled;
            }
            m_out << m_store.PrinterFolder(name).string() << '\n';
            return kExitDone;
        }
        if (sub == "show") {
            return Show(name);
        }
        return Feed(name, operands[1]);
    }

private:
    std::string RemoveHint(const std::string& name) const {
        return "'tessaline-cli vprinter remove \"" + name + "\"' removes it";
    }

    int Add(const std::string& name, const PrinterModel& model) {
        if (Result<void> s = VirtualPrinterStore::CheckName(name); !s) {
            return Fail(kExitWrongUse, s.Reason());
        }
        const Result<void> s = m_store.Add(name, model);
        if (s) {
            // The control sends each printer the language kept for it: a Star
            // printer's is kept as it is added, an ESC/POS one's forgotten.
            const Result<void> kept = KeepPrinterCommands(
                PrinterCommandsFile(), name,
                model.language == PrinterLanguage::EscPos ? ""
                                                          : PrinterLanguageName(model.language));
            return kept ? kExitDone : Fail(kExitNotTransmitted, kept.Reason());
        }
        // A name already taken is the command line's fault; anything else the store's.
        return m_store.Find(name) ? Fail(kExitWrongUse, s.Reason())
                                  : Fail(kExitNotTransmitted, s.Reason());
    }

    int List() {
        bool ok = true;
        for (const VirtualPrinterInfo& info : m_store.List(&ok)) {
            m_out << info.name << '\n';
            if (!info.problem.empty()) {
                m_err << "tessaline-cli vprinter list: \"" << info.name
                      << "\" has damaged settings: " << info.problem << "; "
                      << RemoveHint(info.name) << "\n";
            }
        }
        return ok ? kExitDone
                  : Fail(kExitNotTransmitted, "cannot read " + m_store.PrintersFolder().string());
    }

    int Show(const std::string& name) {
        const auto info = Installed(name);
        if (!info) {
            return kExitNotInstalled;
        }
        const VirtualPrinterFolder folder(m_store.PrinterFolder(name));
        const NvMemoryRead read = folder.LoadNvMemory(info->model.nvWritesPerDay);
        const NvMemory& memory = read.memory;
        const std::string& why = read.damage;
        m_out << "Printer:         " << name << '\n'
              << "Folder:          " << folder.Path().string() << '\n';
        if (info->problem.empty()) {
            m_out << "Model:           " << info->model.maker << ' ' << info->model.modelName
                  << '\n'
                  << "Paper width:     " << info->model.paperWidth << " dots\n"
                  << "NV capacity:     " << info->model.nvCapacity << " bytes, "
                  << NvBytesUsed(memory) << " used\n"
                  << "Answers:         " << (info->model.answers ? "all questions" : "none") << '\n'
                  << "NV graphics:     " << info->model.nvGraphics << " bytes\n"
                  << "NV write busy:   " << info->model.writeMs << " ms\n"
                  << (info->model.autoLogo ? "" : "Automatic logo:  not in this model\n")
                  << (info->model.graphicData ? "" : "Graphic data:    not sent back\n")
                  << "Driver logos:    "
                  << (info->model.driverLogos ? "on (logo commands A and B with every job)" : "off")
                  << '\n';
        } else {
            m_out << "Settings:        damaged, it takes no job (" << info->problem << "); "
                  << RemoveHint(name) << '\n';
        }
        m_out << "Stored images:   " << memory.images.size() << '\n';
        if (memory.topLogo || memory.bottomLogo) {
            m_out << "Automatic logo:  ";
            for (const bool top : {true, false}) {
                const std::optional<AutoLogo>& logo = top ? memory.topLogo : memory.bottomLogo;
                if (logo) {
                    m_out << (top ? "top \"" : (memory.topLogo ? ", bottom \"" : "bottom \""))
                          << logo->key << "\" ("
                          << (logo->align == 48   ? "left"
                              : logo->align == 50 ? "right"
                                                  : "center")
                          << ")";
                }
            }
            m_out << '\n';
        }
        if (!why.empty()) {
            m_out << "  (the NV memory file is damaged: " << why
                  << "; jobs leave it as it is, the next upload or erase keeps it aside)\n";
        }
        for (size_t k = 0; k < memory.images.size(); ++k) {
            const NvImage& image = memory.images[k];
            m_out << "  " << k + 1 << ": " << image.Width() << "x" << image.Height() << " dots, "
                  << image.raster.size() << " bytes  "
                  << (folder.Path() / "nv" / VirtualPrinterFolder::NvPictureName(k + 1)).string()
                  << '\n';
        }
        for (const std::string& kept : folder.DamagedNvFiles()) {
            m_out << "Kept aside:      " << (folder.Path() / "nv" / kept).string()
                  << " (a damaged NV memory file)\n";
        }
        const uint32_t writes = memory.writesDay == TodayLocal() ? memory.writesThatDay : 0;
        const uint32_t budget = info->model.nvWritesPerDay;
        std::string wear;
        if (writes > budget) {
            wear = " (more than ";
            wear += std::to_string(budget);
            wear += " a day wear the memory out)";
        }
        m_out << "Jobs:            " << folder.JobNumbers().size() << '\n'
              << "NV writes today: " << writes << wear << '\n';
        const auto paper = folder.NewestPaperPictures();
        if (paper.empty()) {
            m_out << "Newest paper:    none\n";
        } else {
            m_out << "Newest paper:    job " << paper.front().filename().string().substr(0, 6)
                  << '\n';
            for (const auto& picture : paper) {
                m_out << "  " << picture.string() << '\n';
            }
        }
        if (const auto uncut = folder.UncutPaper()) {
            m_out << "Not yet cut:     " << uncut->string() << " (comes out with the next cut)\n";
        }
        return kExitDone;
    }

    int Feed(const std::string& name, const std::string& file) {
        if (!Installed(name)) {
            return kExitNotInstalled;
        }
        const Result<std::string> bytes =
            ReadWholeFile(file == "-" ? std::string("/dev/stdin") : file);
        if (!bytes) {
            return Fail(kExitWrongUse, bytes.Reason());
        }
        const auto opened = m_backend.OpenVirtualPrinter(name, QueueAccess::Plain);
        if (!opened) {
            return Fail(kExitNotTransmitted, opened.Reason());
        }
        VirtualPrinterQueue& queue = *opened.Value();
        if (const Result<void> started = queue.StartRawJob(file == "-" ? "stdin" : file, "RAW");
            !started) {
            return Fail(kExitNotTransmitted, started.Reason());
        }
        // A running job takes any bytes: the printer answers when it ends.
        static_cast<void>(queue.Write(AsBytes(bytes.Value())));
        const Result<void> ended = queue.EndJob();
        const DeliveredJob& job = queue.LastJob();
        // What the printer made of the bytes, whether or not the job went through.
        if (job.number != 0) {
            m_out << "job " << VirtualPrinterFolder::JobName(job.number) << ": "
                  << bytes.Value().size() << " bytes spooled to " << name << '\n';
        }
        m_out << job.log;
        for (const auto& picture : job.paper) {
            m_out << "paper: " << picture.string() << '\n';
        }
        return ended ? kExitDone : Fail(kExitNotTransmitted, "the job failed: " + ended.Reason());
    }

    const Subcommand& m_sub;
    VirtualPrinterStore m_store;
    VirtualPrinterBackend m_backend;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace

int RunVPrinter(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
                std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << kUsage << kExitStatusHelp;
        return args.empty() ? kExitWrongUse : kExitDone;
    }
    const Subcommand* sub = nullptr;
    for (const Subcommand& candidate : Specs()) {
        if ("vprinter " + args[0] == candidate.words) {
            sub = &candidate;
        }
    }
    if (sub == nullptr) {
        err << "tessaline-cli vprinter: unknown subcommand '" << args[0] << "'\n"
            << kUsage << kExitStatusHelp;
        return kExitWrongUse;
    }
    Command command(*sub, env, out, err);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (WantsHelp(rest)) {
        out << HelpText(*sub) << kExitStatusHelp;
        return kExitDone;
    }
    const Result<ParsedOptions> options = ParseOptions(rest, sub->options);
    if (!options) {
        return command.Usage(options.Reason());
    }
    const ParsedOptions& parsed = options.Value();
    const std::vector<std::string>& operands = parsed.operands;
    PrinterModel model;
    ServeOptions serve;
    if (const std::string* listen = parsed.Text("--listen")) {
        serve.listen = *listen;
    }
    serve.count = static_cast<uint32_t>(parsed.Int("--count").value_or(0));
    if (const std::string* over = parsed.Text("--over")) {
        if (serve.count == 0) {
            return command.Usage("--over needs --count");
        }
        serve.spread = *over == "ports" ? ServeSpread::Ports : ServeSpread::Addresses;
    }
    if (const std::string* name = parsed.Text("--model")) {
        const PrinterProfile* profile = FindProfile(*name);
        if (profile == nullptr) {
            return command.Usage("no printer profile is called \"" + *name +
                                 "\" ('tessaline-cli profiles' lists them)");
        }
        // A virtual printer that answers as the profile's model does.
        static_cast<Profile&>(model) = ProfileOf(*profile);
    }
    if (const std::string* answers = parsed.Text("--answers")) {
        model.answers = *answers == "all";
    }
    if (const std::string* automatic = parsed.Text("--auto-logo")) {
        model.autoLogo = *automatic == "on";
    }
    if (const std::string* data = parsed.Text("--graphic-data")) {
        model.graphicData = *data == "on";
    }
    if (const std::string* logos = parsed.Text("--driver-logos")) {
        model.driverLogos = *logos == "on";
    }
    if (const std::string* language = parsed.Text("--commands")) {
        model.language = *ParsePrinterLanguage(*language);
    }
    if (const auto width = parsed.Int("--paper-width")) {
        if (*width > kMaxPaperWidth) {
            return command.Usage("the paper width must be " + std::to_string(kMinPaperWidth) +
                                 " to " + std::to_string(kMaxPaperWidth) + " dots");
        }
        model.paperWidth = static_cast<int>(*width);
    }
    if (const auto bytes = parsed.Int("--nv-capacity")) {
        model.nvCapacity = static_cast<uint64_t>(*bytes);
    }
    if (const auto bytes = parsed.Int("--nv-graphics")) {
        model.nvGraphics = static_cast<uint64_t>(*bytes);
    }
    if (const auto ms = parsed.Int("--write-ms")) {
        model.writeMs = static_cast<uint32_t>(std::min<int64_t>(*ms, int64_t{kMaxWriteMs} + 1));
    }
    const std::size_t wanted = sub->operands.size();
    if (operands.size() != wanted) {
        return command.Usage(operands.size() < wanted ? "missing argument" : "too many arguments");
    }
    if (Result<void> s = VirtualPrinterStore::CheckModel(model); !s) {
        return command.Usage(s.Reason());
    }
    return command.Run(operands, model, serve, env);
}

const std::vector<CliCommand>& VPrinterCommandSpecs() {
    return Specs();
}

std::optional<StoredWidths> VirtualPrinterWidths(const std::string& printer,
                                                 const CliEnvironment& env) {
    const VirtualPrinterStore store(env.dataHome);
    const auto info = store.Find(printer);
    if (!info || !info->problem.empty()) {
        return std::nullopt;
    }
    if (env.systemQueues) {
        const QueueList system = env.systemQueues->ListQueues();
        if (std::find(system.names.begin(), system.names.end(), printer) != system.names.end()) {
            return std::nullopt; // the spooler sends to the system's queue of that name
        }
    }
    StoredWidths widths;
    widths.paper = info->model.paperWidth;
    widths.clips = info->model.language != PrinterLanguage::EscPos;
    const NvMemory memory =
        VirtualPrinterFolder(store.PrinterFolder(printer)).LoadNvMemory().memory;
    for (const NvImage& image : memory.images) {
        widths.images.push_back(image.Width());
    }
    for (const NvGraphic& graphic : memory.graphics) {
        widths.graphics.emplace_back(graphic.key, graphic.width);
    }
    return widths;
}

} // namespace tessaline
