// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"
#include "app/core/AppServices.h"

namespace tessaline {

// The program's window services over the Windows API: message boxes and
// the file-open dialog of the system, waits and message handling that let
// no user input through. Strings cross this seam in UTF-8; the system gets
// UTF-16, or ANSI where the design has it.
class Win32Services final : public AppServices {
public:
    // The window that owns the message boxes and the dialog; null: none.
    void SetOwner(HWND owner) { m_owner = owner; }

    MsgAnswer ShowMessage(const std::string& text, const std::optional<std::string>& title,
                          MsgButtons buttons, MsgIcon icon) override;
    FileChoice OpenFileDialog(const std::string& initialFolder, const std::string& filter) override;
    void Sleep(int32_t milliseconds) override;
    void DoEvents() override;

private:
    HWND m_owner = nullptr;
};

// The application title message boxes show when they name no title of their own.
inline constexpr const char* kApplicationTitle = "Tessaline";

// "Logo File (*.bmp)|*.bmp" as the dialog's filter: description and pattern
// pairs, each ended by a NUL, the list by a second one.
std::string DialogFilter(const std::string& filter);

} // namespace tessaline
