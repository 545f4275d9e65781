// SPDX-License-Identifier: MIT
#include "app/core/PrinterChoice.h"

#include "platform/PrinterAddress.h"

#include <algorithm>

namespace tessaline {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Letters, digits and the marks host names, IPv4 and bracketed IPv6 addresses and a port use.
bool LooksLikeHost(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
    });
}

// The host with the raw printing port when it gives none.
std::string WithPort(std::string_view host) {
    std::string text(host);
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict) about ":" + string.
    std::string port(1, ':');
    port.append(std::to_string(kRawPrintPort));
    if (text.front() == '[') {
        // "[::1]" takes the port; "[::1]:9100" has one.
        if (text.back() == ']') {
            text.append(port);
        }
        return text;
    }
    // One colon: a port is given. More: an IPv6 address without brackets,
    // which the address reader refuses with its own words.
    if (text.find(':') == std::string::npos) {
        text.append(port);
    }
    return text;
}

} // namespace

Result<PrinterChoice> ReadPrinterChoice(std::string_view typed,
                                        const std::vector<std::string>& queues) {
    using R = Result<PrinterChoice>;
    if (std::find(queues.begin(), queues.end(), typed) != queues.end()) {
        return PrinterChoice{std::string(typed), true};
    }
    const std::string_view text = Trimmed(typed);
    if (text.empty()) {
        return R::Fail("no printer was given");
    }
    if (std::find(queues.begin(), queues.end(), text) != queues.end()) {
        return PrinterChoice{std::string(text), true};
    }
    if (IsPrinterAddress(text)) {
        const auto address = ParsePrinterAddress(text);
        if (!address) {
            return R::FailAs(address);
        }
        return PrinterChoice{std::string(text), false};
    }
    if (!LooksLikeHost(text)) {
        std::string why(1, '"');
        why.append(text);
        why.append("\" is neither an installed printer nor an address (socket://HOST[:PORT], "
                   "usb:///dev/usb/lpN, serial://PORT, or a bare host such as 10.1.0.5)");
        return R::Fail(why);
    }
    std::string address = "socket://";
    address.append(WithPort(text));
    const auto parsed = ParsePrinterAddress(address);
    if (!parsed) {
        return R::FailAs(parsed);
    }
    return PrinterChoice{address, false};
}

std::vector<std::string> PrinterEntries(const std::vector<std::string>& queues,
                                        const std::vector<std::string>& addresses) {
    std::vector<std::string> entries;
    for (const auto* list : {&queues, &addresses}) {
        for (const std::string& name : *list) {
            if (!name.empty() && std::find(entries.begin(), entries.end(), name) == entries.end()) {
                entries.push_back(name);
            }
        }
    }
    return entries;
}

} // namespace tessaline
