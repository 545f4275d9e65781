// SPDX-License-Identifier: MIT
// NV graphics by key: store, list, print and delete one logo at a time. A
// printer reached by its address is asked before and after each step, so the
// tool says what the printer kept, not only what it was sent; a spooler queue
// carries bytes one way, so through one the bytes go blind and the tool says so.
#include "NvCommand.h"

#include "Cli.h"
#include "base/JsonText.h"
#include "platform/HostSystem.h"
#include "platform/SystemSpooler.h"
#include "platform/pictures/PictureDecoders.h"
#include "printer/NvGraphics.h"
#include "printer/PrinterReport.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>

namespace tessaline {

namespace {

constexpr const char* kNvUsage =
    "Usage: tessaline-cli nv store PRINTER KEY FILE [--image-mode 0|1] [--brightness 0-10]\n"
    "       tessaline-cli nv list PRINTER [--json]\n"
    "       tessaline-cli nv print PRINTER KEY [--scale 1x1|2x1|1x2|2x2]\n"
    "       tessaline-cli nv delete PRINTER KEY|--all\n"
    "       tessaline-cli nv command --store KEY FILE [KEY FILE ...] [--image-mode 0|1]\n"
    "                                [--brightness 0-10]\n"
    "       tessaline-cli nv command --print KEY [KEY ...] [--scale 1x1|2x1|1x2|2x2]\n"
    "\n"
    "NV graphics: logos a current printer keeps under two-character keys (\"A1\",\n"
    "\"LG\"; characters from blank to \"~\"), each stored, replaced, printed and\n"
    "deleted on its own (GS ( L, and GS 8 L for large ones).\n"
    "\n"
    "  store     converts FILE as upload does (same image mode and brightness, same\n"
    "            dots) and stores it under KEY; asks the free memory first and\n"
    "            refuses a logo that does not fit, then asks the key list and says\n"
    "            \"stored\" only when the printer holds the key\n"
    "  list      the keys the printer holds, its NV graphics size and free bytes\n"
    "  print     prints a stored graphic, scaled 1 or 2 times each way\n"
    "  delete    deletes one graphic, or every one with --all\n"
    "  command   writes the exact bytes to standard output, for receipts that\n"
    "            print a logo by key, or for storing one by other means\n"
    "\n"
    "  --no-verify            exit 0 when the printer does not answer (the bytes are sent)\n"
    "  --json                 list: one JSON object instead of text\n"
    "  --connect-timeout MS   how long to wait for the connection, 3000 by default\n"
    "  --read-timeout MS      how long to wait for each answer, 1000 by default\n"
    "\n"
    "PRINTER is an address (socket://HOST[:PORT], usb:///dev/usb/lpN, serial://PORT,\n"
    "file:///PATH), whose answers verify each step, or a spooler queue, through\n"
    "which the bytes are sent blind. On many printers defining NV graphics erases\n"
    "every NV bit image stored with upload (FS q), and an upload erases every NV\n"
    "graphic.\n";

constexpr const char* kBitImageWarning =
    "warning: on many printers defining NV graphics erases every NV bit image stored with "
    "FS q (tessaline-cli upload), and an FS q upload erases every NV graphic\n";

struct NvOptions {
    std::vector<std::string> words; // the arguments that are not options
    int32_t imageMode = 0;
    int32_t brightness = 5;
    int32_t scaleX = 1;
    int32_t scaleY = 1;
    bool all = false, json = false, noVerify = false, print = false, store = false;
    std::optional<int64_t> connect, read;
};

// 244016 as "244,016".
std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), 1, ',');
    }
    return digits;
}

std::optional<int64_t> Number(const std::string& text, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

// A key as a list shows it: quoted when it holds a blank, which shows as nothing.
std::string Shown(GraphicKey key) {
    const std::string text = key.Text();
    if (key.Invisible()) {
        return "\"  \" (two blanks)";
    }
    return text.find(' ') != std::string::npos ? '"' + text + '"' : text;
}

// Reads the options `allowed` names (and --connect-timeout, --read-timeout);
// the reason when the command line is wrong, empty otherwise.
std::string ParseOptions(const std::vector<std::string>& args, const std::string& allowed,
                         NvOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 3 || a.rfind("--", 0) != 0) {
            o.words.push_back(a);
            continue;
        }
        if (allowed.find(a + " ") == std::string::npos) {
            return "unknown option '" + a + "'";
        }
        const bool takesValue = a == "--image-mode" || a == "--brightness" || a == "--scale" ||
                                a == "--connect-timeout" || a == "--read-timeout";
        if (takesValue && i + 1 >= args.size()) {
            return a + " needs a value";
        }
        const std::string value = takesValue ? args[++i] : std::string();
        if (a == "--image-mode") {
            const auto n = Number(value, 0, 1);
            if (!n) {
                return "--image-mode is 0 (None) or 1 (Error Diffusion), not '" + value + "'";
            }
            o.imageMode = static_cast<int32_t>(*n);
        } else if (a == "--brightness") {
            const auto n = Number(value, 0, 10);
            if (!n) {
                return "--brightness is 0 to 10, not '" + value + "'";
            }
            o.brightness = static_cast<int32_t>(*n);
        } else if (a == "--scale") {
            if (value.size() != 3 || value[1] != 'x' || (value[0] != '1' && value[0] != '2') ||
                (value[2] != '1' && value[2] != '2')) {
                return "--scale is 1x1, 2x1, 1x2 or 2x2, not '" + value + "'";
            }
            o.scaleX = value[0] - '0';
            o.scaleY = value[2] - '0';
        } else if (a == "--connect-timeout" || a == "--read-timeout") {
            const auto ms = Number(value, 1, 3600000);
            if (!ms) {
                return a + " is 1 to 3600000 milliseconds, not '" + value + "'";
            }
            (a == "--connect-timeout" ? o.connect : o.read) = ms;
        } else {
            (a == "--all"         ? o.all
             : a == "--json"      ? o.json
             : a == "--no-verify" ? o.noVerify
             : a == "--print"     ? o.print
                                  : o.store) = true;
        }
    }
    return {};
}

// Where the bytes go: a printer by its address (asked when it can answer),
// or a spooler queue (one raw job, blind).
class Link {
public:
    // 0 when open; else the exit status, with the reason written to `err`.
    int Open(const std::string& printer, const NvOptions& o, const CliEnvironment& env,
             const std::string& who, std::ostream& err) {
        m_printer = printer;
        if (!IsPrinterAddress(printer)) {
            const auto spooler = MakeSpooler(env.systemQueues, env.dataHome);
            const QueueList list = spooler->ListQueues();
            if (std::find(list.names.begin(), list.names.end(), printer) == list.names.end()) {
                err << who << ": the printer \"" << printer << "\" is not installed\n";
                return kExitNotInstalled;
            }
            auto queue = spooler->Open(printer, QueueAccess::Plain);
            Result<void> started = queue ? queue.Value()->StartRawJob("NV graphics", "RAW")
                                         : Result<void>::Fail(queue.Reason());
            if (!started) {
                err << who << ": \"" << printer << "\": " << started.Reason() << "\n";
                return kExitNotTransmitted;
            }
            m_queue = std::move(queue.Value());
            return 0;
        }
        Result<PrinterAddress> address = ParsePrinterAddress(printer);
        if (address && (o.connect || o.read)) {
            address = ParsePrinterAddress(WithTimeouts(
                printer,
                std::chrono::milliseconds(
                    o.connect.value_or(address.Value().connectTimeout.count())),
                std::chrono::milliseconds(o.read.value_or(address.Value().readTimeout.count()))));
        }
        if (!address) {
            err << who << ": " << address.Reason() << "\n";
            return kExitWrongUse;
        }
        auto connection = ConnectPrinter(address.Value());
        if (!connection) {
            err << who << ": " << connection.Reason() << "\n";
            return kExitNotTransmitted;
        }
        m_connection = std::move(connection.Value());
        m_answers = m_connection->CanAnswer();
        return 0;
    }

    bool Spooled() const { return m_queue != nullptr; }
    // True while the printer may still answer: an address that can, and did so far.
    bool Answers() const { return m_answers; }
    const std::string& Printer() const { return m_printer; }

    Result<void> Send(std::span<const uint8_t> bytes) {
        return m_queue ? m_queue->Write(bytes) : m_connection->Send(bytes);
    }
    Result<void> Finish() { return m_queue ? m_queue->EndJob() : m_connection->Finish(); }

    // The free (or total) NV graphics bytes; nothing when the printer did not answer.
    Result<std::optional<uint64_t>> AskMemory(NvGraphicsQuery query) {
        using Answer = Result<std::optional<uint64_t>>;
        if (!m_answers) {
            return std::optional<uint64_t>();
        }
        const auto reply = AskOne(*m_connection, NvGraphicsRequest(query), ShapeOf(query));
        if (!reply) {
            return Answer::Fail(reply.Reason());
        }
        if (!reply.Value()) {
            m_answers = false;
            return std::optional<uint64_t>();
        }
        return ParseNvBytes(*reply.Value());
    }

    Result<std::optional<std::vector<GraphicKey>>> AskKeys() {
        if (!m_answers) {
            return std::optional<std::vector<GraphicKey>>();
        }
        auto keys = AskGraphicKeys(*m_connection);
        if (keys && !keys.Value()) {
            m_answers = false;
        }
        return keys;
    }

private:
    std::string m_printer;
    std::unique_ptr<PrinterConnection> m_connection;
    std::unique_ptr<SpoolerQueue> m_queue;
    bool m_answers = false;
};

bool Holds(const std::vector<GraphicKey>& keys, GraphicKey key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The end of a step whose result could not be checked: said, and exit 3
// unless the user asked for no verification.
int Unverified(Link& link, const NvOptions& o, const std::string& who, std::ostream& out,
               std::ostream& err) {
    if (Result<void> done = link.Finish(); !done) {
        err << who << ": " << done.Reason() << "\n";
        return kExitNotTransmitted;
    }
    if (link.Spooled()) {
        out << "sent blind through the spooler queue \"" << link.Printer()
            << "\", which carries no answer back: not verified\n";
        return kExitDone;
    }
    out << "sent, not verified: " << link.Printer() << " does not answer\n";
    return o.noVerify ? kExitDone : kExitNotTransmitted;
}

int Store(const NvOptions& o, const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv store";
    if (o.words.size() != 3) {
        err << who << ": needs PRINTER KEY FILE\n" << kNvUsage;
        return kExitWrongUse;
    }
    const auto key = ParseGraphicKey(o.words[1]);
    if (!key) {
        err << who << ": " << key.Reason() << "\n";
        return kExitWrongUse;
    }
    const auto graphic = ConvertGraphic(o.words[2], o.imageMode, o.brightness);
    const auto command = graphic ? StoreGraphicCommand(key.Value(), graphic.Value())
                                 : Result<std::vector<uint8_t>>::Fail(graphic.Reason());
    if (!command) {
        err << who << ": " << command.Reason() << "\n";
        return kExitWrongUse;
    }
    const RasterGraphic& g = graphic.Value();
    const uint64_t size = g.rows.size();
    Link link;
    if (const int opened = link.Open(o.words[0], o, env, who, err); opened != 0) {
        return opened;
    }
    const auto fail = [&](const std::string& why) {
        err << who << ": " << why << "\n";
        return kExitNotTransmitted;
    };
    const auto freeBefore = link.AskMemory(NvGraphicsQuery::Free);
    if (!freeBefore) {
        return fail(freeBefore.Reason());
    }
    if (freeBefore.Value() && size > *freeBefore.Value()) {
        const auto total = link.AskMemory(NvGraphicsQuery::Total);
        const std::string of = total && total.Value() ? " of " + Grouped(*total.Value()) : "";
        return fail(key.Value().Text() + " does not fit: " + o.words[2] + " takes " +
                    Grouped(size) + " bytes and " + link.Printer() + " has " +
                    Grouped(*freeBefore.Value()) + of +
                    " bytes free; nothing sent (tessaline-cli nv delete makes room)");
    }
    const auto keysBefore = link.AskKeys();
    if (!keysBefore) {
        return fail(keysBefore.Reason());
    }
    // A printer without graphics yet takes its first: the bit images may go.
    if (!keysBefore.Value() || keysBefore.Value()->empty()) {
        out << kBitImageWarning;
    }
    if (Result<void> sent = link.Send(command.Value()); !sent) {
        return fail(sent.Reason());
    }
    const auto keysAfter = link.AskKeys();
    if (!keysAfter) {
        return fail(keysAfter.Reason());
    }
    const auto freeAfter = link.AskMemory(NvGraphicsQuery::Free);
    if (!keysAfter.Value()) {
        return Unverified(link, o, who, out, err);
    }
    if (Result<void> done = link.Finish(); !done) {
        return fail(done.Reason());
    }
    if (!Holds(*keysAfter.Value(), key.Value())) {
        return fail(link.Printer() + " did not keep " + Shown(key.Value()) + " (" + Grouped(size) +
                    " bytes sent; it holds " + std::to_string(keysAfter.Value()->size()) +
                    " graphics)");
    }
    out << "stored " << Shown(key.Value()) << " (" << g.width << " x " << g.height << " dots, "
        << Grouped(size) << " bytes";
    if (freeAfter && freeAfter.Value()) {
        out << "; " << Grouped(*freeAfter.Value()) << " bytes free";
    }
    out << ")\n";
    return kExitDone;
}

int List(const NvOptions& o, const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv list";
    if (o.words.size() != 1) {
        err << who << ": needs PRINTER\n" << kNvUsage;
        return kExitWrongUse;
    }
    if (!IsPrinterAddress(o.words[0])) {
        err << who << ": \"" << o.words[0]
            << "\" is a spooler queue, which carries bytes one way: it cannot be asked; give "
               "the printer's address (socket://HOST, usb:///dev/usb/lpN, serial://PORT)\n";
        return kExitNotTransmitted;
    }
    Link link;
    if (const int opened = link.Open(o.words[0], o, env, who, err); opened != 0) {
        return opened;
    }
    const auto keys = link.AskKeys();
    if (!keys) {
        err << who << ": " << keys.Reason() << "\n";
        return kExitNotTransmitted;
    }
    if (!keys.Value()) {
        err << who << ": " << link.Printer() << " does not answer\n";
        return kExitNotTransmitted;
    }
    const auto total = link.AskMemory(NvGraphicsQuery::Total);
    const auto free = link.AskMemory(NvGraphicsQuery::Free);
    static_cast<void>(link.Finish());
    // Said as text, or "null" / "unknown" for a question left unanswered.
    const bool haveTotal = total && total.Value();
    const bool haveFree = free && free.Value();
    const uint64_t totalBytes = haveTotal ? total.Value().value_or(0) : 0;
    const uint64_t freeBytes = haveFree ? free.Value().value_or(0) : 0;
    const std::vector<GraphicKey>& list = *keys.Value();
    if (o.json) {
        out << "{\"printer\": " << Json(link.Printer()) << ", \"keys\": [";
        for (size_t i = 0; i < list.size(); ++i) {
            out << (i == 0 ? "" : ", ") << Json(list[i].Text());
        }
        out << "], \"total\": " << (haveTotal ? std::to_string(totalBytes) : "null")
            << ", \"free\": " << (haveFree ? std::to_string(freeBytes) : "null") << "}\n";
        return kExitDone;
    }
    out << "Printer:      " << link.Printer() << '\n';
    out << "Keys:         ";
    for (size_t i = 0; i < list.size(); ++i) {
        out << (i == 0 ? "" : ", ") << Shown(list[i]);
    }
    out << (list.empty() ? "none" : "") << " (" << list.size() << ")\n";
    if (haveTotal || haveFree) {
        out << "NV graphics:  " << (haveTotal ? Grouped(totalBytes) + " bytes" : "size unknown")
            << ", " << (haveFree ? Grouped(freeBytes) : "unknown") << " free\n";
    }
    return kExitDone;
}

// print and delete: send, then check the key list where the printer answers.
int PrintOrDelete(bool print, const NvOptions& o, const CliEnvironment& env, std::ostream& out,
                  std::ostream& err) {
    const std::string who = print ? "tessaline-cli nv print" : "tessaline-cli nv delete";
    const bool all = !print && o.all;
    if (o.words.size() != (all ? 1u : 2u)) {
        err << who << (print ? ": needs PRINTER KEY\n" : ": needs PRINTER and KEY or --all\n")
            << kNvUsage;
        return kExitWrongUse;
    }
    Result<GraphicKey> key = all ? GraphicKey{} : ParseGraphicKey(o.words[1]);
    if (!key) {
        err << who << ": " << key.Reason() << "\n";
        return kExitWrongUse;
    }
    const auto command = print ? PrintGraphicCommand(key.Value(), o.scaleX, o.scaleY)
                         : all ? Result<std::vector<uint8_t>>(DeleteAllGraphicsCommand())
                               : Result<std::vector<uint8_t>>(DeleteGraphicCommand(key.Value()));
    if (!command) {
        err << who << ": " << command.Reason() << "\n";
        return kExitWrongUse;
    }
    Link link;
    if (const int opened = link.Open(o.words[0], o, env, who, err); opened != 0) {
        return opened;
    }
    const auto fail = [&](const std::string& why) {
        err << who << ": " << why << "\n";
        return kExitNotTransmitted;
    };
    if (Result<void> sent = link.Send(command.Value()); !sent) {
        return fail(sent.Reason());
    }
    const auto keys = link.AskKeys();
    if (!keys) {
        return fail(keys.Reason());
    }
    const auto free = print ? Result<std::optional<uint64_t>>(std::optional<uint64_t>())
                            : link.AskMemory(NvGraphicsQuery::Free);
    if (!keys.Value()) {
        return Unverified(link, o, who, out, err);
    }
    if (Result<void> done = link.Finish(); !done) {
        return fail(done.Reason());
    }
    const std::vector<GraphicKey>& list = *keys.Value();
    const std::string freeText =
        free && free.Value() ? " (" + Grouped(*free.Value()) + " bytes free)" : "";
    if (print) {
        if (!Holds(list, key.Value())) {
            return fail(link.Printer() + " holds no graphic " + Shown(key.Value()) +
                        ": nothing printed");
        }
        out << "sent the print of " << Shown(key.Value()) << " at " << o.scaleX << "x" << o.scaleY
            << "; the printer holds " << Shown(key.Value()) << "\n";
    } else if (all) {
        if (!list.empty()) {
            return fail(link.Printer() + " still holds " + std::to_string(list.size()) +
                        " graphics");
        }
        out << "deleted every NV graphic" << freeText << "\n";
    } else {
        if (Holds(list, key.Value())) {
            return fail(link.Printer() + " still holds " + Shown(key.Value()));
        }
        out << "deleted " << Shown(key.Value()) << freeText << "\n";
    }
    return kExitDone;
}

int Command(const NvOptions& o, std::ostream& out, std::ostream& err) {
    const std::string who = "tessaline-cli nv command";
    if (o.print == o.store) {
        err << who << ": give --print or --store\n" << kNvUsage;
        return kExitWrongUse;
    }
    const size_t step = o.store ? 2 : 1;
    if (o.words.empty() || o.words.size() % step != 0) {
        err << who << (o.store ? ": needs KEY FILE pairs\n" : ": needs KEY\n") << kNvUsage;
        return kExitWrongUse;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < o.words.size(); i += step) {
        const auto key = ParseGraphicKey(o.words[i]);
        if (!key) {
            err << who << ": " << key.Reason() << "\n";
            return kExitWrongUse;
        }
        Result<std::vector<uint8_t>> command = Result<std::vector<uint8_t>>::Fail("");
        if (o.store) {
            const auto graphic = ConvertGraphic(o.words[i + 1], o.imageMode, o.brightness);
            command = graphic ? StoreGraphicCommand(key.Value(), graphic.Value())
                              : Result<std::vector<uint8_t>>::Fail(graphic.Reason());
        } else {
            command = PrintGraphicCommand(key.Value(), o.scaleX, o.scaleY);
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

int NvCommand(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
              std::ostream& err) {
    if (WantsHelp(args) || args.empty()) {
        (args.empty() ? err : out) << kNvUsage << kExitStatusHelp;
        return args.empty() ? kExitWrongUse : kExitDone;
    }
    // Logos come as BMP, PNG, JPEG or GIF files, as they do to the control.
    UseSystemPictureDecoders();
    const std::string& what = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    const std::string timeouts = "--connect-timeout --read-timeout --no-verify ";
    const std::string allowed = what == "store"     ? "--image-mode --brightness " + timeouts
                                : what == "list"    ? "--json " + timeouts
                                : what == "print"   ? "--scale " + timeouts
                                : what == "delete"  ? "--all " + timeouts
                                : what == "command" ? "--print --store --image-mode --brightness "
                                                      "--scale "
                                                    : "";
    if (allowed.empty()) {
        err << "tessaline-cli nv: unknown command '" << what << "'\n" << kNvUsage;
        return kExitWrongUse;
    }
    NvOptions o;
    if (const std::string wrong = ParseOptions(rest, allowed, o); !wrong.empty()) {
        err << "tessaline-cli nv " << what << ": " << wrong << "\n" << kNvUsage;
        return kExitWrongUse;
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
