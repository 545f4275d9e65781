// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

enum class MsgButtons { Ok, YesNo };
// Exclamation is also the warning icon: the system draws the two alike.
enum class MsgIcon { None, Information, Exclamation };
enum class MsgAnswer { Ok, Yes, No };

// What the file-open dialog returned; both empty when the user cancelled.
struct FileChoice {
    std::string fileName;  // full path
    std::string fileTitle; // the name without its folder
};

// The window services the program relies on: message boxes, the file
// dialog and waiting with the windows alive. What it asks of the system
// (printers, folders, settings) is SystemServices'. The windows get one at
// construction; the tests hand in a scripted one. No method takes a name
// <windows.h> turns into a macro (MessageBox, DeleteFile, ...), so the
// Windows services can see both.
class AppServices {
public:
    virtual ~AppServices() = default;

    // Modal message box. No title: the application's own title shows.
    virtual MsgAnswer ShowMessage(const std::string& text, const std::optional<std::string>& title,
                                  MsgButtons buttons, MsgIcon icon) = 0;
    // Open-file dialog starting in `initialFolder`; `filter` as "Name (*.ext)|*.ext".
    virtual FileChoice OpenFileDialog(const std::string& initialFolder,
                                      const std::string& filter) = 0;
    // Waits on the user-interface thread; no command of the user's starts meanwhile.
    virtual void Sleep(int32_t milliseconds) = 0;
    // Handles the window messages waiting now, then returns.
    virtual void DoEvents() = 0;
};

} // namespace tessaline
