// SPDX-License-Identifier: MIT
#include "Cli.h"
#include "VPrinterServe.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "escpos/StarEmulator.h"
#include "platform/virtual/VirtualPrinterBackend.h"

#include <cerrno>
#include <charconv>
#include <ostream>

namespace tessaline {

namespace {

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
    "           [--nv-graphics BYTES] [--write-ms N]\n"
    "           [--commands esc-pos|star-line|star-prnt]\n"
    "                   install a virtual printer\n"
    "  remove NAME      delete a virtual printer and everything it printed\n"
    "  list             the virtual printers, one a line, in the order added\n"
    "  path NAME        the printer's folder\n"
    "  show NAME        its stored images, jobs, NV writes today and newest paper\n"
    "  feed NAME FILE   spool FILE's raw bytes to it as one job ('-' reads stdin)\n"
    "  serve NAME [--listen HOST:PORT]\n"
    "                   serve it on TCP as a network printer that answers\n"
    "\n"
    "Run 'tessaline-cli vprinter SUBCOMMAND --help' for more.\n";

constexpr const char* kAddUsage =
    "Usage: tessaline-cli vprinter add NAME [--paper-width DOTS] [--nv-capacity BYTES]\n"
    "                                       [--answers all|none] [--nv-graphics BYTES]\n"
    "                                       [--write-ms N]\n"
    "                                       [--commands esc-pos|star-line|star-prnt]\n"
    "\n"
    "Installs a virtual printer named NAME. It then shows in 'tessaline-cli printers'\n"
    "after the CUPS queues. NAME may hold blanks but no '/' or control character.\n"
    "\n"
    "  --paper-width DOTS    dots across the paper: 576 for 80 mm rolls (default),\n"
    "                        384 for 58 mm; 8 to 1024\n"
    "  --nv-capacity BYTES   bytes of NV image memory, 262144 (256 KiB) by default\n"
    "  --commands LANGUAGE   the command language it speaks: esc-pos (default),\n"
    "                        star-line (Star Line Mode: logos by ESC FS q, printed by\n"
    "                        ESC FS p) or star-prnt (StarPRNT: NV graphics by key);\n"
    "                        a job in another printer's language is reported as not\n"
    "                        understood, with exit status 3, and not drawn\n"
    "\n"
    "How it behaves when served on the network ('vprinter serve'):\n"
    "  --answers none        a one-way device: it answers no question (default all)\n"
    "  --nv-graphics BYTES   NV graphics memory it reports, 262144 by default; 0 for a\n"
    "                        model without it, which does not answer GS ( L\n"
    "  --write-ms N          how long a write to NV memory keeps it busy, taking no\n"
    "                        connection and answering nothing; 0 by default\n";

constexpr const char* kServeUsage =
    "Usage: tessaline-cli vprinter serve NAME [--listen HOST:PORT]\n"
    "\n"
    "Serves the virtual printer NAME on TCP, as a printer on raw port 9100 is: the\n"
    "bytes of each connection are one job for the same emulator as 'feed', and the\n"
    "status, identification and NV graphics questions are answered while they\n"
    "arrive (ready, unless the printer's folder holds a file 'status' naming\n"
    "conditions: offline, cover-open, paper-end, paper-near-end, cutter-error,\n"
    "unrecoverable-error). Connections are served one after another.\n"
    "\n"
    "  --listen HOST:PORT    where to listen, 127.0.0.1:9100 by default; port 0 picks\n"
    "                        a free port\n"
    "\n"
    "The first line printed is 'listening on socket://HOST:PORT'. SIGINT or SIGTERM\n"
    "stops it; a job whose connection is still open then never runs.\n";

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

struct Subcommand {
    const char* name;
    const char* usage;
    size_t operands;
};

constexpr Subcommand kSubcommands[] = {
    {"add", kAddUsage, 1},     {"remove", kRemoveUsage, 1}, {"list", kListUsage, 0},
    {"path", kPathUsage, 1},   {"show", kShowUsage, 1},     {"feed", kFeedUsage, 2},
    {"serve", kServeUsage, 1},
};

std::optional<uint64_t> ParseCount(const std::string& text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

class Command {
public:
    Command(const Subcommand& sub, const CliEnvironment& env, std::ostream& out, std::ostream& err)
        : m_sub(sub), m_store(env.dataHome), m_backend(env.dataHome), m_out(out), m_err(err) {}

    int Usage(const std::string& problem) {
        m_err << "tessaline-cli vprinter " << m_sub.name << ": " << problem << "\n"
              << m_sub.usage << kExitStatusHelp;
        return kExitWrongUse;
    }
    int Fail(int status, const std::string& problem) {
        m_err << "tessaline-cli vprinter " << m_sub.name << ": " << problem << "\n";
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
            const std::string& listen, const CliEnvironment& env) {
        const std::string name = operands.empty() ? std::string() : operands[0];
        const std::string_view sub = m_sub.name;
        if (sub == "serve") {
            return ServeVirtualPrinter(name, listen, env, m_out, m_err);
        }
        if (sub == "add") {
            return Add(name, model);
        }
        if (sub == "remove") {
            if (!Installed(name)) {
                return kExitNotInstalled;
            }
            const Result<void> s = m_store.Remove(name);
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
            return kExitDone;
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
        const NvMemoryRead read = folder.LoadNvMemory();
        const NvMemory& memory = read.memory;
        const std::string& why = read.damage;
        m_out << "Printer:         " << name << '\n'
              << "Folder:          " << folder.Path().string() << '\n';
        if (info->problem.empty()) {
            m_out << "Paper width:     " << info->model.paperWidth << " dots\n"
                  << "NV capacity:     " << info->model.nvCapacity << " bytes, "
                  << NvBytesUsed(memory) << " used\n"
                  << "Answers:         " << (info->model.answers ? "all questions" : "none") << '\n'
                  << "NV graphics:     " << info->model.nvGraphics << " bytes\n"
                  << "NV write busy:   " << info->model.writeMs << " ms\n";
        } else {
            m_out << "Settings:        damaged, it takes no job (" << info->problem << "); "
                  << RemoveHint(name) << '\n';
        }
        m_out << "Stored images:   " << memory.images.size() << '\n';
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
        m_out << "Jobs:            " << folder.JobNumbers().size() << '\n'
              << "NV writes today: " << writes
              << (writes > kNvWritesPerDay ? " (more than 10 a day wear the memory out)" : "")
              << '\n';
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
    for (const Subcommand& candidate : kSubcommands) {
        if (args[0] == candidate.name) {
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
        out << sub->usage << kExitStatusHelp;
        return kExitDone;
    }

    std::vector<std::string> operands;
    PrinterModel model;
    std::string listen = "127.0.0.1:9100";
    bool optionsEnded = false;
    for (size_t i = 0; i < rest.size(); ++i) {
        const std::string& arg = rest[i];
        if (optionsEnded || arg == "-" || arg.rfind("-", 0) != 0) {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string option = arg.substr(0, eq);
        const std::string_view subName = sub->name;
        const bool known = subName == "add"
                               ? (option == "--paper-width" || option == "--nv-capacity" ||
                                  option == "--answers" || option == "--nv-graphics" ||
                                  option == "--write-ms" || option == "--commands")
                           : subName == "serve" ? option == "--listen"
                                                : false;
        if (!known) {
            return command.Usage("unknown option '" + option + "'");
        }
        std::string value;
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < rest.size()) {
            value = rest[++i];
        } else {
            return command.Usage(option + (option == "--listen"    ? " needs HOST:PORT"
                                           : option == "--answers" ? " needs all or none"
                                           : option == "--commands"
                                               ? " needs esc-pos, star-line or star-prnt"
                                               : " needs a number"));
        }
        if (option == "--listen") {
            listen = value;
            continue;
        }
        if (option == "--commands") {
            const auto language = ParsePrinterLanguage(value);
            if (!language) {
                return command.Usage("--commands is esc-pos, star-line or star-prnt, not '" +
                                     value + "'");
            }
            model.language = *language;
            continue;
        }
        if (option == "--answers") {
            if (value != "all" && value != "none") {
                return command.Usage("--answers is all or none, not '" + value + "'");
            }
            model.answers = value == "all";
            continue;
        }
        const auto number = ParseCount(value);
        if (!number) {
            return command.Usage(option + " needs a number, not '" + value + "'");
        }
        if (option == "--paper-width") {
            if (*number > static_cast<uint64_t>(kMaxPaperWidth)) {
                return command.Usage("the paper width must be " + std::to_string(kMinPaperWidth) +
                                     " to " + std::to_string(kMaxPaperWidth) + " dots");
            }
            model.paperWidth = static_cast<int>(*number);
        } else if (option == "--nv-graphics") {
            model.nvGraphics = *number;
        } else if (option == "--write-ms") {
            model.writeMs = static_cast<uint32_t>(std::min<uint64_t>(*number, kMaxWriteMs + 1));
        } else {
            model.nvCapacity = *number;
        }
    }
    if (operands.size() != sub->operands) {
        return command.Usage(operands.size() < sub->operands ? "missing argument"
                                                             : "too many arguments");
    }
    if (Result<void> s = VirtualPrinterStore::CheckModel(model); !s) {
        return command.Usage(s.Reason());
    }
    return command.Run(operands, model, listen, env);
}

} // namespace tessaline
