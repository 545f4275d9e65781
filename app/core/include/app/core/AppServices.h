// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline {

class SettingsStore;

enum class MsgButtons { Ok, YesNo };
// Exclamation is also the warning icon: the system draws the two alike.
enum class MsgIcon { None, Information, Exclamation };
enum class MsgAnswer { Ok, Yes, No };

// What the file-open dialog returned; both empty when the user cancelled.
struct FileChoice {
    std::string fileName;  // full path
    std::string fileTitle; // the name without its folder
};

// The window controls' and the system's services the program relies on. The
// windows get one at construction; the tests hand in a scripted one. No
// method takes a name <windows.h> turns into a macro (MessageBox, DeleteFile,
// ...), so the Windows services can see both. The settings file itself is
// the platform's SettingsStore, which the services only hand out.
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
    // The ANSI code page the system's locale stands for.
    virtual int32_t CodePage() = 0;
    // Names of the installed printers, in the spooler's order.
    virtual std::vector<std::string> InstalledPrinters() = 0;
    // The folder that holds the program's executable file.
    virtual std::string ProgramFolder() = 0;
    // The user's own folder for Tessaline's settings (TessalineConfigHome()).
    virtual std::string SettingsFolder() = 0;
    // True when a new file can be created in `folder`.
    virtual bool FolderWritable(const std::string& folder) = 0;
    // The store through which the settings file is read and written.
    virtual SettingsStore& Settings() = 0;
};

} // namespace tessaline
