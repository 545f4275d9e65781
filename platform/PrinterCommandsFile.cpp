// SPDX-License-Identifier: MIT
#include "platform/PrinterCommandsFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/UserFolders.h"

#include <algorithm>

namespace tessaline {

namespace {

constexpr size_t kMaxFileBytes = 1 << 20;

// Calls `line(name, commands)` for each well-formed line of `text`.
template <typename Fn> void EachLine(std::string_view text, Fn&& line) {
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view row = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (row.ends_with('\r')) {
            row.remove_suffix(1);
        }
        const size_t tab = row.rfind('\t');
        if (tab != std::string_view::npos && tab > 0) {
            line(row.substr(0, tab), row.substr(tab + 1));
        }
    }
}

} // namespace

std::filesystem::path PrinterCommandsFile() {
    return TessalineConfigHome() / "printer-commands";
}

std::filesystem::path PrinterPaperFile() {
    return TessalineConfigHome() / "printer-paper";
}

Result<std::optional<std::string>> KeptPrinterCommands(const std::filesystem::path& file,
                                                       std::string_view printer) {
    return KeptPrinterValue(file, printer);
}

Result<void> KeepPrinterCommands(const std::filesystem::path& file, std::string_view printer,
                                 std::string_view commands) {
    return KeepPrinterValue(file, printer, commands);
}

Result<std::optional<std::string>> KeptPrinterValue(const std::filesystem::path& file,
                                                    std::string_view printer) {
    using R = Result<std::optional<std::string>>;
    const auto text = ReadFileIfPresent(file, kMaxFileBytes);
    if (!text) {
        return R::FailAs(text);
    }
    std::optional<std::string> kept;
    if (text.Value()) {
        EachLine(*text.Value(), [&](std::string_view name, std::string_view value) {
            if (name == printer) {
                kept = std::string(value);
            }
        });
    }
    return kept;
}

Result<void> KeepPrinterValue(const std::filesystem::path& file, std::string_view printer,
                              std::string_view value) {
    if (printer.empty() || printer.find_first_of("\t\r\n") != std::string_view::npos ||
        value.find_first_of("\t\r\n") != std::string_view::npos) {
        return Result<void>::Fail("the printer name \"" + std::string(printer) +
                                  "\" cannot be kept in " + file.string());
    }
    const auto text = ReadFileIfPresent(file, kMaxFileBytes);
    if (!text) {
        return Result<void>::FailAs(text);
    }
    std::string out;
    if (text.Value()) {
        EachLine(*text.Value(), [&](std::string_view name, std::string_view kept) {
            if (name != printer) {
                out.append(name).append("\t").append(kept).append("\n");
            }
        });
    }
    if (!value.empty()) {
        out.append(printer).append("\t").append(value).append("\n");
    }
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return ReplaceFileAtomically(file, out);
}

} // namespace tessaline
