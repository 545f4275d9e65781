// SPDX-License-Identifier: MIT
#include "Win32Services.h"

#include "MessagePump.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/WideText.h"

#include <climits>
#include <commdlg.h>
#include <utility>
#include <vector>

namespace tessaline {

using win32::FromAnsi;
using win32::Narrow;
using win32::Widen;

namespace {

// The program's UTF-8 as the ANSI code page's bytes; nothing when a
// character has no place there.
std::optional<std::string> AnsiFromUtf8(const std::string& text) {
    return win32::ExactAnsi(Widen(text));
}

std::string Utf8FromAnsi(const char* text) {
    return text == nullptr ? std::string() : Narrow(FromAnsi(text));
}

} // namespace

MsgAnswer Win32Services::ShowMessage(const std::string& text,
                                     const std::optional<std::string>& title, MsgButtons buttons,
                                     MsgIcon icon) {
    UINT style = buttons == MsgButtons::YesNo ? MB_YESNO : MB_OK;
    switch (icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Information:
        style |= MB_ICONINFORMATION;
        break;
    case MsgIcon::Exclamation:
        style |= MB_ICONEXCLAMATION;
        break;
    }
    const std::wstring caption = Widen(title.value_or(kApplicationTitle));
    const int answer = ::MessageBoxW(m_owner, Widen(text).c_str(), caption.c_str(), style);
    if (buttons == MsgButtons::YesNo) {
        return answer == IDYES ? MsgAnswer::Yes : MsgAnswer::No;
    }
    return MsgAnswer::Ok;
}

std::string DialogFilter(const std::string& filter) {
    std::string out = filter;
    for (char& c : out) {
        if (c == '|') {
            c = '\0';
        }
    }
    out.push_back('\0');
    out.push_back('\0');
    return out;
}

FileChoice Win32Services::OpenFileDialog(const std::string& initialFolder,
                                         const std::string& filter) {
    // The dialog of the design is the ANSI one; its answers come back in
    // the code page and go on in UTF-8.
    const std::string ansiFilter = AnsiFromUtf8(DialogFilter(filter)).value_or(std::string());
    const std::optional<std::string> folder = AnsiFromUtf8(initialFolder);
    std::vector<char> file(32768, '\0');
    std::vector<char> title(MAX_PATH, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_owner;
    dialog.lpstrFilter = ansiFilter.empty() ? nullptr : ansiFilter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrFileTitle = title.data();
    dialog.nMaxFileTitle = static_cast<DWORD>(title.size());
    dialog.lpstrInitialDir = folder && !folder->empty() ? folder->c_str() : nullptr;
    dialog.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    // The control writes its preview pictures into the current folder: it
    // stays the program's, wherever the user went to find the file.
    std::vector<wchar_t> current(32768, L'\0');
    const DWORD kept = ::GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data());
    const BOOL chosen = ::GetOpenFileNameA(&dialog);
    if (kept > 0 && kept < current.size()) {
        ::SetCurrentDirectoryW(current.data());
    }
    if (chosen == 0) {
        return {};
    }
    return {Utf8FromAnsi(file.data()), Utf8FromAnsi(title.data())};
}

void Win32Services::Sleep(int32_t milliseconds) {
    win32::WaitPumping(milliseconds);
}

void Win32Services::DoEvents() {
    win32::PumpWaitingMessages();
}

} // namespace tessaline
