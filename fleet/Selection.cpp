// SPDX-License-Identifier: MIT
#include "fleet/Selection.h"

#include "platform/PrinterAddress.h"

#include <algorithm>

namespace tessaline {

namespace {

// Whether `c` is in the set that starts after '[' at pattern[at]; `at`
// moves past the closing ']'. False for a set without its ']': the '['
// then stands for itself.
bool InSet(std::string_view pattern, size_t& at, char c, bool& closed) {
    size_t i = at;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    i += negated ? 1 : 0;
    bool found = false;
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false) {
        char low = pattern[i];
        if (low == '\\' && i + 1 < pattern.size()) {
            low = pattern[++i];
        }
        char high = low;
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            high = pattern[i + 2];
            i += 2;
        }
        found = found || (c >= low && c <= high);
        ++i;
    }
    closed = i < pattern.size();
    if (closed) {
        at = i + 1;
    }
    return found != negated;
}

// The forms a printer's address is given in: as written in the manifest,
// and without "socket://".
std::vector<std::string_view> Names(const ManifestPrinter& printer) {
    std::vector<std::string_view> names{printer.name, printer.address};
    constexpr std::string_view socket = "socket://";
    if (std::string_view(printer.address).substr(0, socket.size()) == socket) {
        names.push_back(std::string_view(printer.address).substr(socket.size()));
    }
    return names;
}

} // namespace

bool GlobMatches(std::string_view pattern, std::string_view text) {
    // Greedy matching that goes back to the last '*' on a mismatch: linear
    // in practice, never exponential.
    size_t p = 0, t = 0;
    size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            size_t next = p + 1;
            bool match = false;
            if (pattern[p] == '?') {
                match = true;
            } else if (pattern[p] == '[') {
                bool closed = false;
                size_t after = p + 1;
                match = InSet(pattern, after, text[t], closed);
                if (closed) {
                    next = after;
                } else {
                    match = text[t] == '[';
                }
            } else if (pattern[p] == '\\' && p + 1 < pattern.size()) {
                match = pattern[p + 1] == text[t];
                next = p + 2;
            } else {
                match = pattern[p] == text[t];
            }
            if (match) {
                p = next;
                ++t;
                continue;
            }
        }
        if (starP == std::string_view::npos) {
            return false;
        }
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

Result<Manifest> SelectPrinters(const Manifest& manifest, const PrinterSelection& selection) {
    std::vector<std::string> patterns = selection.only;
    for (std::string& pattern : patterns) {
        // As the manifest takes a bare IPv4 address, so does the pattern.
        if (std::string address = BareAddressAsSocket(pattern); !address.empty()) {
            pattern = std::move(address);
        }
    }
    std::vector<bool> used(patterns.size(), false);
    Manifest selected = manifest;
    selected.printers.clear();
    for (const ManifestPrinter& printer : manifest.printers) {
        bool picked = patterns.empty();
        for (size_t i = 0; i < patterns.size(); ++i) {
            const auto names = Names(printer);
            if (std::any_of(names.begin(), names.end(), [&](std::string_view name) {
                    return GlobMatches(patterns[i], name);
                })) {
                picked = true;
                used[i] = true;
            }
        }
        if (picked && selection.failed) {
            picked =
                selection.last != nullptr && selection.last->failed.count(printer.address) != 0;
        }
        if (picked) {
            selected.printers.push_back(printer);
        }
    }
    for (size_t i = 0; i < patterns.size(); ++i) {
        if (!used[i]) {
            std::string why = "--only '";
            why += selection.only[i];
            why += "' matches no printer of ";
            why += manifest.file.string();
            why += " (by its name or address)";
            return Result<Manifest>::Fail(std::move(why));
        }
    }
    return selected;
}

} // namespace tessaline
