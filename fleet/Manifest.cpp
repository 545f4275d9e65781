// SPDX-License-Identifier: MIT
#include "fleet/Manifest.h"

#include "TomlFaults.h"
#include "platform/FileIo.h"
#include "platform/PrinterAddress.h"
#include "printer/NvGraphics.h"
#include "printer/PaperRolls.h"

#include <algorithm>
#include <set>
#include <toml++/toml.h>

namespace tessaline {

namespace {

// Collects the problems of one manifest, each at its place in the file.
class Problems {
public:
    explicit Problems(std::string file) : m_file(std::move(file)) {}

    void At(const toml::source_region& where, const std::string& what) {
        At(static_cast<int>(where.begin.line), static_cast<int>(where.begin.column), what);
    }
    void At(int line, int column, const std::string& what) {
        std::string text = m_file;
        text.append(":").append(std::to_string(line)).append(":").append(std::to_string(column));
        text.append(": ").append(what);
        m_list.push_back(std::move(text));
    }
    bool Any() const { return !m_list.empty(); }
    size_t Count() const { return m_list.size(); }
    std::string Text() const {
        std::string all;
        for (const std::string& p : m_list) {
            all.append(p).append("\n");
        }
        if (!all.empty()) {
            all.pop_back();
        }
        return all;
    }

private:
    std::string m_file;
    std::vector<std::string> m_list;
};

std::string Quoted(std::string_view text) {
    std::string q = "'";
    q.append(text).append("'");
    return q;
}

// Unknown keys of a table, reported with the keys it takes.
void CheckKeys(const toml::table& table, const std::set<std::string_view>& known,
               const std::string& where, const std::string& expected, Problems& problems) {
    for (auto&& [key, node] : table) {
        if (known.count(key.str()) == 0) {
            problems.At(key.source(), "unknown key " + Quoted(key.str()) + " in " + where +
                                          "; expected " + expected);
        }
    }
}

// A true-or-false key of `table`, where given.
void ReadFlag(const toml::table& table, std::string_view key, bool& flag, Problems& problems) {
    if (const toml::node* node = table.get(key)) {
        if (!node->is_boolean()) {
            problems.At(node->source(), std::string(key) + " is true or false");
        } else {
            flag = node->value<bool>().value_or(flag);
        }
    }
}

// The settings [defaults] and a logo share.
struct LogoSettings {
    int32_t imageMode = 0;
    int32_t brightness = 5;
    int32_t fit = 0;
    bool fitPaper = false;
    std::string dither = "threshold"; // the command line's --dither word
    std::optional<int> threshold;     // threshold = N: a level of the user's own
};

void ReadLogoSettings(const toml::table& table, LogoSettings& s, Problems& problems) {
    // dither is the command line's word for the conversion: "threshold" and
    // "stucki" are the two image-mode names, which stays for stored manifests.
    const toml::node* dither = table.get("dither");
    if (dither != nullptr && table.get("image-mode") != nullptr) {
        problems.At(dither->source(), "give dither or image-mode, not both");
    } else if (dither != nullptr) {
        const auto* text = dither->as_string();
        if (text != nullptr && (text->get() == "threshold" || text->get() == "stucki" ||
                                DitherKindNamed(text->get()))) {
            s.dither = text->get();
            // A level the defaults gave belongs to their dither, not this one.
            s.threshold.reset();
        } else {
            problems.At(dither->source(), "dither is \"threshold\", \"stucki\", "
                                          "\"floyd-steinberg\", \"atkinson\" or \"bayer\"");
        }
    }
    if (const toml::node* mode = table.get("image-mode")) {
        const auto* text = mode->as_string();
        if (text != nullptr && text->get() == "none") {
            s.dither = "threshold";
            s.threshold.reset();
        } else if (text != nullptr && text->get() == "error-diffusion") {
            s.dither = "stucki";
            s.threshold.reset();
        } else {
            problems.At(mode->source(), "image-mode is \"error-diffusion\" or \"none\"");
        }
    }
    if (const toml::node* t = table.get("threshold")) {
        const auto value = t->value<int64_t>();
        if (!t->is_integer() || !value || *value < 0 || *value > 255) {
            problems.At(t->source(), "threshold is a grey level from 0 to 255");
        } else if (s.dither != "threshold") {
            problems.At(t->source(), "threshold goes with dither = \"threshold\", not with \"" +
                                         s.dither + "\"");
        } else {
            s.threshold = static_cast<int>(*value);
        }
    }
    s.imageMode = s.dither == "stucki" ? 1 : 0;
    if (const toml::node* b = table.get("brightness")) {
        const auto value = b->value<int64_t>();
        if (!b->is_integer() || !value || *value < 0 || *value > 10) {
            problems.At(b->source(), "brightness is a whole number from 0 to 10");
        } else {
            s.brightness = static_cast<int32_t>(*value);
        }
    }
    if (const toml::node* f = table.get("fit")) {
        const auto value = f->value<int64_t>();
        const auto* word = f->as_string();
        if (word != nullptr && word->get() == "paper") {
            s.fit = 0;
            s.fitPaper = true;
        } else if (!f->is_integer() || !value || *value < 8 || *value > 8184) {
            problems.At(f->source(), "fit is the paper's width in dots, from 8 to 8184, or "
                                     "\"paper\" for each printer's paper-width");
        } else {
            s.fit = static_cast<int32_t>(*value);
            s.fitPaper = false;
        }
    }
}

// paper-width = 384, or the roll's name: "58mm", "80mm".
void ReadPaperWidth(const toml::node& node, int32_t& dots, Problems& problems) {
    const auto number = node.value<int64_t>();
    const std::string* name = node.as_string() != nullptr ? &node.as_string()->get() : nullptr;
    if (node.is_integer() && number && *number >= kMinPaperDots && *number <= kMaxPaperDots) {
        dots = static_cast<int32_t>(*number);
    } else if (const auto roll = name != nullptr ? PaperRollDots(*name) : std::nullopt) {
        dots = *roll;
    } else {
        problems.At(node.source(), "paper-width is the paper's width in dots, from 8 to 8184, "
                                   "or \"58mm\" or \"80mm\"");
    }
}

// auto-logo = { top = "A1", bottom = "A2", align = "center" }; an empty
// table asks for no automatic logo.
void ReadAutoLogo(const toml::node& node, std::optional<AutoLogoSettings>& into,
                  Problems& problems) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        problems.At(node.source(), "auto-logo is a table, as in { top = \"A1\", bottom = \"A2\", "
                                   "align = \"center\" }");
        return;
    }
    const size_t before = problems.Count();
    CheckKeys(*table, {"top", "bottom", "align"}, "auto-logo", "top, bottom or align", problems);
    LogoAlign align = LogoAlign::Center;
    if (const toml::node* a = table->get("align")) {
        const auto* text = a->as_string();
        const auto parsed =
            text != nullptr ? ParseLogoAlign(text->get()) : Result<LogoAlign>::Fail("not text");
        if (!parsed) {
            problems.At(a->source(), "align is \"left\", \"center\" or \"right\"");
        } else {
            align = parsed.Value();
        }
        if (table->get("top") == nullptr && table->get("bottom") == nullptr) {
            problems.At(a->source(), "align places the top or bottom logo; expected top = "
                                     "\"KEY\" or bottom = \"KEY\" beside it");
        }
    }
    AutoLogoSettings settings;
    for (const char* place : {"top", "bottom"}) {
        const toml::node* k = table->get(place);
        if (k == nullptr) {
            continue;
        }
        const auto* text = k->as_string();
        const auto key =
            text != nullptr ? ParseGraphicKey(text->get()) : Result<GraphicKey>::Fail("not text");
        if (!key) {
            problems.At(k->source(), std::string("auto-logo ") + place +
                                         " is an NV graphics key in quotes; expected two "
                                         "characters from blank to '~', as in \"A1\"");
            continue;
        }
        (place[0] == 't' ? settings.top : settings.bottom) =
            LogoSetting{key.Value(), align, std::nullopt};
    }
    if (problems.Count() == before) {
        into = settings;
    }
}

bool ReadCommands(const toml::node& node, NvCommands& commands, Problems& problems) {
    const auto* text = node.as_string();
    if (text != nullptr && text->get() == "auto") {
        commands = NvCommands::Auto;
    } else if (text != nullptr && text->get() == "nv-graphics") {
        commands = NvCommands::Graphics;
    } else if (text != nullptr && text->get() == "nv-bit-images") {
        commands = NvCommands::BitImages;
    } else if (text != nullptr && text->get() == "star-line") {
        commands = NvCommands::StarLine;
    } else if (text != nullptr && text->get() == "star-prnt") {
        commands = NvCommands::StarPrnt;
    } else {
        problems.At(node.source(), "commands is \"auto\", \"nv-graphics\", \"nv-bit-images\", "
                                   "\"star-line\" or \"star-prnt\"");
        return false;
    }
    return true;
}

const char* CommandsName(NvCommands commands) {
    switch (commands) {
    case NvCommands::Auto:
        return "auto";
    case NvCommands::Graphics:
        return "nv-graphics";
    case NvCommands::BitImages:
        return "nv-bit-images";
    case NvCommands::StarLine:
        return "star-line";
    case NvCommands::StarPrnt:
        break;
    }
    return "star-prnt";
}

const std::string* StringOf(const toml::node& node) {
    const auto* text = node.as_string();
    return text != nullptr ? &text->get() : nullptr;
}

// The logos of one printer: keys checked for its commands, names for the
// manifest's logos.
void ReadPrinterLogos(const toml::node& node, const Manifest& manifest, ManifestPrinter& printer,
                      Problems& problems) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        problems.At(node.source(), "logos is a table of key = \"logo name\", as in "
                                   "{ \"A1\" = \"header\" }");
        return;
    }
    for (auto&& [key, value] : *table) {
        const std::string* logo = StringOf(value);
        if (logo == nullptr) {
            problems.At(value.source(),
                        "the logo of key " + Quoted(key.str()) + " is a logo's name in quotes");
            continue;
        }
        if (manifest.logos.count(*logo) == 0) {
            std::string defined;
            for (const auto& [name, unused] : manifest.logos) {
                defined.append(defined.empty() ? "" : ", ").append(name);
            }
            problems.At(value.source(),
                        "no logo named " + Quoted(*logo) + "; expected one of [logos." +
                            "NAME]: " + (defined.empty() ? "none defined" : defined));
            continue;
        }
        if (NumberedLogos(printer.commands)) {
            const std::string k(key.str());
            const bool number =
                !k.empty() && k.size() <= 3 && k[0] != '0' &&
                std::all_of(k.begin(), k.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
                std::stoi(k) <= 255;
            if (!number) {
                problems.At(key.source(), std::string(printer.commands == NvCommands::StarLine
                                                          ? "Star Line Mode logo key "
                                                          : "NV bit image key ") +
                                              Quoted(k) + " is not a number; expected 1 to 255");
                continue;
            }
        } else if (const auto parsed = ParseGraphicKey(key.str()); !parsed) {
            problems.At(key.source(), "NV graphics key " + Quoted(key.str()) +
                                          " has the wrong length; expected two characters from "
                                          "blank to '~', as in \"A1\"");
            continue;
        }
        printer.logos.emplace_back(key.str(), *logo);
    }
    if (NumberedLogos(printer.commands)) {
        std::sort(printer.logos.begin(), printer.logos.end(), [](const auto& a, const auto& b) {
            return std::stoi(a.first) < std::stoi(b.first);
        });
        for (size_t i = 0; i < printer.logos.size(); ++i) {
            if (std::stoi(printer.logos[i].first) != static_cast<int>(i + 1)) {
                problems.At(
                    node.source(),
                    std::string(printer.commands == NvCommands::StarLine ? "Star Line Mode logos"
                                                                         : "NV bit images") +
                        " are numbered 1 to n in order: " + Quoted(printer.logos[i].first) +
                        " follows " +
                        (i == 0 ? std::string("nothing") : Quoted(printer.logos[i - 1].first)) +
                        "; expected " + Quoted(std::to_string(i + 1)));
                break;
            }
        }
    } else {
        std::sort(printer.logos.begin(), printer.logos.end());
    }
}

} // namespace

Result<Manifest> ParseManifest(std::string_view text, const std::filesystem::path& file) {
    Problems problems(file.string());
    std::optional<SyntaxFault> unreadable;
    const std::string ascii = AsciiForToml(text, unreadable);
    if (unreadable) {
        problems.At(unreadable->line, unreadable->column, unreadable->what);
        return Result<Manifest>::Fail(problems.Text());
    }
    toml::table root;
    try {
        root = toml::parse(ascii, file.string());
    } catch (const toml::parse_error& error) {
        // The first syntax fault alone: what follows it cannot be read.
        const SyntaxFault fault =
            DescribeSyntaxFault(text, static_cast<int>(error.source().begin.line),
                                static_cast<int>(error.source().begin.column), error.description());
        problems.At(fault.line, fault.column, fault.what);
        return Result<Manifest>::Fail(problems.Text());
    }
    Manifest manifest;
    manifest.file = file;
    const std::filesystem::path folder = file.parent_path();
    CheckKeys(root, {"defaults", "logos", "printers"}, "the manifest",
              "[defaults], [logos.NAME] or [[printers]]", problems);

    LogoSettings defaults;
    NvCommands defaultCommands = NvCommands::Auto;
    bool defaultReplace = false;
    int32_t defaultPaper = 0;
    std::optional<AutoLogoSettings> defaultAutoLogo;
    if (const toml::node* d = root.get("defaults")) {
        if (const toml::table* table = d->as_table()) {
            CheckKeys(*table,
                      {"dither", "threshold", "image-mode", "brightness", "commands", "fit",
                       "paper-width", "replace-other-logos", "auto-logo"},
                      "[defaults]",
                      "dither, threshold, brightness, commands, fit, paper-width, "
                      "replace-other-logos or auto-logo",
                      problems);
            if (const toml::node* a = table->get("auto-logo")) {
                ReadAutoLogo(*a, defaultAutoLogo, problems);
            }
            ReadLogoSettings(*table, defaults, problems);
            if (const toml::node* w = table->get("paper-width")) {
                ReadPaperWidth(*w, defaultPaper, problems);
            }
            if (const toml::node* c = table->get("commands")) {
                ReadCommands(*c, defaultCommands, problems);
            }
            ReadFlag(*table, "replace-other-logos", defaultReplace, problems);
        } else {
            problems.At(d->source(), "defaults is a table, [defaults]");
        }
    }

    if (const toml::node* l = root.get("logos")) {
        const toml::table* logos = l->as_table();
        if (logos == nullptr) {
            problems.At(l->source(), "logos is a table of logos, [logos.NAME]");
        } else {
            for (auto&& [name, node] : *logos) {
                const toml::table* table = node.as_table();
                const std::string where = "[logos." + std::string(name.str()) + "]";
                if (table == nullptr) {
                    problems.At(node.source(), where + " is a table with file = \"PATH\"");
                    continue;
                }
                CheckKeys(*table,
                          {"file", "dither", "threshold", "image-mode", "brightness", "fit"}, where,
                          "file, dither, threshold, brightness or fit", problems);
                LogoSettings s = defaults;
                ReadLogoSettings(*table, s, problems);
                ManifestLogo logo;
                logo.name = name.str();
                logo.imageMode = s.imageMode;
                logo.brightness = s.brightness;
                logo.fit = s.fit;
                logo.fitPaper = s.fitPaper;
                if (s.threshold) {
                    logo.dither = DitherKind::Threshold;
                    logo.threshold = *s.threshold;
                } else if (s.dither != "threshold" && s.dither != "stucki") {
                    logo.dither = DitherKindNamed(s.dither);
                }
                const toml::node* f = table->get("file");
                const std::string* path = f != nullptr ? StringOf(*f) : nullptr;
                if (path == nullptr || path->empty()) {
                    problems.At(f != nullptr ? f->source() : node.source(),
                                where + " needs file = \"PATH\", the logo's picture");
                    continue;
                }
                logo.file = std::filesystem::path(*path).is_absolute()
                                ? std::filesystem::path(*path)
                                : folder / *path;
                logo.line = static_cast<int>(f->source().begin.line);
                logo.column = static_cast<int>(f->source().begin.column);
                std::error_code ec;
                if (!std::filesystem::is_regular_file(logo.file, ec)) {
                    problems.At(f->source(), "no file " + logo.file.string() +
                                                 "; expected a BMP, PNG, JPEG or GIF logo "
                                                 "(relative paths start at the manifest's folder)");
                    continue;
                }
                manifest.logos.emplace(logo.name, std::move(logo));
            }
        }
    }

    std::map<std::string, int> addresses; // address to the line of its printer
    if (const toml::node* p = root.get("printers")) {
        const toml::array* printers = p->as_array();
        if (printers == nullptr) {
            problems.At(p->source(), "printers is a list of tables, [[printers]]");
        } else {
            for (const toml::node& node : *printers) {
                const toml::table* table = node.as_table();
                if (table == nullptr) {
                    problems.At(node.source(), "a printer is a table, [[printers]]");
                    continue;
                }
                CheckKeys(*table,
                          {"name", "address", "commands", "logos", "prune", "paper-width",
                           "replace-other-logos", "auto-logo"},
                          "[[printers]]",
                          "name, address, commands, logos, prune, paper-width, "
                          "replace-other-logos or auto-logo",
                          problems);
                ManifestPrinter printer;
                printer.line = static_cast<int>(node.source().begin.line);
                printer.commands = defaultCommands;
                printer.paperWidth = defaultPaper;
                if (const toml::node* w = table->get("paper-width")) {
                    ReadPaperWidth(*w, printer.paperWidth, problems);
                }
                printer.replaceOtherLogos = defaultReplace;
                ReadFlag(*table, "replace-other-logos", printer.replaceOtherLogos, problems);
                const toml::node* address = table->get("address");
                const std::string* a = address != nullptr ? StringOf(*address) : nullptr;
                if (a == nullptr || a->empty()) {
                    problems.At(address != nullptr ? address->source() : node.source(),
                                "a printer needs address = \"socket://HOST:PORT\" or a spooler "
                                "queue's name");
                    continue;
                }
                printer.address = BareAddressAsSocket(*a);
                if (printer.address.empty()) {
                    printer.address = *a;
                } else {
                    std::string note = file.string();
                    note += ":";
                    note += std::to_string(address->source().begin.line);
                    note += ":";
                    note += std::to_string(address->source().begin.column);
                    note += ": taking ";
                    note += *a;
                    note += " as ";
                    note += printer.address;
                    manifest.notes.push_back(std::move(note));
                }
                if (const auto [at, added] = addresses.emplace(printer.address, printer.line);
                    !added) {
                    problems.At(address->source(), "the address " + Quoted(printer.address) +
                                                       " is the printer's at line " +
                                                       std::to_string(at->second) +
                                                       " already; expected each printer once");
                }
                const toml::node* name = table->get("name");
                const std::string* n = name != nullptr ? StringOf(*name) : nullptr;
                if (name != nullptr && n == nullptr) {
                    problems.At(name->source(), "name is text in quotes");
                }
                printer.name = n != nullptr && !n->empty() ? *n : *a;
                if (const toml::node* c = table->get("commands")) {
                    ReadCommands(*c, printer.commands, problems);
                }
                ReadFlag(*table, "prune", printer.prune, problems);
                // The automatic logo prints an NV graphic by key: the defaults'
                // reach the printers that keep them, and a printer of numbered
                // logos is told its own is not for it.
                const bool graphics = printer.commands == NvCommands::Auto ||
                                      printer.commands == NvCommands::Graphics;
                if (const toml::node* own = table->get("auto-logo")) {
                    if (graphics) {
                        ReadAutoLogo(*own, printer.autoLogo, problems);
                    } else if (printer.commands == NvCommands::StarPrnt) {
                        // Its graphics are keyed, but the automatic logo is ESC/POS's FS ( E.
                        problems.At(own->source(),
                                    "auto-logo is set with ESC/POS's FS ( E, which a printer with "
                                    "commands = \"star-prnt\" does not take; expected commands = "
                                    "\"nv-graphics\" or \"auto\"");
                    } else {
                        problems.At(own->source(),
                                    "auto-logo prints an NV graphic by key, which a printer with "
                                    "commands = \"" +
                                        std::string(CommandsName(printer.commands)) +
                                        "\" does not keep; expected commands = \"nv-graphics\" or "
                                        "\"auto\"");
                    }
                } else if (graphics) {
                    printer.autoLogo = defaultAutoLogo;
                }
                if (const toml::node* logos = table->get("logos")) {
                    ReadPrinterLogos(*logos, manifest, printer, problems);
                } else {
                    problems.At(node.source(), "a printer needs logos = { KEY = \"logo name\" }");
                }
                manifest.printers.push_back(std::move(printer));
            }
        }
    }
    if (manifest.printers.empty() && !problems.Any()) {
        problems.At(1, 1, "no printers; expected at least one [[printers]] table");
    }
    if (problems.Any()) {
        return Result<Manifest>::Fail(problems.Text());
    }
    return manifest;
}

Result<Manifest> ReadManifest(const std::filesystem::path& file) {
    // A manifest is a page of text; a huge file is not one.
    const auto text = ReadWholeFile(file, 4u << 20);
    if (!text) {
        return Result<Manifest>::FailAs(text);
    }
    return ParseManifest(text.Value(), file);
}

} // namespace tessaline
