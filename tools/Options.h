// SPDX-License-Identifier: MIT
// The option layer of tessaline-cli. Each command declares its options once,
// as a table of Option values; from that table come its parser, the options
// part of its --help, its section of the man page and the shell completions.
//
// To add an option to a command, add one line to the command's table, e.g.
//     Integer("--paper-width", "DOTS", 8, 1024, "dots across the paper"),
// then read it from the parsed options: `parsed.Int("--paper-width")`.
// Refusals ("--paper-width is 8 to 1024, not 'x'", "needs a value", unknown
// options, an option given twice) are the layer's; .Refusal(), .Missing(),
// .Repeatable() and .Alias() on the declaration adjust them. An older
// spelling stays as an alias: it parses as the option it stands for and is
// shown once in the help as such.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

// What an option's value is; the completions offer values by it.
enum class ValueKind {
    Flag,    // no value
    Integer, // a whole decimal number from `low` to `high`, or one of `choices` where given
    Choice,  // one of `choices`
    Text,    // anything
    File,    // a file's path
    Printer, // a spooler queue, virtual printer or printer address
};

// An older spelling of an option, with the values it took and what each one
// stands for in the option's own words ("none" for "threshold").
struct OptionAlias {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values; // old value, new value
    std::string refusal; // after the name for a value it never took
};

struct Option {
    std::string name;  // "--jobs"
    std::string value; // "N", "MS", "KIND"; empty for a flag
    std::string help;  // one sentence or phrase, wrapped by the help
    ValueKind kind = ValueKind::Flag;
    int64_t low = 0, high = 0;
    std::vector<std::string> choices;
    std::string refusal;                   // after the name when the value is wrong
    std::string missing = "needs a value"; // after the name when no value follows
    bool repeatable = false;
    std::vector<OptionAlias> aliases;

    Option& Refusal(std::string text) & {
        refusal = std::move(text);
        return *this;
    }
    Option&& Refusal(std::string text) && { return std::move(Refusal(std::move(text))); }
    Option&& Missing(std::string text) && {
        missing = std::move(text);
        return std::move(*this);
    }
    Option&& Repeatable() && {
        repeatable = true;
        return std::move(*this);
    }
    // An Integer option that also takes these words ("paper", "58mm").
    Option&& OrWords(std::vector<std::string> words) && {
        choices = std::move(words);
        return std::move(*this);
    }
    Option&& Alias(OptionAlias alias) && {
        aliases.push_back(std::move(alias));
        return std::move(*this);
    }
    // The refusal for a wrong value: "--NAME is 1 to 1024" unless declared.
    std::string RefusalText() const;
};

Option Flag(std::string name, std::string help);
Option Integer(std::string name, std::string value, int64_t low, int64_t high, std::string help);
Option Choice(std::string name, std::string value, std::vector<std::string> choices,
              std::string help);
Option Text(std::string name, std::string value, std::string help,
            ValueKind kind = ValueKind::Text);

// The options several commands share, declared here once.
Option ConnectTimeoutOption();
Option ReadTimeoutOption();
Option WaitOption();    // --wait SECONDS, for a job through a CUPS queue
Option PrinterOption(); // --printer NAME

// A command line after its command words: the options by their own names
// (aliases already turned into them) and the operands in order.
class ParsedOptions {
public:
    std::vector<std::string> operands;

    bool Has(const std::string& name) const;
    // The option's value; null when not given.
    const std::string* Text(const std::string& name) const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> All(const std::string& name) const;
    // An Integer option's value, checked against its range when parsed;
    // nothing when not given or given as one of its words.
    std::optional<int64_t> Int(const std::string& name) const;
    // How the user spelled the option: its name or an alias.
    std::string Spelling(const std::string& name) const;

    struct Given {
        std::string name, spelling, value;
    };
    std::vector<Given> given;
};

// Reads `args` against `options`: "--name VALUE", "--name=VALUE" and flags,
// anywhere among the operands; "--" ends the options. The reason, in the
// user's terms, when the command line is wrong.
Result<ParsedOptions> ParseOptions(const std::vector<std::string>& args,
                                   std::span<const Option> options);

// Hands --wait, where given, to the CUPS backend (the control's included).
void PassJobWait(const ParsedOptions& parsed);

// `text` as a whole decimal number from `low` to `high`; nothing otherwise.
std::optional<int64_t> Number(const std::string& text, int64_t low, int64_t high);

// The options part of a help text: each option, then each alias once.
std::string OptionsHelp(std::span<const Option> options);

// A command as its help, the man page and the completions show it.
struct CliCommand {
    std::string words;   // "apply", "nv store", "vprinter add"
    std::string summary; // one line: what it does
    std::string usage;   // the "Usage: ..." lines
    std::string about;   // what it does, before the options
    std::vector<Option> options;
    std::string after;               // notes after the options
    std::vector<ValueKind> operands; // what its plain arguments are, for completions
    bool lastOperandRepeats = false; // FILE...
};

// The help text: usage, about, the options and the notes after them.
std::string HelpText(const CliCommand& command);

} // namespace tessaline
