// SPDX-License-Identifier: MIT
#include "platform/win32/WinSpoolerBackend.h"

#include "WinSpoolerQueue.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/HandleOwners.h"
#include "platform/win32/SystemError.h"

#include <climits>
#include <optional>
#include <utility>
#include <vector>
#include <winspool.h>

namespace tessaline::win32 {

void detail::PrinterTraits::Close(Handle handle) {
    ::ClosePrinter(handle);
}

namespace {

constexpr DWORD kEnumFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
// The first buffer holds a few hundred printers' level-2 records.
constexpr DWORD kFirstBufferBytes = 131072;
constexpr int kEnumAttempts = 4;

// The first `length` characters of `a` and `b` compared as Windows compares
// names without regard to case.
bool SameStart(const std::wstring& a, const std::wstring& b, size_t length) {
    if (a.size() < length || b.size() < length || length > INT_MAX) {
        return false;
    }
    return ::CompareStringOrdinal(a.data(), static_cast<int>(length), b.data(),
                                  static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// Both names as UTF-16, or nothing when either is no text of the code page.
std::optional<std::pair<std::wstring, std::wstring>> WideNames(std::string_view listed,
                                                               std::string_view name) {
    std::optional<std::wstring> a = ExactWide(listed);
    std::optional<std::wstring> b = ExactWide(name);
    if (!a || !b) {
        return std::nullopt;
    }
    return std::make_pair(std::move(*a), std::move(*b));
}

} // namespace

bool WinSpoolerBackend::NameBeginsWith(std::string_view listed, std::string_view name) const {
    const auto names = WideNames(listed, name);
    if (!names) {
        return listed.starts_with(name);
    }
    return SameStart(names->first, names->second, names->second.size());
}

bool WinSpoolerBackend::NameIs(std::string_view listed, std::string_view name) const {
    const auto names = WideNames(listed, name);
    if (!names) {
        return listed == name;
    }
    return names->first.size() == names->second.size() &&
           SameStart(names->first, names->second, names->second.size());
}

QueueList WinSpoolerBackend::ListQueues() {
    QueueList list;
    std::vector<BYTE> buffer(kFirstBufferBytes);
    // A list longer than the buffer is asked for again at the size the
    // spooler names; printers added in between may need another round.
    for (int attempt = 0; attempt < kEnumAttempts; ++attempt) {
        DWORD needed = 0;
        DWORD count = 0;
        if (::EnumPrintersA(kEnumFlags, nullptr, 2, buffer.data(),
                            static_cast<DWORD>(buffer.size()), &needed, &count) != 0) {
            const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
            for (DWORD i = 0; i < count; ++i) {
                if (printers[i].pPrinterName != nullptr) {
                    list.names.emplace_back(printers[i].pPrinterName);
                }
            }
            return list;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) {
            list.status = Result<void>::Fail("EnumPrinters: " + SystemErrorText(error));
            return list;
        }
        buffer.resize(needed);
    }
    list.status = Result<void>::Fail("EnumPrinters: the list of printers kept growing");
    return list;
}

Result<std::unique_ptr<SpoolerQueue>> WinSpoolerBackend::Open(std::string_view name,
                                                              QueueAccess access) {
    std::string printerName(name);
    PRINTER_DEFAULTSA fullAccess{};
    fullAccess.pDatatype = nullptr;
    fullAccess.pDevMode = nullptr;
    fullAccess.DesiredAccess = PRINTER_ALL_ACCESS;
    UniquePrinter printer;
    if (::OpenPrinterA(printerName.data(), printer.put(),
                       access == QueueAccess::Full ? &fullAccess : nullptr) == 0) {
        return Result<std::unique_ptr<SpoolerQueue>>::Fail(
            "cannot open the printer \"" + printerName +
            "\": " + SystemErrorText(::GetLastError()));
    }
    return std::unique_ptr<SpoolerQueue>(std::make_unique<WinSpoolerQueue>(std::move(printer)));
}

} // namespace tessaline::win32
