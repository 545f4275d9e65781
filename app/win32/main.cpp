// Tessaline.exe: the logo utility on Windows. The main window hosts the
// Tessaline control (Tessaline.ocx, registered by the installer or with
// regsvr32) and works over the program's rules in app/core.
#include "Win32Services.h"
#include "WindowsApi.h"
#include "app/core/DispatchLogoControl.h"
#include "frmCorvido.h"
#include "platform/HostSystem.h"
#include "platform/SystemSpooler.h"
#include "platform/win32/WideText.h"

#include <commctrl.h>
#include <knownfolders.h>
#include <ole2.h>
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

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (FAILED(::OleInitialize(nullptr))) {
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
        tessaline::Win32Services services(tessaline::MakeSpooler());
        frmCorvido form(services);
        if (!form.Create(instance,
                         tessaline::win32::Widen(tessaline::kTessalineControlProgId).c_str())) {
            ::MessageBoxW(nullptr, L"The main window cannot be created.", L"Tessaline",
                          MB_OK | MB_ICONSTOP);
            ::OleUninitialize();
            return 1;
        }
        services.SetOwner(form.Window());
        form.Load();
        form.Show(showCommand);
        MSG msg{};
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // The window's keyboard works as a dialog's: Tab, arrows among options.
            if (form.Window() != nullptr && ::IsDialogMessageW(form.Window(), &msg)) {
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        exitCode = static_cast<int>(msg.wParam);
    }
    ::OleUninitialize();
    return exitCode;
}
