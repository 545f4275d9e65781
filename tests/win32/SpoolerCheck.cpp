// SPDX-License-Identifier: MIT
// Sets up and reads the Windows spooler for the Wine checks, through the
// same calls the control makes:
//
//   SpoolerCheck add NAME PORT     the printer NAME on PORT, made afresh (no
//                                  driver data), with the driver of the first
//                                  printer listed (AddPrinter level 2)
//   SpoolerCheck remove NAME       the printer NAME gone, when there is one
//   SpoolerCheck get NAME VALUE    the printer's driver data VALUE: its type,
//                                  its size and its bytes in hexadecimal
//
// Exit status 0 on success, 1 with the reason on standard error otherwise.
#include "platform/Spooler.h"
#include "platform/win32/HandleOwners.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WinSpoolerBackend.h"

#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>
#include <winspool.h>

using tessaline::QueueAccess;
using tessaline::win32::SystemErrorText;
using tessaline::win32::UniquePrinter;
using tessaline::win32::WinSpoolerBackend;

namespace {

int Fail(const std::string& reason) {
    std::fprintf(stderr, "SpoolerCheck: %s\n", reason.c_str());
    return 1;
}

// Removes the printer NAME when there is one, with whatever it stored.
void RemovePrinter(std::string name) {
    PRINTER_DEFAULTSA access{};
    access.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE opened = nullptr;
    if (::OpenPrinterA(name.data(), &opened, &access) != 0) {
        const UniquePrinter printer(opened);
        ::DeletePrinter(printer.get());
    }
}

int Add(const std::string& name, const std::string& port) {
    RemovePrinter(name);
    // The driver Wine gave the printers it found in CUPS.
    DWORD needed = 0;
    DWORD count = 0;
    ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 ||
        ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count) ==
            0 ||
        count == 0) {
        return Fail("no printer to take a driver from: is the CUPS server running?");
    }
    std::string driver = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data())[0].pDriverName;
    std::string printerName = name;
    std::string portName = port;
    std::string processor = "winprint";
    std::string dataType = "RAW";
    PRINTER_INFO_2A info{};
    info.pPrinterName = printerName.data();
    info.pPortName = portName.data();
    info.pDriverName = driver.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = dataType.data();
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    const UniquePrinter added(::AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    if (!added) {
        return Fail("AddPrinter: " + SystemErrorText(::GetLastError()));
    }
    std::printf("added %s on %s with the driver %s\n", name.c_str(), port.c_str(), driver.c_str());
    return 0;
}

int Get(const std::string& name, const std::string& value) {
    WinSpoolerBackend spooler;
    auto queue = spooler.Open(name, QueueAccess::Plain);
    if (!queue) {
        return Fail(queue.Reason());
    }
    const auto data = queue.Value()->GetDriverData(value);
    if (!data) {
        return Fail("the printer " + name + " holds no value " + value);
    }
    std::printf("type %u, %zu bytes: ", static_cast<unsigned>(data->type), data->bytes.size());
    for (uint8_t byte : data->bytes) {
        std::printf("%02x", byte);
    }
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "add") {
        return Add(args[1], args[2]);
    }
    if (args.size() == 2 && args[0] == "remove") {
        RemovePrinter(args[1]);
        return 0;
    }
    if (args.size() == 3 && args[0] == "get") {
        return Get(args[1], args[2]);
    }
    return Fail("usage: add NAME PORT | remove NAME | get NAME VALUE");
}
