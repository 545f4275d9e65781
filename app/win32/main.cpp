// SPDX-License-Identifier: MIT
// Tessaline.exe: the logo utility on Windows. The main window hosts the
// Tessaline control (Tessaline.ocx, registered by the installer or with
// regsvr32) and works over the program's rules in app/core.
#include "Win32Services.h"
#include "WindowsApi.h"
#include "app/core/DispatchLogoControl.h"
#include "app/core/SystemServices.h"
#include "app/core/clsFiles.h"
#include "app/win32/MainWindowLayout.h"
#include "frmCorvido.h"
#include "platform/HostSystem.h"
#include "platform/SystemSpooler.h"
#include "platform/win32/ComOwners.h"
#include "platform/win32/WideText.h"

#include <commctrl.h>
#include <knownfolders.h>
#include <ole2.h>
#include <optional>
#include <shellapi.h>
#include <shlobj.h>
#include <string>

namespace {

// The control writes its preview pictures (Temp.bmp, TempTe.bmp) into the
// current folder. Started from the Start menu the program is in its own
// folder, which ordinary users cannot write under Program Files: the
// pictures then go to a folder of the user's.
void EnterWritableFolder() {
    wchar_t current[MAX_PATH] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, current);
    if (length > 0 && length < MAX_PATH &&
        tessaline::CanCreateFileIn(tessaline::win32::Narrow(current))) {
        return;
    }
    wchar_t* local = nullptr;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) {
        const std::wstring work = std::wstring(local) + L"\\Tessaline";
        ::CreateDirectoryW(work.c_str(), nullptr);
        ::SetCurrentDirectoryW(work.c_str());
    }
    ::CoTaskMemFree(local);
}

// The main window of process `pid`, or null.
HWND MainWindowOf(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (owner == s->pid && std::wstring(name) == kMainWindowClass) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What became of the copy of the program that held the logo list.
enum class OtherCopy {
    Shown,  // its window came forward
    Silent, // it showed no window in time
    Gone,   // it ended meanwhile: the list is free
};

// Another copy of the program holds the logo list: its window (or the
// message box it shows) comes forward, as the user asked for the program.
// Waits for that copy's window while it starts.
OtherCopy BringHolderForward(tessaline::SystemServices& system) {
    for (int tries = 0; tries < 200; ++tries) {
        tessaline::Result<tessaline::SettingsClaim> claim = tessaline::ClaimLogoList(system);
        if (!claim || claim.Value().Held()) {
            return OtherCopy::Gone;
        }
        if (HWND window =
                claim.Value().Holder() != 0 ? MainWindowOf(claim.Value().Holder()) : nullptr;
            window != nullptr && ::IsWindowVisible(window)) {
            if (::IsIconic(window)) {
                ::ShowWindow(window, SW_RESTORE);
            }
            ::SetForegroundWindow(::GetLastActivePopup(window));
            return OtherCopy::Shown;
        }
        ::Sleep(50);
    }
    return OtherCopy::Silent;
}

// The command line's options: `--printer ADDRESS` opens the window on the
// "Printers" tab with that printer chosen and asked. False for anything else.
bool ReadArguments(std::optional<std::string>& printer) {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (args == nullptr) {
        return count <= 1;
    }
    bool understood = true;
    for (int i = 1; i < count; ++i) {
        if (std::wstring(args[i]) == L"--printer" && i + 1 < count) {
            printer = tessaline::win32::Narrow(args[++i]);
        } else {
            understood = false;
        }
    }
    ::LocalFree(args);
    return understood;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    std::optional<std::string> printer;
    if (!ReadArguments(printer)) {
        ::MessageBoxW(nullptr, L"Usage: Tessaline.exe [--printer ADDRESS]", L"Tessaline",
                      MB_OK | MB_ICONEXCLAMATION);
        return 2;
    }
    // OLE stops after the window, the services and the claim have gone.
    const tessaline::win32::ComScope ole(tessaline::win32::ComScope::Kind::Ole);
    if (FAILED(ole.Started())) {
        ::MessageBoxW(nullptr, L"OLE cannot be started; the Tessaline control cannot be hosted.",
                      L"Tessaline", MB_OK | MB_ICONSTOP);
        return 1;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                     ICC_STANDARD_CLASSES;
    ::InitCommonControlsEx(&controls);
    EnterWritableFolder();

    int exitCode = 0;
    {
        tessaline::Win32Services services;
        tessaline::HostServices system(tessaline::MakeSpooler());
        // One copy of the program per logo list: a second one would write
        // its own list over the first's when it closes.
        std::optional<tessaline::Result<tessaline::SettingsClaim>> claim(
            tessaline::ClaimLogoList(system));
        if (claim->Ok() && !claim->Value().Held()) {
            const OtherCopy other = BringHolderForward(system);
            if (other != OtherCopy::Gone) {
                return other == OtherCopy::Shown ? 0 : 1;
            }
            // The other copy ended while this one waited: the list is this one's.
            claim.emplace(tessaline::ClaimLogoList(system));
        }
        frmCorvido form(services, system);
        if (!form.Create(instance,
                         tessaline::win32::Widen(tessaline::kTessalineControlProgId).c_str())) {
            ::MessageBoxW(nullptr, L"The main window cannot be created.", L"Tessaline",
                          MB_OK | MB_ICONSTOP);
            return 1;
        }
        services.SetOwner(form.Window());
        form.Load();
        if (printer) {
            // A shortcut per printer: the window opens on it, asked.
            form.OpenOnPrinter(*printer);
        }
        form.Show(showCommand);
        MSG msg{};
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // The window's keyboard works as a dialog's: Tab, arrows among options,
            // the mnemonics; those of the tabs first.
            if (form.TabMnemonic(msg)) {
                continue;
            }
            if (form.Window() != nullptr && ::IsDialogMessageW(form.Window(), &msg)) {
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        exitCode = static_cast<int>(msg.wParam);
    }
    return exitCode;
}
