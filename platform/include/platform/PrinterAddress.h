// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaline {

enum class AddressScheme { Socket, Usb, Serial, File };

enum class SerialParity { None, Odd, Even };
enum class SerialFlow { None, Hardware, Software };

// How a serial port is set up: 9600 8N1 without flow control unless the address says otherwise.
struct SerialSettings {
    uint32_t baud = 9600;
    unsigned dataBits = 8;
    SerialParity parity = SerialParity::None;
    unsigned stopBits = 1;
    SerialFlow flow = SerialFlow::None;
};

inline constexpr uint16_t kRawPrintPort = 9100;
inline constexpr std::chrono::milliseconds kDefaultConnectTimeout{3000};
inline constexpr std::chrono::milliseconds kDefaultReadTimeout{1000};

// A printer reached directly rather than through a spooler queue.
struct PrinterAddress {
    AddressScheme scheme = AddressScheme::Socket;
    std::string text; // the address as given, for messages
    std::string host; // socket: a name or an IPv4 or IPv6 address, without brackets
    uint16_t port = kRawPrintPort;
    std::string device; // usb:, serial:, file: the path or port name
    SerialSettings serial;
    std::chrono::milliseconds connectTimeout = kDefaultConnectTimeout;
    std::chrono::milliseconds readTimeout = kDefaultReadTimeout;
};

// True when `name` is an address ("socket://...", "usb://..."): it holds "://".
// Anything else names a spooler queue.
bool IsPrinterAddress(std::string_view name);

// "socket://A.B.C.D:9100" for a bare IPv4 address "A.B.C.D" (with its port
// when it gives one, "A.B.C.D:PORT"); empty for anything else.
std::string BareAddressAsSocket(std::string_view text);

// Reads an address; fails with "<address>: <reason>". Every address takes the
// query fields connect-timeout and read-timeout (milliseconds); serial
// addresses also baud, data-bits, parity, stop-bits and flow.
Result<PrinterAddress> ParsePrinterAddress(std::string_view text);

// The address with its timeouts set as query fields, replacing any it gave.
std::string WithTimeouts(std::string_view address, std::chrono::milliseconds connect,
                         std::chrono::milliseconds read);

} // namespace tessaline
