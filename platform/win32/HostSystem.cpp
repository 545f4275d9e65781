// SPDX-License-Identifier: MIT
// The host system's code page, program folder, file tests, command line and
// console on Windows.
// Paths are the program's UTF-8 strings; the W functions take them as UTF-16.
// Windows states its ANSI code page itself: the locale parsers of
// HostSystem.h, which read POSIX locale names, have no part here.
#include "platform/HostSystem.h"

#include "platform/win32/AnsiText.h"
#include "platform/win32/HandleOwners.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

namespace tessaline {

int32_t EnvironmentCodePage() {
    return static_cast<int32_t>(::GetACP());
}

std::string ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return win32::Narrow(slash == std::wstring::npos ? path : path.substr(0, slash));
}

std::string PathAsText(const std::filesystem::path& path) {
    return win32::PathText(path);
}

std::string ProgramTextFromSystem(std::string_view text) {
    return win32::Narrow(win32::FromAnsi(text));
}

bool CanCreateFileIn(const std::string& folder) {
    const std::wstring wide = win32::WidePath(folder);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // The folder's rights, a read-only medium and virtualisation all decide;
    // only creating a file answers for all of them.
    const std::wstring probe = wide + L"\\~tessaline-" + std::to_wstring(::GetCurrentProcessId()) +
                               L"-" + std::to_wstring(::GetTickCount64()) + L".tmp";
    const win32::UniqueFile file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                               nullptr));
    return static_cast<bool>(file);
}

bool PathIsFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Result<void> RemoveFileIfPresent(const std::string& path) {
    if (!::DeleteFileW(win32::WidePath(path).c_str())) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return Result<void>::Fail("cannot delete " + path + ": " +
                                      win32::SystemErrorMessage(error));
        }
    }
    return {};
}

Result<std::vector<std::string>> ProgramArguments(int, char**) {
    using R = Result<std::vector<std::string>>;
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const win32::UniqueLocalMemory held(wide);
    if (wide == nullptr) {
        return R::Fail("cannot read the command line: " + win32::SystemErrorText(::GetLastError()));
    }
    std::vector<std::string> arguments;
    std::string failure;
    for (int i = 1; i < count && failure.empty(); ++i) {
        const std::wstring_view argument(wide[i]);
        if (std::optional<std::string> exact = win32::ExactAnsi(argument)) {
            arguments.push_back(std::move(*exact));
        } else {
            failure = "the argument \"" + win32::ToAnsi(argument) +
                      "\" cannot be passed on: " + win32::WhyNotAnsi(argument) +
                      ", and no other name may stand in for it";
        }
    }
    if (!failure.empty()) {
        return R::Fail(failure);
    }
    return arguments;
}

namespace {

// A stream buffer that hands bytes to a file or pipe handle unchanged.
class FileBuffer final : public std::streambuf {
public:
    explicit FileBuffer(HANDLE file) : m_file(file) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        std::streamsize done = 0;
        while (done < count) {
            DWORD written = 0;
            if (!::WriteFile(m_file, bytes + done, static_cast<DWORD>(count - done), &written,
                             nullptr) ||
                written == 0) {
                break;
            }
            done += written;
        }
        return done;
    }

private:
    HANDLE m_file;
};

// A stream buffer that shows ANSI text on a console through WriteConsoleW,
// whole characters at a time: a lead byte waits for its second byte.
class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : m_console(console) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            m_pending.push_back(traits_type::to_char_type(c));
            if (traits_type::to_char_type(c) == '\n') {
                Flush();
            }
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        m_pending.append(text, static_cast<size_t>(count));
        if (m_pending.find('\n') != std::string::npos) {
            Flush();
        }
        return count;
    }
    int sync() override {
        Flush();
        return 0;
    }

private:
    void Flush() {
        // A lead byte at the end waits for the byte that completes it.
        size_t whole = 0;
        for (size_t at = 0; at < m_pending.size();) {
            at += ::IsDBCSLeadByte(static_cast<BYTE>(m_pending[at])) ? size_t{2} : size_t{1};
            if (at <= m_pending.size()) {
                whole = at;
            }
        }
        const std::wstring text = win32::FromAnsi(std::string_view(m_pending).substr(0, whole));
        DWORD written = 0;
        if (!text.empty()) {
            ::WriteConsoleW(m_console, text.data(), static_cast<DWORD>(text.size()), &written,
                            nullptr);
        }
        m_pending.erase(0, whole);
    }

    HANDLE m_console;
    std::string m_pending;
};

void ShowOnConsole(std::ostream& stream, DWORD which) {
    HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    // Only a console: a file or a pipe takes the bytes as they are.
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !::GetConsoleMode(handle, &mode)) {
        return;
    }
    stream.flush();
    // It lives as long as the program: the stream may write until exit.
    static std::vector<std::unique_ptr<ConsoleBuffer>> buffers;
    buffers.push_back(std::make_unique<ConsoleBuffer>(handle));
    stream.rdbuf(buffers.back().get());
}

} // namespace

void ShowNarrowTextOnConsole() {
    ShowOnConsole(std::cout, STD_OUTPUT_HANDLE);
    ShowOnConsole(std::cerr, STD_ERROR_HANDLE);
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}

void UseBinaryStandardOutput() {
    HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    // A console shows text; a file or a pipe gets the bytes through WriteFile,
    // past the C runtime's text mode.
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || ::GetConsoleMode(handle, &mode)) {
        return;
    }
    std::cout.flush();
    static FileBuffer buffer(handle);
    std::cout.rdbuf(&buffer);
}

} // namespace tessaline
