// SPDX-License-Identifier: MIT
#pragma once

#include "ScreenIcon.h"
#include "app/core/MainWindowView.h"
#include "app/core/PrintersPageView.h"
#include "platform/win32/HandleOwners.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace tessaline::driver {

// Text for the checks' lines and for the other process.
std::wstring Wide(const char* utf8);
std::string Utf8(const std::wstring& text);
// The text in the ANSI code page, as the program's settings file holds it.
std::string Ansi(const std::wstring& text);
std::wstring Join(const std::vector<std::wstring>& items);

// Polls `done` every 20 ms until it holds or `milliseconds` pass.
bool WaitUntil(DWORD milliseconds, const std::function<bool()>& done);
// A window's text through WM_GETTEXT, which crosses processes.
std::wstring WindowText(HWND window);
// Types a path into a file dialog's file name box.
bool TypeFileName(HWND dialog, const std::wstring& path);
// The file types a file dialog offers, as its list shows them.
std::vector<std::wstring> FileTypes(HWND dialog);

// Runs another copy of the program at `exe` in its folder; its exit status
// once it has ended within `milliseconds`, or nothing.
std::optional<DWORD> RunToEnd(const std::wstring& exe, DWORD milliseconds);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text;
    BoxIcon icon = BoxIcon::None;
};

// Tessaline.exe started by the driver and seen from outside: its windows
// found by class and process, its controls by their identifiers.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts the program in its own folder with `arguments` and, unless told
    // not to, waits for its main window to show.
    bool Start(const std::wstring& exe, bool waitForWindow = true,
               const std::wstring& arguments = L"");
    // Waits for the main window to show.
    bool WaitForMain(DWORD milliseconds);
    HWND Main() const { return m_main; }
    // Waits until the program is idle and none of its windows waits to be painted.
    bool WaitUntilPainted(DWORD milliseconds);
    // The exit status once the program has ended, or nothing.
    std::optional<DWORD> WaitForExit(DWORD milliseconds);

    // A top-level window of the program's with this class; `enabledOnly` skips disabled ones.
    HWND FindTopLevel(const wchar_t* windowClass, bool enabledOnly) const;
    HWND WaitForDialog(const wchar_t* windowClass, DWORD milliseconds) const;
    std::optional<MessageBoxSeen> WaitForMessageBox(DWORD milliseconds) const;

    // A control of the first page, or of the "Printers" page, found by its identifier.
    HWND Control(Ctl control) const;
    HWND Control(PCtl control) const;
    template <typename C> void Click(C control) const { ClickButton(Control(control)); }
    template <typename C> std::wstring Text(C control) const { return TextOf(Control(control)); }
    template <typename C> void SetText(C control, const std::wstring& text) const {
        SetTextOf(Control(control), text);
    }
    template <typename C> bool Enabled(C control) const {
        return ::IsWindowEnabled(Control(control)) != 0;
    }
    template <typename C> bool Checked(C box) const { return CheckedBox(Control(box)); }
    template <typename C> bool Visible(C control) const {
        return ::IsWindowVisible(Control(control)) != 0;
    }
    // The window with the keyboard focus in the program's user-interface thread.
    HWND Focus() const;
    // True when the Tessaline control has a visible window of its own in its place.
    bool ControlShown() const;
    // The client size of a control, and what twips are in pixels on this screen.
    std::pair<int, int> ImageSize(Ctl control) const;
    std::pair<int, int> Pixels(int widthTwips, int heightTwips) const;

    // The slider's position, and a drag of its thumb with the real mouse
    // until the slider shows `position`; false when it never did.
    int SliderPosition() const;
    bool DragSlider(int position) const;

    // Picks entry `index` of a list box as a user would: chosen, and its owner told.
    void Choose(PCtl box, int index) const;
    // A press and a release of the real mouse in the middle of `window`.
    void ClickOn(HWND window) const;
    // The tab the tab control shows (0: the logo list, 1: "Printers").
    int CurrentTab() const;
    // The key list's rows as "Key|Size".
    std::vector<std::wstring> KeyRows() const;

    int ListRowCount() const;
    // Each row as "No|Name|Size".
    std::vector<std::wstring> ListRows() const;
    // Clicks the 1-based row with the mouse.
    void ClickRow(int row) const;

    DWORD ProcessId() const { return m_processId; }

private:
    static void ClickButton(HWND button);
    static std::wstring TextOf(HWND window);
    static void SetTextOf(HWND window, const std::wstring& text);
    static bool CheckedBox(HWND box);
    std::vector<std::wstring> Rows(HWND list, int columns) const;

    win32::UniqueHandle m_process;
    win32::UniqueHandle m_thread;
    DWORD m_processId = 0;
    HWND m_main = nullptr;
};

} // namespace tessaline::driver
