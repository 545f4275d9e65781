// SPDX-License-Identifier: MIT
// The commands that go through the registered Tessaline control, by dispatch
// identifier, exactly as the program calls it.
#include "ControlCommands.h"

#include "Cli.h"
#include "ShapedLogos.h"
#include "imaging/PathEncoding.h"
#include "platform/AtomicFile.h"
#include "platform/PrinterAddress.h"
#include "platform/PrinterCommandsFile.h"
#include "platform/SystemSpooler.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "platform/component/Variants.h"
#include "printer/LogoCommands.h"
#include "tessaline/tessaline_control.h"

#include <charconv>
#include <optional>
#include <ostream>

namespace tessaline {

namespace {

struct Help {
    const char* name;
    const char* text;
};

const Help kHelps[] = {
    {"register", "Usage: tessaline-cli register [LIBRARY]\n"
                 "\n"
                 "Records the control library's classes and type library in your component\n"
                 "registry, as regsvr32 does, so that the program and this tool can create the\n"
                 "control. LIBRARY defaults to the control library this tool was built or\n"
                 "installed with.\n"},
    {"unregister", "Usage: tessaline-cli unregister [LIBRARY]\n"
                   "\n"
                   "Removes exactly the entries that 'register' recorded for LIBRARY.\n"},
    {"info", "Usage: tessaline-cli info FILE\n"
             "\n"
             "Asks the control for a logo file's size (BitmapInfo) and prints\n"
             "bits=<n> height=<n> width=<n>. FILE is a BMP, PNG, JPEG or GIF file, told\n"
             "by its first bytes. When FILE cannot be read, says why and exits with status 1.\n"},
    {"preview",
     "Usage: tessaline-cli preview [--mode none|diffusion | --dither KIND] [--brightness 0-10]\n"
     "                             [--threshold 0-255] [--fit DOTS] [--scale N] FILE\n"
     "\n"
     "Converts FILE (BMP, PNG, JPEG or GIF) as an upload would (Preview) and prints\n"
     "the path of the one-bit preview bitmap; it lands in the current folder as\n"
     "Temp.bmp (and TempTe.bmp for diffusion). A one-bit BMP FILE is its own preview.\n"
     "Defaults: none, 5. When no picture can be made (FILE does not load or is too\n"
     "large for the printer, or the folder cannot be written), says why and exits\n"
     "with status 1.\n"
     "  --fit DOTS     scale a logo wider than DOTS down to DOTS wide, keeping its\n"
     "                 proportions, by area averaging; never enlarges (384 dots is\n"
     "                 58 mm paper, 576 is 80 mm, 832 is 112 mm)\n"
     "  --dither KIND  threshold (dots below --threshold, default 128), stucki (the\n"
     "                 control's diffusion, as --mode diffusion), floyd-steinberg,\n"
     "                 atkinson or bayer; --brightness shifts the grey levels of the\n"
     "                 last three first, as it does for the diffusion\n"
     "  --scale N      also writes Temp-xN.bmp, the preview at N times the dot size\n"
     "                 (2 to 16), and prints its path on a second line\n"},
    {"upload",
     "Usage: tessaline-cli upload --printer NAME [--mode none|diffusion | --dither KIND]\n"
     "                            [--brightness 0-10] [--threshold 0-255] [--fit DOTS]\n"
     "                            [--commands esc-pos|star-line|star-prnt|auto] FILE...\n"
     "\n"
     "Stores the logos (BMP, PNG, JPEG or GIF files) in the printer's NV memory as\n"
     "images 1, 2, ... in the order given (Upload), replacing every image stored\n"
     "before. Progress goes to stderr. NV memory wears with writes: upload rarely.\n"
     "Defaults: none, 5. --fit and --dither work as for preview. When a FILE cannot\n"
     "be sent, nothing is sent; the message names the file and the reason.\n"
     "NAME is a spooler queue, or a printer's address (socket://HOST[:PORT],\n"
     "usb:///dev/usb/lpN, serial://PORT?baud=N, file:///PATH); an address also\n"
     "takes --connect-timeout MS (3000) and --read-timeout MS (1000).\n"
     "--commands names the queue's command language and keeps it for the queue\n"
     "(star-line: Star Line Mode logos, ESC FS q); auto (the default) uses the one\n"
     "kept, ESC/POS when none is. A queue kept in another language is refused.\n"},
    {"print", "Usage: tessaline-cli print --printer NAME (--all | --image N | --range FIRST-LAST)\n"
              "                           [--size 0-3] [--commands LANGUAGE]\n"
              "\n"
              "Prints stored NV images (Print) and cuts the paper. Image numbers run from\n"
              "1 to 255. Sizes: 0 normal, 1 double width, 2 double height, 3 both. Default\n"
              "size 0. NAME may be an address, as for upload, with --connect-timeout MS\n"
              "and --read-timeout MS. --commands as for upload (star-line: ESC FS p).\n"},
    {"erase", "Usage: tessaline-cli erase --printer NAME [--commands LANGUAGE]\n"
              "\n"
              "Erases every NV image the printer stores (Print with Printer 3). NAME may\n"
              "be an address, as for upload, with --connect-timeout MS and --read-timeout MS.\n"
              "--commands as for upload; a Star Line Mode printer's logos are replaced by\n"
              "one blank logo, since it deletes logos only by registering others.\n"},
    {"describe", "Usage: tessaline-cli describe\n"
                 "\n"
                 "Prints the control's type library as a host reads it: interfaces, dispatch\n"
                 "identifiers, members and their parameters.\n"},
};

const char* HelpOf(const std::string& command) {
    for (const Help& h : kHelps) {
        if (command == h.name) {
            return h.text;
        }
    }
    return "";
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

std::optional<int32_t> ParseInt(const std::string& text) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Options of the form --name VALUE; everything else is a plain argument.
struct ParsedArgs {
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> flags; // options without a value
    std::vector<std::string> plain;
    std::string error;

    const std::string* Option(const std::string& name) const {
        for (const auto& [key, value] : options) {
            if (key == name) {
                return &value;
            }
        }
        return nullptr;
    }
    bool Flag(const std::string& name) const {
        return std::find(flags.begin(), flags.end(), name) != flags.end();
    }
};

ParsedArgs Parse(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                 const std::vector<std::string>& withoutValue) {
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a.rfind("--", 0) != 0) {
            parsed.plain.push_back(a);
            continue;
        }
        if (std::find(withoutValue.begin(), withoutValue.end(), a) != withoutValue.end()) {
            parsed.flags.push_back(a);
            continue;
        }
        if (std::find(withValue.begin(), withValue.end(), a) == withValue.end()) {
            parsed.error = "unknown option '" + a + "'";
            return parsed;
        }
        if (i + 1 >= args.size()) {
            parsed.error = a + " needs a value";
            return parsed;
        }
        if (parsed.Option(a) != nullptr) {
            parsed.error = a + " given twice";
            return parsed;
        }
        parsed.options.emplace_back(a, args[++i]);
    }
    return parsed;
}

// Image mode and brightness as the program passes them: 0 or 1, and 0 to 10.
bool ReadModeAndBrightness(const ParsedArgs& parsed, int32_t& mode, int32_t& brightness,
                           std::string& why) {
    mode = 0;
    brightness = 5;
    if (const std::string* m = parsed.Option("--mode")) {
        if (*m == "none") {
            mode = 0;
        } else if (*m == "diffusion") {
            mode = 1;
        } else {
            why = "--mode is none or diffusion, not '" + *m + "'";
            return false;
        }
    }
    if (const std::string* b = parsed.Option("--brightness")) {
        const auto value = ParseInt(*b);
        if (!value || *value < 0 || *value > 10) {
            why = "--brightness is a whole number from 0 to 10, not '" + *b + "'";
            return false;
        }
        brightness = *value;
    }
    return true;
}

// --fit, --dither and --threshold, beside the image mode and brightness they
// adjust: "stucki" is the control's own diffusion, the others are made here.
bool ReadShaping(const ParsedArgs& parsed, int32_t& mode, int32_t brightness, ShapingChoice& choice,
                 std::string& why) {
    choice.brightness = brightness;
    if (const std::string* f = parsed.Option("--fit")) {
        const auto dots = ParseInt(*f);
        if (!dots || *dots < 8 || *dots > 8184) {
            why = "--fit is a width in dots from 8 to 8184, not '" + *f + "'";
            return false;
        }
        choice.fit = *dots;
    }
    const std::string* d = parsed.Option("--dither");
    if (d != nullptr && parsed.Option("--mode") != nullptr) {
        why = "give --mode or --dither, not both";
        return false;
    }
    if (d != nullptr && *d == "stucki") {
        mode = 1;
    } else if (d != nullptr) {
        choice.dither = DitherKindNamed(*d);
        if (!choice.dither) {
            why = "--dither is threshold, stucki, floyd-steinberg, atkinson or bayer, not '" + *d +
                  "'";
            return false;
        }
    }
    if (const std::string* t = parsed.Option("--threshold")) {
        const auto level = ParseInt(*t);
        if (choice.dither != DitherKind::Threshold) {
            why = "--threshold goes with --dither threshold";
            return false;
        }
        if (!level || *level < 0 || *level > 255) {
            why = "--threshold is a grey level from 0 to 255, not '" + *t + "'";
            return false;
        }
        choice.threshold = *level;
    }
    return true;
}

// The printer as the control is to get it: an address with the timeouts the
// options give joined to it. False, with why, for a timeout that is no number
// of milliseconds or one given for a spooler queue.
bool ReadPrinter(const ParsedArgs& parsed, std::string& printer, std::string& why) {
    printer = *parsed.Option("--printer");
    const std::string* connect = parsed.Option("--connect-timeout");
    const std::string* read = parsed.Option("--read-timeout");
    if (connect == nullptr && read == nullptr) {
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
    int32_t ms[2] = {static_cast<int32_t>(address.Value().connectTimeout.count()),
                     static_cast<int32_t>(address.Value().readTimeout.count())};
    const std::string* given[2] = {connect, read};
    for (int i = 0; i < 2; ++i) {
        if (given[i] == nullptr) {
            continue;
        }
        const auto n = ParseInt(*given[i]);
        if (!n || *n < 1 || *n > 3600000) {
            why = std::string(i == 0 ? "--connect-timeout" : "--read-timeout") +
                  " is 1 to 3600000 milliseconds, not '" + *given[i] + "'";
            return false;
        }
        ms[i] = *n;
    }
    printer =
        WithTimeouts(printer, std::chrono::milliseconds(ms[0]), std::chrono::milliseconds(ms[1]));
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
    default:
        return "the control returned " + std::to_string(result);
    }
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
    const ParsedArgs parsed =
        Parse(args, {"--mode", "--brightness", "--fit", "--dither", "--threshold", "--scale"}, {});
    if (!parsed.error.empty()) {
        return Usage("preview", parsed.error, err);
    }
    if (parsed.plain.size() != 1) {
        return Usage("preview", parsed.plain.empty() ? "missing FILE" : "one FILE at a time", err);
    }
    int32_t mode = 0, brightness = 5;
    std::string why;
    ShapingChoice choice;
    if (!ReadModeAndBrightness(parsed, mode, brightness, why) ||
        !ReadShaping(parsed, mode, brightness, choice, why)) {
        return Usage("preview", why, err);
    }
    int32_t scale = 1;
    if (const std::string* n = parsed.Option("--scale")) {
        const auto value = ParseInt(*n);
        if (!value || *value < 2 || *value > 16) {
            return Usage("preview", "--scale is a whole number from 2 to 16, not '" + *n + "'",
                         err);
        }
        scale = *value;
    }
    ShapedLogos shaped;
    const auto file = shaped.Prepare(parsed.plain[0], choice);
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
    if (path == file.Value() && file.Value() != parsed.plain[0]) {
        // Dots made here are their own preview: it lands where the control's would.
        const auto dots = ReadFileBytes(path);
        const std::filesystem::path target = std::filesystem::current_path() / "Temp.bmp";
        const Result<void> written =
            dots ? ReplaceFileAtomically(target, dots.Value()) : Result<void>::Fail(dots.Reason());
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

// Applies --commands: keeps the language for the queue, or refuses one that
// differs from the language kept for it. kExitDone to go on.
int ApplyCommands(const ParsedArgs& parsed, const std::string& command, const std::string& printer,
                  std::ostream& err) {
    const std::string* value = parsed.Option("--commands");
    if (value == nullptr || *value == "auto") {
        return kExitDone;
    }
    if (!ParseLogoCommands(*value)) {
        return Usage(command,
                     "--commands is esc-pos, star-line, star-prnt or auto, not '" + *value + "'",
                     err);
    }
    if (IsPrinterAddress(printer)) {
        if (*value == "esc-pos") {
            return kExitDone;
        }
        return Usage(command,
                     "--commands " + *value +
                         " applies to a spooler queue; a printer reached by "
                         "its address takes ESC/POS here",
                     err);
    }
    const std::filesystem::path file = PrinterCommandsFile();
    const auto kept = KeptPrinterCommands(file, printer);
    if (!kept) {
        err << "tessaline-cli " << command << ": " << kept.Reason() << "\n";
        return kExitWrongUse;
    }
    if (kept.Value() && *kept.Value() != *value) {
        err << "tessaline-cli " << command << ": the printer \"" << printer << "\" takes "
            << *kept.Value() << " (kept in " << file.string() << "); sending it " << *value
            << " would mix two languages on one printer, refused\n";
        return kExitWrongUse;
    }
    if (!kept.Value()) {
        if (Result<void> s = KeepPrinterCommands(file, printer, *value); !s) {
            err << "tessaline-cli " << command << ": " << s.Reason() << "\n";
            return kExitWrongUse;
        }
    }
    return kExitDone;
}

int UploadCommand(const std::vector<std::string>& args, const CliEnvironment& env,
                  std::ostream& err) {
    const ParsedArgs parsed =
        Parse(args,
              {"--printer", "--mode", "--brightness", "--fit", "--dither", "--threshold",
               "--connect-timeout", "--read-timeout", "--commands"},
              {});
    if (!parsed.error.empty()) {
        return Usage("upload", parsed.error, err);
    }
    if (parsed.Option("--printer") == nullptr) {
        return Usage("upload", "--printer NAME is required", err);
    }
    std::string target;
    if (std::string why; !ReadPrinter(parsed, target, why)) {
        return Usage("upload", why, err);
    }
    const std::string* printer = &target;
    if (parsed.plain.empty()) {
        return Usage("upload", "no FILE to upload", err);
    }
    if (const int status = ApplyCommands(parsed, "upload", *printer, err); status != kExitDone) {
        return status;
    }
    int32_t mode = 0, brightness = 5;
    std::string why;
    ShapingChoice choice;
    if (!ReadModeAndBrightness(parsed, mode, brightness, why) ||
        !ReadShaping(parsed, mode, brightness, choice, why)) {
        return Usage("upload", why, err);
    }
    std::string list;
    ShapedLogos shaped;
    for (const std::string& file : parsed.plain) {
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
        list += sent.Value() + "|";
    }
    auto host = CreateControl(env.libraries, err);
    if (!host) {
        return kExitNotTransmitted;
    }
    const std::size_t total = parsed.plain.size();
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
    return PrinterOutcome("upload", result,
                          result == TESSALINE_PRINTER_OK ? std::string()
                                                         : shaped.InUsersNames(ErrorTextOf(*host)),
                          *printer, env, err);
}

int PrintCommand(const std::vector<std::string>& args, const CliEnvironment& env, bool erase,
                 std::ostream& err) {
    const std::string command = erase ? "erase" : "print";
    const ParsedArgs parsed =
        erase ? Parse(args, {"--printer", "--connect-timeout", "--read-timeout", "--commands"}, {})
              : Parse(args,
                      {"--printer", "--image", "--range", "--size", "--connect-timeout",
                       "--read-timeout", "--commands"},
                      {"--all"});
    if (!parsed.error.empty()) {
        return Usage(command, parsed.error, err);
    }
    if (!parsed.plain.empty()) {
        return Usage(command, "unexpected argument '" + parsed.plain[0] + "'", err);
    }
    if (parsed.Option("--printer") == nullptr) {
        return Usage(command, "--printer NAME is required", err);
    }
    std::string target;
    if (std::string why; !ReadPrinter(parsed, target, why)) {
        return Usage(command, why, err);
    }
    const std::string* printer = &target;
    if (const int status = ApplyCommands(parsed, command, *printer, err); status != kExitDone) {
        return status;
    }
    int32_t selector = 0, range = 0, size = 0, last = 0;
    if (erase) {
        selector = 3;
    } else {
        const std::string* image = parsed.Option("--image");
        const std::string* span = parsed.Option("--range");
        const int choices = (parsed.Flag("--all") ? 1 : 0) + (image ? 1 : 0) + (span ? 1 : 0);
        if (choices != 1) {
            return Usage(command, "give exactly one of --all, --image N, --range FIRST-LAST", err);
        }
        if (image) {
            const auto n = ParseInt(*image);
            if (!n || *n < 1 || *n > 255) {
                return Usage(command, "--image is an image number from 1 to 255", err);
            }
            range = *n;
        } else if (span) {
            const std::size_t dash = span->find('-', 1);
            const auto first =
                dash == std::string::npos ? std::nullopt : ParseInt(span->substr(0, dash));
            const auto second =
                dash == std::string::npos ? std::nullopt : ParseInt(span->substr(dash + 1));
            if (!first || !second || *first < 1 || *second < *first || *second > 255) {
                return Usage(command, "--range is FIRST-LAST with 1 <= FIRST <= LAST <= 255", err);
            }
            range = *first;
            last = *second;
        }
        if (const std::string* s = parsed.Option("--size")) {
            const auto n = ParseInt(*s);
            if (!n || *n < 0 || *n > 3) {
                return Usage(command, "--size is 0, 1, 2 or 3", err);
            }
            size = *n;
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

bool IsControlCommand(const std::string& command) {
    for (const Help& h : kHelps) {
        if (command == h.name) {
            return true;
        }
    }
    return false;
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
