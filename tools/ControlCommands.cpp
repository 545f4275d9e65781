// SPDX-License-Identifier: MIT
// The commands that go through the registered Tessaline control, by dispatch
// identifier, exactly as the program calls it.
#include "ControlCommands.h"

#include "Cli.h"
#include "NvCommand.h"
#include "PaperWidth.h"
#include "ShapedLogos.h"
#include "imaging/PathEncoding.h"
#include "platform/AtomicFile.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/PrinterNvRecords.h"
#include "platform/SystemSpooler.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "platform/component/Variants.h"
#include "printer/LogoCommands.h"
#include "printer/PrinterOperation.h"
#include "printer/PrinterProfiles.h"
#include "tessaline/tessaline_control.h"

#include <optional>
#include <ostream>

namespace tessaline {

namespace {

const std::string kAddressNote =
    "NAME is a spooler queue, or a printer's address (socket://HOST[:PORT],\n"
    "usb:///dev/usb/lpN, serial://PORT?baud=N, file:///PATH); the timeouts apply\n"
    "to an address only.\n";

std::vector<Option> WithPrinter(std::vector<Option> options) {
    options.insert(options.begin(), PrinterOption());
    options.push_back(ConnectTimeoutOption());
    options.push_back(ReadTimeoutOption());
    options.push_back(WaitOption());
    options.push_back(Choice("--commands", "LANGUAGE",
                             {"esc-pos", "star-line", "star-prnt", "auto"},
                             "the printer's command language, kept for it from then on (star-line: "
                             "Star Line Mode logos, ESC FS q; star-prnt keeps logos by key and "
                             "takes no numbered ones); auto uses the one kept, and where none is "
                             "asks a printer reached by its address, then its model's profile; "
                             "without it, the one kept or ESC/POS; one other than the one kept "
                             "is refused"));
    return options;
}

std::vector<Option> UploadOptions() {
    std::vector<Option> options = ConversionOptions(kModeAlias);
    options.push_back(PaperWidthOption());
    options.push_back(Flag("--replace-other-logos",
                           "upload even where the printer's record says it holds NV graphics, "
                           "which storing NV bit images erases"));
    return WithPrinter(std::move(options));
}

std::vector<Option> PreviewOptions() {
    std::vector<Option> options = ConversionOptions(kModeAlias);
    options.push_back(Integer("--scale", "N", 2, 16,
                              "also writes Temp-xN.bmp, the preview at N times the dot size, and "
                              "prints its path on a second line")
                          .Refusal("is a whole number from 2 to 16"));
    return options;
}

std::vector<Option> PrintOptions() {
    return WithPrinter({
        Flag("--all", "every stored image"),
        Integer("--image", "N", 1, 255, "the stored image N")
            .Refusal("is an image number from 1 to 255"),
        Text("--range", "FIRST-LAST", "the stored images FIRST to LAST"),
        Integer("--size", "0-3", 0, 3,
                "0 normal (the default), 1 double width, 2 double height, 3 both")
            .Refusal("is 0, 1, 2 or 3"),
        PaperWidthOption(),
    });
}

const std::vector<CliCommand>& Specs() {
    static const std::vector<CliCommand> specs = {
        {"register",
         "register the control library (unregister removes it)",
         "Usage: tessaline-cli register [LIBRARY]\n",
         "Records the control library's classes and type library in your component\n"
         "registry, as regsvr32 does, so that the program and this tool can create the\n"
         "control. LIBRARY defaults to the control library this tool was built or\n"
         "installed with.\n",
         {},
         "",
         {ValueKind::File}},
        {"unregister",
         "remove what register recorded",
         "Usage: tessaline-cli unregister [LIBRARY]\n",
         "Removes exactly the entries that 'register' recorded for LIBRARY.\n",
         {},
         "",
         {ValueKind::File}},
        {"info",
         "a logo file's depth and size",
         "Usage: tessaline-cli info FILE\n",
         "Asks the control for a logo file's size (BitmapInfo) and prints\n"
         "bits=<n> height=<n> width=<n>. FILE is a BMP, PNG, JPEG or GIF file, told\n"
         "by its first bytes. When FILE cannot be read, says why and exits with status 1.\n",
         {},
         "",
         {ValueKind::File}},
        {"preview",
         "convert a logo and write its one-bit preview",
         "Usage: tessaline-cli preview [--dither KIND] [--threshold 0-255] [--brightness 0-10]\n"
         "                             [--fit DOTS] [--scale N] FILE\n",
         "Converts FILE (BMP, PNG, JPEG or GIF) as an upload would (Preview) and prints\n"
         "the path of the one-bit preview bitmap; it lands in the current folder as\n"
         "Temp.bmp (and TempTe.bmp for diffusion). A one-bit BMP FILE is its own preview.\n"
         "When no picture can be made (FILE does not load or is too large for the\n"
         "printer, or the folder cannot be written), says why and exits with status 1.\n",
         PreviewOptions(),
         "",
         {ValueKind::File}},
        {"upload",
         "store logos in a printer's NV memory",
         "Usage: tessaline-cli upload --printer NAME [--dither KIND] [--threshold 0-255]\n"
         "                            [--brightness 0-10] [--fit DOTS|paper]\n"
         "                            [--paper-width DOTS|58mm|80mm] [--replace-other-logos]\n"
         "                            FILE...\n",
         "Stores the logos (BMP, PNG, JPEG or GIF files) in the printer's NV memory as\n"
         "images 1, 2, ... in the order given (Upload), replacing every image stored\n"
         "before. Progress goes to stderr. NV memory wears with writes: upload rarely.\n"
         "When a FILE cannot be sent, nothing is sent; the message names the file and\n"
         "the reason. A logo wider than the printer's paper, where its width is known,\n"
         "is such a file. Storing NV bit images erases the printer's NV graphics: where\n"
         "the printer's record says it holds some, nothing is sent without\n"
         "--replace-other-logos.\n",
         UploadOptions(),
         kAddressNote,
         {ValueKind::File},
         true},
        {"print",
         "print stored NV images",
         "Usage: tessaline-cli print --printer NAME (--all | --image N | --range FIRST-LAST)\n"
         "                           [--size 0-3] [--paper-width DOTS|58mm|80mm]\n",
         "Prints stored NV images (Print) and cuts the paper. Image numbers run from\n"
         "1 to 255. An image wider than an ESC/POS printer's paper, where both widths\n"
         "are known, is refused before anything is sent: it would print nothing.\n",
         PrintOptions(),
         kAddressNote,
         {}},
        {"erase",
         "erase a printer's NV memory",
         "Usage: tessaline-cli erase --printer NAME\n",
         "Erases every NV image the printer stores (Print with Printer 3).\n",
         WithPrinter({}),
         kAddressNote,
         {}},
        {"describe",
         "the control's type library",
         "Usage: tessaline-cli describe\n",
         "Prints the control's type library as a host reads it: interfaces, dispatch\n"
         "identifiers, members and their parameters.\n",
         {},
         "",
         {}},
    };
    return specs;
}

const CliCommand* SpecOf(const std::string& command) {
    for (const CliCommand& spec : Specs()) {
        if (command == spec.words) {
            return &spec;
        }
    }
    return nullptr;
}

std::string HelpOf(const std::string& command) {
    const CliCommand* spec = SpecOf(command);
    return spec == nullptr ? std::string() : HelpText(*spec);
}

int Usage(const std::string& command, const std::string& why, std::ostream& err) {
    err << "tessaline-cli " << command << ": " << why << "\n" << HelpOf(command);
    return kExitWrongUse;
}

// Why the control's last call failed, in its own words; empty when it gives none.
std::string ErrorTextOf(ControlHost& host) {
    std::string text;
    if (TS_FAILED(host.InvokeStr(TESSALINE_DISPID_ERRORTEXT, {}, text))) {
        return {};
    }
    return text;
}

// The printer as the control is to get it: an address with the timeouts the
// options give joined to it. False, with why, for a timeout that is no number
// of milliseconds or one given for a spooler queue.
bool ReadPrinter(const ParsedOptions& parsed, std::string& printer, std::string& why,
                 std::ostream& err) {
    printer = AsPrinterAddress(*parsed.Text("--printer"), err);
    PassJobWait(parsed);
    const auto connect = parsed.Int("--connect-timeout");
    const auto read = parsed.Int("--read-timeout");
    if (!connect && !read) {
        return true;
    }
    if (!IsPrinterAddress(printer)) {
        why = "--connect-timeout and --read-timeout apply to a printer's address, not to the "
              "spooler queue \"" +
              printer + "\"";
        return false;
    }
    const Result<PrinterAddress> address = ParsePrinterAddress(printer);
    if (!address) {
        return true; // the control says what is wrong with it
    }
    printer = WithTimeouts(
        printer,
        std::chrono::milliseconds(connect.value_or(address.Value().connectTimeout.count())),
        std::chrono::milliseconds(read.value_or(address.Value().readTimeout.count())));
    return true;
}

std::unique_ptr<ControlHost> CreateControl(const ControlLibraries& libraries, std::ostream& err) {
    if (const std::string note = RegisterOnFirstRun(TESSALINE_PROGID, libraries); !note.empty()) {
        err << "tessaline-cli: " << note << "\n";
    }
    auto host = ControlHost::CreateByProgId(TESSALINE_PROGID);
    if (!host) {
        err << "tessaline-cli: " << host.Reason() << "\n";
    }
    return std::move(host).ValueOr(nullptr);
}

// The meaning of a result code, for a control that gives no reason of its own.
std::string DescribeFailure(int32_t result) {
    switch (result) {
    case TESSALINE_PRINTER_NO_MEMORY:
        return "no memory for the printer's driver record";
    case TESSALINE_PRINTER_NOT_STARTED:
        return "the printer did not accept a new document";
    case TESSALINE_PRINTER_NOT_SENT:
        return "the printer's spooler refused the bytes; nothing partial was printed";
    case TESSALINE_PRINTER_REFUSED:
        return "the request cannot be sent whole";
    case TESSALINE_PRINTER_QUEUED:
        return "the job waits in the spooler's queue";
    default:
        return "the control returned " + std::to_string(result);
    }
}

// After a call through a spooler queue that returned 0, what the control
// said beside it: the queue's driver record it could not change is said, and
// exit 3 (the bytes went, the logo on every receipt did not change); 0 else.
int QueueRecordWarning(const std::string& command, const std::string& said, std::ostream& err) {
    if (said.rfind(kRecordUnchanged, 0) != 0) {
        return kExitDone;
    }
    err << "tessaline-cli " << command << ": warning: " << said << "\n";
    return kExitNotTransmitted;
}

// Turns the result of Upload or Print, with the control's reason, into an
// exit status and a message.
int PrinterOutcome(const std::string& command, int32_t result, const std::string& reason,
                   const std::string& printer, const CliEnvironment& env, std::ostream& err) {
    if (result == TESSALINE_PRINTER_OK) {
        return kExitDone;
    }
    const std::string why = reason.empty() ? DescribeFailure(result) : reason;
    if (result == TESSALINE_PRINTER_REFUSED) {
        // A file that cannot be sent, or numbers the printer cannot print: the input's fault.
        err << "tessaline-cli " << command << ": nothing was sent: " << why << "\n";
        return kExitWrongUse;
    }
    if (result == TESSALINE_PRINTER_NOT_INSTALLED && IsPrinterAddress(printer)) {
        err << "tessaline-cli " << command << ": " << why << "\n";
        return kExitWrongUse;
    }
    if (result == TESSALINE_PRINTER_NOT_INSTALLED) {
        const QueueList list = MakeSpooler(env.systemQueues, env.dataHome)->ListQueues();
        if (!list.reached) {
            // Not a missing printer: the server that may have it is not there.
            err << "tessaline-cli " << command
                << ": communication error, can not be transmitted: " << list.reached.Reason()
                << " (the printer \"" << printer << "\" may be installed there)\n";
            return kExitNotTransmitted;
        }
        err << "tessaline-cli: the printer \"" << printer << "\" is not installed.";
        if (list.names.empty()) {
            err << " No printers are installed; " << NoPrintersAdvice(printer);
        } else {
            err << " Installed printers:\n";
            for (const std::string& name : list.names) {
                err << "  " << name << "\n";
            }
        }
        return kExitNotInstalled;
    }
    if (result == TESSALINE_PRINTER_QUEUED) {
        err << "tessaline-cli " << command << ": queued, not printed yet: " << why << "\n";
        return kExitQueued;
    }
    err << "tessaline-cli " << command << ": communication error, can not be transmitted: " << why
        << " (" << result << ")\n";
    return kExitNotTransmitted;
}

int Register(const std::vector<std::string>& args, const ControlLibraries& libraries, bool undo,
             std::ostream& out, std::ostream& err) {
    const std::string command = undo ? "unregister" : "register";
    if (args.size() > 1) {
        return Usage(command, "too many arguments", err);
    }
    const std::filesystem::path library =
        args.empty() ? libraries.Default() : std::filesystem::path(args[0]);
    if (const Result<void> registered = RegisterLibrary(library, undo); !registered) {
        err << "tessaline-cli " << command << ": " << registered.Reason() << "\n";
        return kExitNotTransmitted;
    }
    out << (undo ? "Unregistered " : "Registered ") << std::filesystem::absolute(library).string()
        << "\n";
    return kExitDone;
}

int Info(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
         std::ostream& err) {
    if (args.size() != 1) {
        return Usage("info", args.empty() ? "missing FILE" : "too many arguments", err);
    }
    auto host = CreateControl(env.libraries, err);
    if (!host) {
        return kExitNotTransmitted;
    }
    int32_t bits = 0, height = 0, width = 0;
    TsVariant argv[] = {MakeStr(args[0]), MakeI4Ref(&bits), MakeI4Ref(&height), MakeI4Ref(&width)};
    int32_t result = 0;
    const TsResult hr = host->InvokeI4(TESSALINE_DISPID_BITMAPINFO, argv, result);
    if (TS_FAILED(hr) || result != 0) {
        const std::string why = TS_FAILED(hr) ? std::string() : ErrorTextOf(*host);
        err << "tessaline-cli info: "
            << (why.empty() ? args[0] + " is not a bitmap that can be read" : why) << "\n";
        return kExitWrongUse;
    }
    out << "bits=" << bits << " height=" << height << " width=" << width << "\n";
    return kExitDone;
}

int PreviewCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                   std::ostream& out, std::ostream& err) {
    const Result<ParsedOptions> options = ParseOptions(args, SpecOf("preview")->options);
    if (!options) {
        return Usage("preview", options.Reason(), err);
    }
    const ParsedOptions& parsed = options.Value();
    if (parsed.operands.size() != 1) {
        return Usage("preview", parsed.operands.empty() ? "missing FILE" : "one FILE at a time",
                     err);
    }
    const Result<Conversion> conversion = ConversionOf(parsed);
    if (!conversion) {
        return Usage("preview", conversion.Reason(), err);
    }
    const int32_t mode = conversion.Value().imageMode;
    const int32_t brightness = conversion.Value().brightness;
    const auto scale = static_cast<int32_t>(parsed.Int("--scale").value_or(1));
    ShapedLogos shaped;
    const auto file = shaped.Prepare(parsed.operands[0], conversion.Value().shaping);
    if (!file) {
        err << "tessaline-cli preview: no preview was written: " << file.Reason() << "\n";
        return kExitWrongUse;
    }
    auto host = CreateControl(env.libraries, err);
    if (!host) {
        return kExitNotTransmitted;
    }
    TsVariant argv[] = {MakeStr(file.Value()), MakeI2(static_cast<int16_t>(mode)),
                        MakeI2(static_cast<int16_t>(brightness))};
    std::string path;
    if (TS_FAILED(host->InvokeStr(TESSALINE_DISPID_PREVIEW, argv, path))) {
        err << "tessaline-cli preview: the control refused the call\n";
        return kExitNotTransmitted;
    }
    // The control returns a path even when it made no picture; its reason says so.
    if (const std::string failure = ErrorTextOf(*host); !failure.empty()) {
        err << "tessaline-cli preview: no preview was written: " << shaped.InUsersNames(failure)
            << "\n";
        return kExitWrongUse;
    }
    if (path == file.Value() && file.Value() != parsed.operands[0]) {
        // Dots made here are their own preview: it lands where the control's would.
        const auto dots = ReadFileBytes(path);
        const std::filesystem::path target = std::filesystem::current_path() / "Temp.bmp";
        const Result<void> written =
            dots ? ReplaceFileAtomically(target, dots.Value()) : Result<void>::FailAs(dots);
        if (!written) {
            err << "tessaline-cli preview: no preview was written: " << written.Reason() << "\n";
            return kExitWrongUse;
        }
        const Result<std::string> name = TextOf(target);
        if (!name) {
            err << "tessaline-cli preview: no preview was written: " << name.Reason() << "\n";
            return kExitWrongUse;
        }
        path = name.Value();
    }
    out << path << "\n";
    if (scale > 1) {
        const auto dots = ReadFileBytes(path);
        const auto enlarged = dots ? ScaledDotsBmp(dots.Value(), scale) : std::nullopt;
        const std::filesystem::path target =
            std::filesystem::current_path() / ("Temp-x" + std::to_string(scale) + ".bmp");
        const Result<void> written =
            enlarged ? ReplaceFileAtomically(target, *enlarged)
                     : Result<void>::Fail("the preview is too large to enlarge " +
                                          std::to_string(scale) + " times");
        if (!written) {
            err << "tessaline-cli preview: no enlarged preview was written: " << written.Reason()
                << "\n";
            return kExitWrongUse;
        }
        const Result<std::string> name = TextOf(target);
        if (!name) {
            err << "tessaline-cli preview: no enlarged preview was written: " << name.Reason()
                << "\n";
            return kExitWrongUse;
        }
        out << name.Value() << "\n";
    }
    return kExitDone;
}

// Applies --commands: keeps the language for the printer (a queue or an
// address), or refuses one that differs from the language kept for it.
// kExitDone to go on.
int ApplyCommands(const ParsedOptions& parsed, const std::string& command,
                  const std::string& printer, const CliEnvironment& env, std::ostream& err) {
    const Result<LogoLanguage> language =
        ChosenLogoLanguage(parsed.Text("--commands"), printer, env);
    if (!language) {
        err << "tessaline-cli " << command << ": " << language.Reason() << "\n";
        return kExitWrongUse;
    }
    return kExitDone;
}

int UploadCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& err) {
    const Result<ParsedOptions> options = ParseOptions(args, SpecOf("upload")->options);
    if (!options) {
        return Usage("upload", options.Reason(), err);
    }
    const ParsedOptions& parsed = options.Value();
    if (!parsed.Has("--printer")) {
        return Usage("upload", "--printer NAME is required", err);
    }
    std::string target;
    if (std::string why; !ReadPrinter(parsed, target, why, err)) {
        return Usage("upload", why, err);
    }
    const std::string* printer = &target;
    if (parsed.operands.empty()) {
        return Usage("upload", "no FILE to upload", err);
    }
    if (const int status = ApplyCommands(parsed, "upload", *printer, env, err);
        status != kExitDone) {
        return status;
    }
    if (!parsed.Has("--replace-other-logos")) {
        if (const std::string why =
                OtherLogosRefusal(env, *printer, *parsed.Text("--printer"), kHoldsBitImages);
            !why.empty()) {
            err << "tessaline-cli upload: nothing was sent: " << why << "\n";
            return kExitNotTransmitted;
        }
    }
    const Result<Conversion> conversion = ConversionOf(parsed);
    if (!conversion) {
        return Usage("upload", conversion.Reason(), err);
    }
    const int32_t mode = conversion.Value().imageMode;
    const int32_t brightness = conversion.Value().brightness;
    const std::string& given = *parsed.Text("--printer");
    const std::optional<int32_t> paper = PaperWidthOf(given, *printer, parsed.Text("--paper-width"),
                                                      env, "tessaline-cli upload", err);
    const ShapingChoice choice = WithPaper(conversion.Value().shaping, paper);
    std::string list;
    ShapedLogos shaped;
    const std::optional<NvRoom> room = NvBitImageRoom(*printer, env);
    uint64_t need = 0;
    for (const std::string& file : parsed.operands) {
        // The list separates paths with "|"; such a path cannot be sent.
        if (file.find_first_of("|\n\r") != std::string::npos) {
            return Usage("upload", "a path holding \"|\" or a line break cannot be sent: " + file,
                         err);
        }
        const auto sent = shaped.Prepare(file, choice);
        if (!sent) {
            err << "tessaline-cli upload: nothing was sent: " << sent.Reason() << "\n";
            return kExitWrongUse;
        }
        const std::optional<int32_t> width = paper ? LogoWidth(sent.Value()) : std::nullopt;
        if (width && *width > *paper) {
            err << "tessaline-cli upload: nothing was sent: "
                << TooWide(file, *width, given, *paper, FitWayOut(*paper)) << "\n";
            return kExitWrongUse;
        }
        if (room) {
            if (const auto size = LogoSize(sent.Value())) {
                need += NvBitImageBytes(size->first, size->second);
            }
        }
        list += sent.Value() + "|";
    }
    if (room && need > room->bytes) {
        // The printer would keep nothing of an upload that does not fit.
        err << "tessaline-cli upload: nothing was sent: "
            << (parsed.operands.size() == 1
                    ? std::string("the logo needs ")
                    : "the " + std::to_string(parsed.operands.size()) + " logos need ")
            << GroupedNumber(need) << " bytes of NV memory; " << given << " holds "
            << GroupedNumber(room->bytes) << " (" << room->from << ")\n";
        return kExitNotTransmitted;
    }
    auto host = CreateControl(env.libraries, err);
    if (!host) {
        return kExitNotTransmitted;
    }
    const std::size_t total = parsed.operands.size();
    host->Advise([&err, total](int32_t dispid, std::span<const TsVariant> eventArgs) {
        const auto k = eventArgs.size() == 1 ? VariantInt(eventArgs[0]) : std::nullopt;
        if (dispid == TESSALINE_EVENTID_PROGRESS && k) {
            err << "image " << *k << " of " << total << " sent\n";
        }
    });
    TsVariant argv[] = {MakeI4(0), MakeStr(*printer), MakeStr(list), MakeI4(mode),
                        MakeI4(brightness)};
    int32_t result = 0;
    if (TS_FAILED(host->InvokeI4(TESSALINE_DISPID_UPLOAD, argv, result))) {
        err << "tessaline-cli upload: the control refused the call\n";
        return kExitNotTransmitted;
    }
    if (result == TESSALINE_PRINTER_OK && IsPrinterAddress(*printer)) {
        // A printer that answered before the write and not after it may not have kept it.
        if (const std::string unverified = ErrorTextOf(*host); !unverified.empty()) {
            err << "tessaline-cli upload: " << unverified << "\n";
            return kExitNotTransmitted;
        }
        // FS q has no answer: the printer took the bytes, which is all that is known.
        err << "tessaline-cli upload: sent (the printer cannot confirm NV bit images)\n";
    }
    if (result == TESSALINE_PRINTER_OK && !IsPrinterAddress(*printer)) {
        return QueueRecordWarning("upload", ErrorTextOf(*host), err);
    }
    return PrinterOutcome("upload", result,
                          result == TESSALINE_PRINTER_OK ? std::string()
                                                         : shaped.InUsersNames(ErrorTextOf(*host)),
                          *printer, env, err);
}

// Why the stored images `first` to `end` cannot be printed at `size` on
// paper `paper` dots wide; empty when every one of them fits.
std::string TooWideToPrint(const std::vector<int32_t>& images, int32_t first, int32_t end,
                           int32_t size, const std::string& printer, int32_t paper) {
    const int32_t across = size == 1 || size == 3 ? 2 : 1;
    for (int32_t k = first; k <= end && k <= static_cast<int32_t>(images.size()); ++k) {
        const int32_t width = images[static_cast<std::size_t>(k - 1)];
        if (width * across <= paper) {
            continue;
        }
        const std::string what = "NV image " + std::to_string(k);
        return width > paper ? TooWide(what, width, printer, paper,
                                       "upload it again with " + FitWayOut(paper).substr(4))
                             : TooWide(what + " at --size " + std::to_string(size), width * across,
                                       printer, paper, "print it at --size 0 or 2");
    }
    return {};
}

int PrintCommand(const std::vector<std::string>& args, const CliEnvironment& env, bool erase,
                 std::ostream& err) {
    const std::string command = erase ? "erase" : "print";
    const Result<ParsedOptions> options = ParseOptions(args, SpecOf(command)->options);
    if (!options) {
        return Usage(command, options.Reason(), err);
    }
    const ParsedOptions& parsed = options.Value();
    if (!parsed.operands.empty()) {
        return Usage(command, "unexpected argument '" + parsed.operands[0] + "'", err);
    }
    if (!parsed.Has("--printer")) {
        return Usage(command, "--printer NAME is required", err);
    }
    std::string target;
    if (std::string why; !ReadPrinter(parsed, target, why, err)) {
        return Usage(command, why, err);
    }
    const std::string* printer = &target;
    if (const int status = ApplyCommands(parsed, command, *printer, env, err);
        status != kExitDone) {
        return status;
    }
    int32_t selector = 0, range = 0, size = 0, last = 0;
    if (erase) {
        selector = 3;
    } else {
        const auto image = parsed.Int("--image");
        const std::string* span = parsed.Text("--range");
        const int choices = (parsed.Has("--all") ? 1 : 0) + (image ? 1 : 0) + (span ? 1 : 0);
        if (choices != 1) {
            return Usage(command, "give exactly one of --all, --image N, --range FIRST-LAST", err);
        }
        if (image) {
            range = static_cast<int32_t>(*image);
        } else if (span) {
            const std::size_t dash = span->find('-', 1);
            const auto first =
                dash == std::string::npos ? std::nullopt : Number(span->substr(0, dash), 1, 255);
            const auto second =
                dash == std::string::npos ? std::nullopt : Number(span->substr(dash + 1), 1, 255);
            if (!first || !second || *second < *first) {
                return Usage(command, "--range is FIRST-LAST with 1 <= FIRST <= LAST <= 255", err);
            }
            range = static_cast<int32_t>(*first);
            last = static_cast<int32_t>(*second);
        }
        size = static_cast<int32_t>(parsed.Int("--size").value_or(0));
        const std::string& given = *parsed.Text("--printer");
        const auto paper = PaperWidthOf(given, *printer, parsed.Text("--paper-width"), env,
                                        "tessaline-cli print", err);
        const auto stored = paper ? StoredLogoWidths(*printer, env) : std::nullopt;
        if (stored && !stored->clips) {
            const int32_t first = range == 0 ? 1 : range;
            const int32_t end = range == 0 ? 255 : last == 0 ? range : last;
            if (const std::string why =
                    TooWideToPrint(stored->images, first, end, size, given, *paper);
                !why.empty()) {
                err << "tessaline-cli print: nothing was sent: " << why << "\n";
                return kExitWrongUse;
            }
        }
    }
    auto host = CreateControl(env.libraries, err);
    if (!host) {
        return kExitNotTransmitted;
    }
    host->Advise([&err](int32_t dispid, std::span<const TsVariant> eventArgs) {
        const auto j = eventArgs.size() == 1 ? VariantInt(eventArgs[0]) : std::nullopt;
        if (dispid == TESSALINE_EVENTID_PROGRESS && j && *j % 32 == 0) {
            err << "image " << *j << " of 255 requested\n";
        }
    });
    TsVariant argv[] = {MakeI4(selector), MakeStr(*printer), MakeI4(range), MakeI4(size),
                        MakeI4(last)};
    int32_t result = 0;
    if (TS_FAILED(host->InvokeI4(TESSALINE_DISPID_PRINT, argv, result))) {
        err << "tessaline-cli " << command << ": the control refused the call\n";
        return kExitNotTransmitted;
    }
    if (result == TESSALINE_PRINTER_OK && !IsPrinterAddress(*printer)) {
        return QueueRecordWarning(command, ErrorTextOf(*host), err);
    }
    if (result == TESSALINE_PRINTER_OK) {
        // A Star Line Mode erase is a registration the printer may not have been seen to end.
        if (const std::string unverified = ErrorTextOf(*host); !unverified.empty()) {
            err << "tessaline-cli " << command << ": " << unverified << "\n";
            return kExitNotTransmitted;
        }
    }
    return PrinterOutcome(command, result,
                          result == TESSALINE_PRINTER_OK ? std::string() : ErrorTextOf(*host),
                          *printer, env, err);
}

std::string TypeName(uint16_t vt) {
    const bool byRef = (vt & TS_VT_BYREF) != 0;
    std::string name;
    switch (vt & ~TS_VT_BYREF) {
    case TS_VT_I2:
        name = "short";
        break;
    case TS_VT_I4:
        name = "long";
        break;
    case TS_VT_STR:
        name = "BSTR";
        break;
    case TS_VT_EMPTY:
        name = "void";
        break;
    default:
        name = "vt" + std::to_string(vt);
    }
    return byRef ? name + "*" : name;
}

int Describe(const std::vector<std::string>& args, const CliEnvironment& env, std::ostream& out,
             std::ostream& err) {
    if (!args.empty()) {
        return Usage("describe", "unexpected argument '" + args[0] + "'", err);
    }
    auto host = CreateControl(env.libraries, err);
    if (!host) {
        return kExitNotTransmitted;
    }
    const TsTypeLibInfo* lib = host->TypeLib();
    if (lib == nullptr) {
        err << "tessaline-cli describe: the control gives no type information\n";
        return kExitNotTransmitted;
    }
    out << "library " << lib->name << " " << lib->majorVersion << "." << lib->minorVersion << " "
        << lib->uuid << "\n  helpstring \"" << lib->helpString << "\"\n  helpfile \""
        << lib->helpFile << "\"\n  from " << host->LibraryPath() << "\n";
    for (uint32_t i = 0; i < lib->interfaceCount; ++i) {
        const TsInterfaceInfo& itf = lib->interfaces[i];
        out << "\ndispinterface " << itf.name << " " << itf.uuid
            << ((itf.flags & TS_TYPE_SOURCE) ? " (events)" : "") << "\n  helpstring \""
            << itf.helpString << "\"\n";
        for (uint32_t m = 0; m < itf.memberCount; ++m) {
            const TsMemberInfo& member = itf.members[m];
            out << "  [id " << member.dispid << "] " << TypeName(member.resultVt) << " "
                << member.name << "(";
            for (uint32_t p = 0; p < member.paramCount; ++p) {
                out << (p ? ", " : "") << TypeName(member.params[p].vt) << " "
                    << member.params[p].name;
            }
            out << ")\n";
        }
    }
    for (uint32_t i = 0; i < lib->classCount; ++i) {
        const TsClassInfo& cls = lib->classes[i];
        out << "\ncoclass " << cls.name << " " << cls.uuid << "\n  helpstring \"" << cls.helpString
            << "\"\n  flags" << ((cls.flags & TS_CLASS_CONTROL) ? " control" : "")
            << ((cls.flags & TS_CLASS_CREATABLE) ? " creatable" : "") << "\n  default "
            << cls.defaultInterface << "\n  source " << cls.defaultSource << "\n";
    }
    return kExitDone;
}

} // namespace

const std::vector<CliCommand>& ControlCommandSpecs() {
    return Specs();
}

bool IsControlCommand(const std::string& command) {
    return SpecOf(command) != nullptr;
}

int RunControlCommand(const std::string& command, const std::vector<std::string>& args,
                      const CliEnvironment& env, std::ostream& out, std::ostream& err) {
    if (WantsHelp(args)) {
        out << HelpOf(command) << kExitStatusHelp;
        return kExitDone;
    }
    if (command == "register" || command == "unregister") {
        return Register(args, env.libraries, command == "unregister", out, err);
    }
    if (command == "info") {
        return Info(args, env, out, err);
    }
    if (command == "preview") {
        return PreviewCommand(args, env, out, err);
    }
    if (command == "upload") {
        return UploadCommand(args, env, err);
    }
    if (command == "print" || command == "erase") {
        return PrintCommand(args, env, command == "erase", err);
    }
    return Describe(args, env, out, err);
}

} // namespace tessaline
