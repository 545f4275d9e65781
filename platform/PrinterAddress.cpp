// SPDX-License-Identifier: MIT
#include "platform/PrinterAddress.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace tessaline {

namespace {

std::optional<uint64_t> Number(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// One "key=value" field of the query; the reason when it cannot be used.
std::string ApplyField(PrinterAddress& address, std::string_view key, std::string_view value) {
    const std::optional<uint64_t> n = Number(value);
    const bool serial = address.scheme == AddressScheme::Serial;
    if (key == "connect-timeout" || key == "read-timeout") {
        if (!n || *n == 0 || *n > 3600000) {
            return std::string(key) + " must be 1 to 3600000 milliseconds, not \"" +
                   std::string(value) + "\"";
        }
        (key == "connect-timeout" ? address.connectTimeout : address.readTimeout) =
            std::chrono::milliseconds(*n);
        return {};
    }
    if (!serial) {
        return "unknown field \"" + std::string(key) + "\"";
    }
    if (key == "baud") {
        if (!n || *n < 50 || *n > 4000000) {
            return "baud must be a rate such as 9600 or 38400, not \"" + std::string(value) + "\"";
        }
        address.serial.baud = static_cast<uint32_t>(*n);
    } else if (key == "data-bits") {
        if (!n || *n < 5 || *n > 8) {
            return "data-bits must be 5 to 8, not \"" + std::string(value) + "\"";
        }
        address.serial.dataBits = static_cast<unsigned>(*n);
    } else if (key == "stop-bits") {
        if (!n || (*n != 1 && *n != 2)) {
            return "stop-bits must be 1 or 2, not \"" + std::string(value) + "\"";
        }
        address.serial.stopBits = static_cast<unsigned>(*n);
    } else if (key == "parity") {
        if (value == "none" || value == "n") {
            address.serial.parity = SerialParity::None;
        } else if (value == "odd" || value == "o") {
            address.serial.parity = SerialParity::Odd;
        } else if (value == "even" || value == "e") {
            address.serial.parity = SerialParity::Even;
        } else {
            return "parity must be none, odd or even, not \"" + std::string(value) + "\"";
        }
    } else if (key == "flow") {
        if (value == "none") {
            address.serial.flow = SerialFlow::None;
        } else if (value == "hardware" || value == "rtscts") {
            address.serial.flow = SerialFlow::Hardware;
        } else if (value == "software" || value == "xonxoff") {
            address.serial.flow = SerialFlow::Software;
        } else {
            return "flow must be none, hardware or software, not \"" + std::string(value) + "\"";
        }
    } else {
        return "unknown field \"" + std::string(key) + "\"";
    }
    return {};
}

// host[:port] of a socket address; the reason when it cannot be used.
std::string ParseHostPort(PrinterAddress& address, std::string_view rest) {
    if (rest.ends_with('/')) {
        rest.remove_suffix(1);
    }
    if (rest.find('/') != std::string_view::npos) {
        return "a socket address has no path";
    }
    std::string_view port;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return "the IPv6 address has no closing \"]\"";
        }
        address.host = std::string(rest.substr(1, close - 1));
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') {
                return "only \":PORT\" may follow \"]\"";
            }
            port = after.substr(1);
            if (port.empty()) {
                return "the port is missing after \":\"";
            }
        }
    } else {
        const size_t colon = rest.find(':');
        if (colon != std::string_view::npos &&
            rest.find(':', colon + 1) != std::string_view::npos) {
            return "an IPv6 address goes in brackets, as in socket://[::1]:9100";
        }
        address.host = std::string(rest.substr(0, colon));
        if (colon != std::string_view::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) {
                return "the port is missing after \":\"";
            }
        }
    }
    if (address.host.empty()) {
        return "the host is missing";
    }
    if (!port.empty()) {
        const std::optional<uint64_t> n = Number(port);
        if (!n || *n == 0 || *n > 65535) {
            return "the port must be 1 to 65535, not \"" + std::string(port) + "\"";
        }
        address.port = static_cast<uint16_t>(*n);
    }
    return {};
}

// The address without its timeout fields, which the messages leave out.
std::string WithoutTimeouts(std::string_view address) {
    std::string out(address.substr(0, address.find('?')));
    if (const size_t q = address.find('?'); q != std::string_view::npos) {
        std::string_view query = address.substr(q + 1);
        char sep = '?';
        while (!query.empty()) {
            const size_t amp = std::min(query.find('&'), query.size());
            const std::string_view field = query.substr(0, amp);
            query.remove_prefix(std::min(amp + 1, query.size()));
            if (!field.starts_with("connect-timeout=") && !field.starts_with("read-timeout=")) {
                out += sep;
                out += field;
                sep = '&';
            }
        }
    }
    return out;
}

} // namespace

std::string BareAddressAsSocket(std::string_view text) {
    const size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    int parts = 0;
    for (size_t at = 0; at <= host.size(); ++parts) {
        const size_t dot = std::min(host.find('.', at), host.size());
        const auto part = Number(host.substr(at, dot - at));
        if (!part || *part > 255 || dot - at > 3) {
            return {};
        }
        at = dot + 1;
    }
    if (parts != 4) {
        return {};
    }
    std::string address = "socket://";
    address += text;
    if (colon == std::string_view::npos) {
        address += ":";
        address += std::to_string(kRawPrintPort);
    } else if (const auto port = Number(text.substr(colon + 1));
               !port || *port == 0 || *port > 65535) {
        return {};
    }
    return address;
}

bool IsPrinterAddress(std::string_view name) {
    return name.find("://") != std::string_view::npos;
}

Result<PrinterAddress> ParsePrinterAddress(std::string_view text) {
    PrinterAddress address;
    address.text = std::string(text);
    auto refuse = [&](const std::string& why) {
        return Result<PrinterAddress>::Fail(address.text + ": " + why);
    };
    const size_t sep = text.find("://");
    if (sep == std::string_view::npos) {
        return refuse("not a printer address (socket://, usb://, serial:// or file://)");
    }
    const std::string_view scheme = text.substr(0, sep);
    std::string_view rest = text.substr(sep + 3);
    if (scheme == "socket") {
        address.scheme = AddressScheme::Socket;
    } else if (scheme == "usb") {
        address.scheme = AddressScheme::Usb;
    } else if (scheme == "serial") {
        address.scheme = AddressScheme::Serial;
    } else if (scheme == "file") {
        address.scheme = AddressScheme::File;
    } else {
        return refuse("unknown kind of address \"" + std::string(scheme) +
                      "\" (socket, usb, serial or file)");
    }
    std::string_view query;
    if (const size_t q = rest.find('?'); q != std::string_view::npos) {
        query = rest.substr(q + 1);
        rest = rest.substr(0, q);
    }
    while (!query.empty()) {
        const size_t amp = std::min(query.find('&'), query.size());
        const std::string_view field = query.substr(0, amp);
        query.remove_prefix(std::min(amp + 1, query.size()));
        const size_t eq = field.find('=');
        if (eq == std::string_view::npos) {
            return refuse("the field \"" + std::string(field) + "\" has no \"=\"");
        }
        if (std::string why = ApplyField(address, field.substr(0, eq), field.substr(eq + 1));
            !why.empty()) {
            return refuse(why);
        }
    }
    address.text = WithoutTimeouts(text);
    if (address.scheme == AddressScheme::Socket) {
        if (std::string why = ParseHostPort(address, rest); !why.empty()) {
            return refuse(why);
        }
        return address;
    }
    // "file:///C:/x" names C:/x on Windows.
    if (rest.size() >= 3 && rest[0] == '/' && rest[2] == ':') {
        rest.remove_prefix(1);
    }
    if (rest.empty()) {
        return refuse("the device or file is missing");
    }
    if (address.scheme == AddressScheme::Usb && rest[0] != '/') {
        return refuse("a USB printer is a device path, as in usb:///dev/usb/lp0");
    }
    address.device = std::string(rest);
    return address;
}

std::string WithTimeouts(std::string_view address, std::chrono::milliseconds connect,
                         std::chrono::milliseconds read) {
    std::string out = WithoutTimeouts(address);
    out += out.find('?') == std::string::npos ? '?' : '&';
    return out + "connect-timeout=" + std::to_string(connect.count()) +
           "&read-timeout=" + std::to_string(read.count());
}

} // namespace tessaline
