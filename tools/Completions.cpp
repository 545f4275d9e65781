// SPDX-License-Identifier: MIT
#include "Completions.h"

#include <algorithm>
#include <set>

namespace tessaline {

namespace {

constexpr const char* kAllPrinters = "tessaline-cli printers 2>/dev/null";
constexpr const char* kVirtualPrinters = "tessaline-cli vprinter list 2>/dev/null";

bool IsVirtual(const CliCommand& c) {
    return c.words.rfind("vprinter ", 0) == 0;
}

std::string Words(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : " ") + item;
    }
    return text;
}

// Single quotes for the shells: ' becomes '\''.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// The bash words that complete a value of `kind` (into COMPREPLY).
std::string BashValues(ValueKind kind, const std::vector<std::string>& choices, bool virtualOnly) {
    if (kind == ValueKind::Integer && !choices.empty()) {
        kind = ValueKind::Choice; // the words it takes besides a number
    }
    switch (kind) {
    case ValueKind::Choice:
        return "COMPREPLY=($(compgen -W " + Quoted(Words(choices)) + " -- \"$cur\"))";
    case ValueKind::File:
        return "COMPREPLY=($(compgen -f -- \"$cur\"))";
    case ValueKind::Printer:
        return std::string("local IFS=$'\\n'; COMPREPLY=($(compgen -W \"$(") +
               (virtualOnly ? kVirtualPrinters : kAllPrinters) + ")\" -- \"$cur\"))";
    default:
        return "COMPREPLY=()";
    }
}

std::string Bash(const std::vector<CliCommand>& commands) {
    std::set<std::string> top;
    for (const CliCommand& c : commands) {
        top.insert(c.words.substr(0, c.words.find(' ')));
    }
    std::string s =
        "# bash completion for tessaline-cli, written by tessaline-cli completion bash\n"
        "_tessaline_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local key=${COMP_WORDS[1]} first=2\n"
        "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
        "        COMPREPLY=($(compgen -W " +
        Quoted(Words({top.begin(), top.end()}) + " --help --version") +
        " -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    case $key in\n";
    for (const std::string& group : top) {
        std::vector<std::string> subs;
        for (const CliCommand& c : commands) {
            if (c.words.rfind(group + " ", 0) == 0) {
                subs.push_back(c.words.substr(group.size() + 1));
            }
        }
        if (subs.empty()) {
            continue;
        }
        s += "    " + group +
             ")\n"
             "        if [[ $COMP_CWORD -eq 2 ]]; then\n"
             "            COMPREPLY=($(compgen -W " +
             Quoted(Words(subs) + " --help") +
             " -- \"$cur\"))\n"
             "            return\n"
             "        fi\n"
             "        key=\"$key ${COMP_WORDS[2]}\" first=3 ;;\n";
    }
    s += "    esac\n"
         "    case \"$key\" in\n";
    for (const CliCommand& c : commands) {
        std::vector<std::string> names = {"--help"};
        s += "    " + Quoted(c.words) + ")\n        case $prev in\n";
        for (const Option& o : c.options) {
            names.push_back(o.name);
            for (const OptionAlias& a : o.aliases) {
                names.push_back(a.name);
            }
            if (o.kind != ValueKind::Flag) {
                s += "        " + o.name + ") " + BashValues(o.kind, o.choices, IsVirtual(c)) +
                     "; return ;;\n";
            }
            for (const OptionAlias& alias : o.aliases) {
                std::vector<std::string> olds;
                for (const auto& [old, now] : alias.values) {
                    olds.push_back(old);
                }
                s += "        " + alias.name + ") " + BashValues(ValueKind::Choice, olds, false) +
                     "; return ;;\n";
            }
        }
        s += "        esac\n"
             "        if [[ $cur == -* ]]; then\n"
             "            COMPREPLY=($(compgen -W " +
             Quoted(Words(names)) +
             " -- \"$cur\"))\n"
             "            return\n"
             "        fi\n";
        if (!c.operands.empty()) {
            // The operand's place among the words that are not options or their values.
            s += "        local n=0 i\n"
                 "        for ((i = first; i < COMP_CWORD; i++)); do\n"
                 "            case ${COMP_WORDS[i]} in\n";
            for (const Option& o : c.options) {
                if (o.kind != ValueKind::Flag) {
                    s += "            " + o.name + ") ((i++)) ;;\n";
                }
                for (const OptionAlias& alias : o.aliases) {
                    s += "            " + alias.name + ") ((i++)) ;;\n";
                }
            }
            s += "            -*) ;;\n"
                 "            *) ((n++)) ;;\n"
                 "            esac\n"
                 "        done\n"
                 "        case $n in\n";
            for (std::size_t k = 0; k < c.operands.size(); ++k) {
                const bool last = k + 1 == c.operands.size();
                s += "        " +
                     std::string(last && c.lastOperandRepeats ? "*" : std::to_string(k)) + ") " +
                     BashValues(c.operands[k], {}, IsVirtual(c)) + " ;;\n";
            }
            s += "        esac\n";
        }
        s += "        ;;\n";
    }
    s += "    esac\n"
         "}\n"
         "complete -o filenames -F _tessaline_cli tessaline-cli\n";
    return s;
}

std::string FishValues(ValueKind kind, const std::vector<std::string>& choices, bool virtualOnly) {
    if (kind == ValueKind::Integer && !choices.empty()) {
        kind = ValueKind::Choice;
    }
    switch (kind) {
    case ValueKind::Choice:
        return " -x -a " + Quoted(Words(choices));
    case ValueKind::File:
        return " -r -F";
    case ValueKind::Printer:
        return std::string(" -x -a ") +
               Quoted(std::string("(") + (virtualOnly ? kVirtualPrinters : kAllPrinters) + ")");
    default:
        return " -x";
    }
}

std::string Fish(const std::vector<CliCommand>& commands) {
    std::string s =
        "# fish completion for tessaline-cli, written by tessaline-cli completion fish\n"
        "complete -c tessaline-cli -f\n"
        "complete -c tessaline-cli -n __fish_use_subcommand -l version -d "
        "'the version and the commit it was built from'\n";
    std::set<std::string> groups;
    for (const CliCommand& c : commands) {
        const std::size_t space = c.words.find(' ');
        const std::string group = c.words.substr(0, space);
        if (space != std::string::npos && groups.insert(group).second) {
            s += "complete -c tessaline-cli -n __fish_use_subcommand -a " + group + "\n";
        }
        const std::string condition = space == std::string::npos
                                          ? "__fish_seen_subcommand_from " + group
                                          : "__fish_seen_subcommand_from " + group +
                                                "; and __fish_seen_subcommand_from " +
                                                c.words.substr(space + 1);
        s += "complete -c tessaline-cli -n " +
             Quoted(space == std::string::npos ? "__fish_use_subcommand"
                                               : "__fish_seen_subcommand_from " + group +
                                                     "; and not __fish_seen_subcommand_from " +
                                                     c.words.substr(space + 1)) +
             " -a " + Quoted(c.words.substr(space == std::string::npos ? 0 : space + 1)) + " -d " +
             Quoted(c.summary) + "\n";
        for (const Option& o : c.options) {
            s += "complete -c tessaline-cli -n " + Quoted(condition) + " -l " + o.name.substr(2) +
                 (o.kind == ValueKind::Flag ? "" : FishValues(o.kind, o.choices, IsVirtual(c))) +
                 " -d " + Quoted(o.help.substr(0, o.help.find_first_of(";:("))) + "\n";
        }
        if (!c.operands.empty() && c.operands[0] == ValueKind::Printer) {
            s += "complete -c tessaline-cli -n " + Quoted(condition) + " -a " +
                 Quoted(std::string("(") + (IsVirtual(c) ? kVirtualPrinters : kAllPrinters) + ")") +
                 "\n";
        }
        if (std::find(c.operands.begin(), c.operands.end(), ValueKind::File) != c.operands.end()) {
            s += "complete -c tessaline-cli -n " + Quoted(condition) + " -F\n";
        }
    }
    return s;
}

} // namespace

// `text` for roff: minus signs and backslashes escaped, and a line that would
// begin with a control character kept as text.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '-') {
            out += "\\-";
        } else if (c == '\\') {
            out += "\\e";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) {
        out.insert(0, "\\&");
    }
    return out;
}

// One option's tag line: bold name, italic value.
std::string RoffTag(const std::string& name, const std::string& value) {
    if (value.empty()) {
        return ".B " + Roff(name) + "\n";
    }
    std::string tag = ".BI " + Roff(name);
    tag += " \" ";
    tag += Roff(value);
    tag += "\"\n";
    return tag;
}

std::string CompletionScript(const std::string& shell, const std::vector<CliCommand>& commands) {
    if (shell == "bash") {
        return Bash(commands);
    }
    if (shell == "zsh") {
        // zsh runs the bash function through its own bash completion layer.
        return "#compdef tessaline-cli\n"
               "autoload -U +X bashcompinit && bashcompinit\n" +
               Bash(commands);
    }
    if (shell == "fish") {
        return Fish(commands);
    }
    if (shell == "man") {
        return ManualOptions(commands);
    }
    return {};
}

std::string ManualOptions(const std::vector<CliCommand>& commands) {
    std::string s = std::string(kManualOptionsBegin) + "\n.SH OPTIONS\n" +
                    "Each command's options, as its\n.B \\-\\-help\nlists them.\n";
    for (const CliCommand& c : commands) {
        if (c.options.empty()) {
            continue;
        }
        s += ".SS \"" + Roff(c.words) + "\"\n";
        for (const Option& o : c.options) {
            s += ".TP\n" + RoffTag(o.name, o.value) + Roff(o.help) + "\n";
        }
        for (const Option& o : c.options) {
            for (const OptionAlias& a : o.aliases) {
                std::string olds, nows;
                for (const auto& [old, now] : a.values) {
                    olds += (olds.empty() ? "" : "|") + old;
                    nows += (nows.empty() ? "" : "|") + now;
                }
                s += ".TP\n" + RoffTag(a.name, olds) + "the older spelling of " + Roff(o.name) +
                     " " + Roff(nows) + ", still taken\n";
            }
        }
    }
    return s + kManualOptionsEnd + "\n";
}

} // namespace tessaline
