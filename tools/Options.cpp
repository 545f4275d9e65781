// SPDX-License-Identifier: MIT
#include "Options.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace tessaline {

namespace {

constexpr std::size_t kHelpColumn = 25;
constexpr std::size_t kHelpWidth = 80;

std::string Joined(const std::vector<std::string>& items, const std::string& between,
                   const std::string& last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? last : between) + items[i];
    }
    return text;
}

// One help entry: the spelling at two blanks, its text from kHelpColumn on,
// wrapped at kHelpWidth.
void AppendEntry(std::string& out, const std::string& spelling, const std::string& help) {
    std::string line = "  " + spelling;
    line += line.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - line.size(), ' ')
                                           : "\n" + std::string(kHelpColumn, ' ');
    std::size_t lineStart = line.rfind('\n') == std::string::npos ? 0 : line.rfind('\n') + 1;
    std::size_t at = 0;
    bool first = true;
    while (at < help.size()) {
        std::size_t end = help.find(' ', at);
        const std::string word = help.substr(at, end == std::string::npos ? end : end - at);
        if (!first && line.size() - lineStart + 1 + word.size() > kHelpWidth) {
            line += "\n" + std::string(kHelpColumn, ' ');
            lineStart = line.size() - kHelpColumn;
            first = true;
        }
        line += (first ? "" : " ") + word;
        first = false;
        at = end == std::string::npos ? help.size() : end + 1;
    }
    out += line + "\n";
}

const Option* Find(std::span<const Option> options, const std::string& spelling,
                   const OptionAlias** alias) {
    *alias = nullptr;
    for (const Option& o : options) {
        if (o.name == spelling) {
            return &o;
        }
        for (const OptionAlias& a : o.aliases) {
            if (a.name == spelling) {
                *alias = &a;
                return &o;
            }
        }
    }
    return nullptr;
}

// The value as the option takes it, or the refusal.
Result<std::string> Checked(const Option& o, const OptionAlias* alias, const std::string& spelling,
                            const std::string& value) {
    using R = Result<std::string>;
    if (alias != nullptr) {
        for (const auto& [old, now] : alias->values) {
            if (value == old) {
                return now;
            }
        }
        return R::Fail(spelling + " " + alias->refusal + ", not '" + value + "'");
    }
    const bool word = std::find(o.choices.begin(), o.choices.end(), value) != o.choices.end();
    if (o.kind == ValueKind::Integer && !word && !Number(value, o.low, o.high)) {
        return R::Fail(o.name + " " + o.RefusalText() + ", not '" + value + "'");
    }
    if (o.kind == ValueKind::Choice && !word) {
        return R::Fail(o.name + " " + o.RefusalText() + ", not '" + value + "'");
    }
    return value;
}

} // namespace

std::string Option::RefusalText() const {
    if (!refusal.empty()) {
        return refusal;
    }
    if (kind == ValueKind::Choice) {
        return "is " + Joined(choices, ", ", " or ");
    }
    const std::string range = "is " + std::to_string(low) + " to " + std::to_string(high);
    return choices.empty() ? range : range + ", or " + Joined(choices, ", ", " or ");
}

Option Flag(std::string name, std::string help) {
    Option o;
    o.name = std::move(name);
    o.help = std::move(help);
    return o;
}

Option Integer(std::string name, std::string value, int64_t low, int64_t high, std::string help) {
    Option o;
    o.name = std::move(name);
    o.value = std::move(value);
    o.help = std::move(help);
    o.kind = ValueKind::Integer;
    o.low = low;
    o.high = high;
    return o;
}

Option Choice(std::string name, std::string value, std::vector<std::string> choices,
              std::string help) {
    Option o;
    o.name = std::move(name);
    o.value = std::move(value);
    o.help = std::move(help);
    o.kind = ValueKind::Choice;
    o.choices = std::move(choices);
    return o;
}

Option Text(std::string name, std::string value, std::string help, ValueKind kind) {
    Option o;
    o.name = std::move(name);
    o.value = std::move(value);
    o.help = std::move(help);
    o.kind = kind;
    return o;
}

Option ConnectTimeoutOption() {
    return Integer("--connect-timeout", "MS", 1, 3600000,
                   "how long to wait for the connection, 3000 by default")
        .Refusal("is 1 to 3600000 milliseconds")
        .Missing("needs a number of milliseconds");
}

Option ReadTimeoutOption() {
    return Integer("--read-timeout", "MS", 1, 3600000,
                   "how long to wait for each answer, 1000 by default")
        .Refusal("is 1 to 3600000 milliseconds")
        .Missing("needs a number of milliseconds");
}

Option WaitOption() {
    return Integer("--wait", "SECONDS", 0, 86400,
                   "through a CUPS queue: how long to follow the job until CUPS has printed it, "
                   "20 by default; 0 returns once the job is queued")
        .Refusal("is 0 to 86400 seconds")
        .Missing("needs a number of seconds");
}

void PassJobWait(const ParsedOptions& parsed) {
#ifndef _WIN32
    // The CUPS backend follows each job this long, in the control as here.
    if (const std::optional<int64_t> wait = parsed.Int("--wait")) {
        ::setenv("TESSALINE_CUPS_WAIT", std::to_string(*wait).c_str(), 1);
    }
#else
    // The Windows spooler reports the ended job itself.
    static_cast<void>(parsed);
#endif
}

Option PrinterOption() {
    return Text("--printer", "NAME", "the spooler queue, virtual printer or printer's address",
                ValueKind::Printer);
}

bool ParsedOptions::Has(const std::string& name) const {
    return Text(name) != nullptr;
}

const std::string* ParsedOptions::Text(const std::string& name) const {
    const std::string* found = nullptr;
    for (const Given& g : given) {
        if (g.name == name) {
            found = &g.value;
        }
    }
    return found;
}

std::vector<std::string> ParsedOptions::All(const std::string& name) const {
    std::vector<std::string> values;
    for (const Given& g : given) {
        if (g.name == name) {
            values.push_back(g.value);
        }
    }
    return values;
}

std::optional<int64_t> ParsedOptions::Int(const std::string& name) const {
    const std::string* text = Text(name);
    return text == nullptr ? std::nullopt : Number(*text, INT64_MIN, INT64_MAX);
}

std::string ParsedOptions::Spelling(const std::string& name) const {
    for (const Given& g : given) {
        if (g.name == name) {
            return g.spelling;
        }
    }
    return name;
}

Result<ParsedOptions> ParseOptions(const std::vector<std::string>& args,
                                   std::span<const Option> options) {
    using R = Result<ParsedOptions>;
    ParsedOptions parsed;
    bool ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (ended || a.size() < 2 || a.rfind("--", 0) != 0) {
            parsed.operands.push_back(a);
            continue;
        }
        if (a == "--") {
            ended = true;
            continue;
        }
        const std::size_t eq = a.find('=');
        const std::string spelling = a.substr(0, eq);
        const OptionAlias* alias = nullptr;
        const Option* o = Find(options, spelling, &alias);
        if (o == nullptr) {
            return R::Fail("unknown option '" + spelling + "'");
        }
        std::string value;
        if (o->kind == ValueKind::Flag) {
            if (eq != std::string::npos) {
                return R::Fail(spelling + " takes no value");
            }
        } else if (eq != std::string::npos) {
            value = a.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return R::Fail(spelling + " " + o->missing);
        }
        for (const ParsedOptions::Given& g : parsed.given) {
            if (g.name == o->name && !o->repeatable) {
                return R::Fail(g.spelling == spelling
                                   ? spelling + " given twice"
                                   : "give " + g.spelling + " or " + spelling + ", not both");
            }
        }
        if (o->kind != ValueKind::Flag) {
            Result<std::string> checked = Checked(*o, alias, spelling, value);
            if (!checked) {
                return R::FailAs(checked);
            }
            value = std::move(checked).Value();
        }
        parsed.given.push_back({o->name, spelling, std::move(value)});
    }
    return parsed;
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

std::string OptionsHelp(std::span<const Option> options) {
    std::string out;
    for (const Option& o : options) {
        AppendEntry(out, o.value.empty() ? o.name : o.name + " " + o.value, o.help);
    }
    for (const Option& o : options) {
        for (const OptionAlias& a : o.aliases) {
            std::vector<std::string> olds, nows;
            for (const auto& [old, now] : a.values) {
                olds.push_back(old);
                nows.push_back(now);
            }
            AppendEntry(out, a.name + " " + Joined(olds, "|", "|"),
                        "the older spelling of " + o.name + " " + Joined(nows, "|", "|") +
                            ", still taken");
        }
    }
    return out;
}

std::string HelpText(const CliCommand& command) {
    std::string text = command.usage;
    for (const std::string& part : {command.about, OptionsHelp(command.options), command.after}) {
        if (!part.empty()) {
            text.append(1, '\n').append(part);
        }
    }
    return text;
}

} // namespace tessaline
