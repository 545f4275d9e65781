// SPDX-License-Identifier: MIT
#include "ProgramWindows.h"

#include "ScreenIcon.h"
#include "app/win32/MainWindowLayout.h"
#include "app/win32/PrintersPageLayout.h"
#include "platform/win32/HandleOwners.h"

#include <algorithm>
#include <cmath>
#include <commctrl.h>

namespace tessaline::driver {

namespace {

// File dialogs' file name boxes: the Explorer dialog's combo box, the old dialog's edit.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;
// The file dialog's list of file types.
constexpr int kFileTypeCombo = 0x470;
constexpr UINT kTimeout = 10000;

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    ::GetClassNameW(window, name, 128);
    return name;
}

// Memory in the program's process, for the messages that carry pointers.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, size_t size) : m_process(process) {
        m_address =
            ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteMemory() {
        if (m_address != nullptr) {
            ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        }
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* At(size_t offset) const { return static_cast<char*>(m_address) + offset; }
    bool Write(const void* data, size_t size, size_t offset = 0) const {
        return ::WriteProcessMemory(m_process, At(offset), data, size, nullptr) != 0;
    }
    bool Read(void* data, size_t size, size_t offset = 0) const {
        return ::ReadProcessMemory(m_process, At(offset), data, size, nullptr) != 0;
    }

private:
    HANDLE m_process;
    void* m_address;
};

struct Search {
    DWORD process;
    const wchar_t* windowClass;
    bool enabledOnly;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == search->process && ClassOf(window) == search->windowClass &&
        ::IsWindowVisible(window) && (!search->enabledOnly || ::IsWindowEnabled(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildById(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ChildSearch*>(context);
    if (::GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first page's controls: none inside the "Printers" page, whose combo
// boxes' own parts have identifiers of the same range.
BOOL CALLBACK FindFirstPageChildById(HWND window, LPARAM context) {
    for (HWND up = ::GetParent(window); up != nullptr; up = ::GetParent(up)) {
        if (::GetDlgCtrlID(up) == kPrintersPageId) {
            return TRUE;
        }
    }
    return FindChildById(window, context);
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> all;
    ::EnumChildWindows(window, &CollectChildren, reinterpret_cast<LPARAM>(&all));
    return all;
}

} // namespace

std::wstring Wide(const char* utf8) {
    const int chars = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(chars > 0 ? chars : 1), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), chars);
    out.resize(out.size() - 1);
    return out;
}

namespace {

std::string Narrow(const std::wstring& text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}

} // namespace

std::string Utf8(const std::wstring& text) {
    return Narrow(text, CP_UTF8);
}

std::string Ansi(const std::wstring& text) {
    return Narrow(text, CP_ACP);
}

std::wstring Join(const std::vector<std::wstring>& items) {
    std::wstring joined;
    for (const std::wstring& item : items) {
        joined += (joined.empty() ? L"" : L", ") + item;
    }
    return joined;
}

bool WaitUntil(DWORD milliseconds, const std::function<bool()>& done) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    for (;;) {
        if (done()) {
            return true;
        }
        if (::GetTickCount64() >= end) {
            return false;
        }
        ::Sleep(20);
    }
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    if (window == nullptr ||
        ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG, kTimeout, &copied) == 0) {
        return {};
    }
    return std::wstring(text, static_cast<size_t>(copied));
}

bool TypeFileName(HWND dialog, const std::wstring& path) {
    HWND box = ::GetDlgItem(dialog, kFileNameCombo);
    if (box == nullptr) {
        box = ::GetDlgItem(dialog, kFileNameEdit);
    }
    DWORD_PTR result = 0;
    return box != nullptr &&
           ::SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                                 SMTO_ABORTIFHUNG, kTimeout, &result) != 0;
}

std::vector<std::wstring> FileTypes(HWND dialog) {
    std::vector<std::wstring> types;
    HWND box = ::GetDlgItem(dialog, kFileTypeCombo);
    DWORD_PTR count = 0;
    if (box == nullptr ||
        ::SendMessageTimeoutW(box, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &count) == 0) {
        return types;
    }
    for (WPARAM i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        DWORD_PTR copied = 0;
        ::SendMessageTimeoutW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG, kTimeout, &copied);
        types.emplace_back(text, std::min<size_t>(copied, 511));
    }
    return types;
}

std::optional<DWORD> RunToEnd(const std::wstring& exe, DWORD milliseconds) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    std::wstring command = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.c_str(), &startup, &process) == 0) {
        return std::nullopt;
    }
    const tessaline::win32::UniqueHandle held[] = {tessaline::win32::UniqueHandle(process.hProcess),
                                                   tessaline::win32::UniqueHandle(process.hThread)};
    std::optional<DWORD> status;
    if (::WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        status = code;
    } else {
        ::TerminateProcess(process.hProcess, 99);
    }
    return status;
}

Program::~Program() {
    if (m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.get(), 99);
    }
}

bool Program::Start(const std::wstring& exe, bool waitForWindow, const std::wstring& arguments) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    std::wstring command = L"\"" + exe + L"\"";
    if (!arguments.empty()) {
        command += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.c_str(), &startup, &process) == 0) {
        return false;
    }
    m_process = win32::UniqueHandle(process.hProcess);
    m_thread = win32::UniqueHandle(process.hThread);
    m_processId = process.dwProcessId;
    return !waitForWindow || WaitForMain(60000);
}

bool Program::WaitForMain(DWORD milliseconds) {
    return WaitUntil(milliseconds, [&] {
        m_main = FindTopLevel(kMainWindowClass, false);
        return m_main != nullptr;
    });
}

bool Program::WaitUntilPainted(DWORD milliseconds) {
    if (::WaitForInputIdle(m_process.get(), milliseconds) != 0) {
        return false;
    }
    return WaitUntil(milliseconds, [&] {
        if (::GetUpdateRect(m_main, nullptr, FALSE) != 0) {
            return false;
        }
        for (HWND child : Descendants(m_main)) {
            if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE) != 0) {
                return false;
            }
        }
        return true;
    });
}

std::optional<DWORD> Program::WaitForExit(DWORD milliseconds) {
    if (::WaitForSingleObject(m_process.get(), milliseconds) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

HWND Program::FindTopLevel(const wchar_t* windowClass, bool enabledOnly) const {
    Search search{m_processId, windowClass, enabledOnly, nullptr};
    ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Program::WaitForDialog(const wchar_t* windowClass, DWORD milliseconds) const {
    HWND dialog = nullptr;
    WaitUntil(milliseconds, [&] {
        dialog = FindTopLevel(windowClass, true);
        return dialog != nullptr;
    });
    return dialog;
}

std::optional<MessageBoxSeen> Program::WaitForMessageBox(DWORD milliseconds) const {
    HWND box = nullptr;
    WaitUntil(milliseconds, [&] {
        box = FindTopLevel(L"#32770", true);
        return box != nullptr && ::GetDlgItem(box, kFileNameCombo) == nullptr &&
               ::GetDlgItem(box, kFileNameEdit) == nullptr;
    });
    if (box == nullptr) {
        return std::nullopt;
    }
    ::Sleep(100); // the box fills its texts as it shows
    MessageBoxSeen seen;
    seen.window = box;
    seen.title = WindowText(box);
    for (HWND child : Descendants(box)) {
        if (ClassOf(child) != L"Static" || !::IsWindowVisible(child)) {
            continue;
        }
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &icon);
            seen.icon = icon == 0 ? BoxIcon::None : IconShownBy(child);
        } else if (const std::wstring text = WindowText(child); !text.empty()) {
            seen.text = text;
        }
    }
    return seen;
}

HWND Program::Control(Ctl control) const {
    ChildSearch search{MainWindowControlId(control), nullptr};
    ::EnumChildWindows(m_main, &FindFirstPageChildById, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

// A press and a release of the real mouse at `at` in `window`'s client area.
void PressAndRelease(HWND window, POINT at) {
    ::ClientToScreen(window, &at);
    ::SetCursorPos(at.x, at.y);
    INPUT clicks[2]{};
    clicks[0].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].type = INPUT_MOUSE;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, clicks, sizeof(INPUT));
}

} // namespace

void Program::ClickButton(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
}

std::wstring Program::TextOf(HWND window) {
    return WindowText(window);
}

void Program::SetTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                          SMTO_ABORTIFHUNG, kTimeout, &result);
}

bool Program::CheckedBox(HWND box) {
    DWORD_PTR state = 0;
    ::SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &state);
    return state == BST_CHECKED;
}

HWND Program::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(m_main, nullptr), &info) != 0
               ? info.hwndFocus
               : nullptr;
}

bool Program::ControlShown() const {
    HWND inPlace = ::GetWindow(Control(Ctl::Tessaline), GW_CHILD);
    return inPlace != nullptr && ::IsWindowVisible(inPlace);
}

std::pair<int, int> Program::ImageSize(Ctl control) const {
    RECT client{};
    ::GetClientRect(Control(control), &client);
    return {client.right, client.bottom};
}

std::pair<int, int> Program::Pixels(int widthTwips, int heightTwips) const {
    const int dpi = ::GetDeviceCaps(win32::UniqueWindowDc(nullptr).get(), LOGPIXELSY);
    return {static_cast<int>(std::lround(widthTwips * dpi / 1440.0)),
            static_cast<int>(std::lround(heightTwips * dpi / 1440.0))};
}

int Program::SliderPosition() const {
    DWORD_PTR position = 0;
    ::SendMessageTimeoutW(Control(Ctl::Slider1), TBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kTimeout,
                          &position);
    return static_cast<int>(position);
}

bool Program::DragSlider(int position) const {
    HWND slider = Control(Ctl::Slider1);
    RemoteMemory memory(m_process.get(), 2 * sizeof(RECT));
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(memory.At(0)),
                          SMTO_ABORTIFHUNG, kTimeout, &ignored);
    ::SendMessageTimeoutW(slider, TBM_GETCHANNELRECT, 0,
                          reinterpret_cast<LPARAM>(memory.At(sizeof(RECT))), SMTO_ABORTIFHUNG,
                          kTimeout, &ignored);
    RECT thumb{};
    RECT channel{};
    memory.Read(&thumb, sizeof(thumb));
    memory.Read(&channel, sizeof(channel), sizeof(RECT));
    POINT at{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    ::ClientToScreen(slider, &at);
    // The channel's ends on the screen: the thumb never goes past them.
    POINT left{channel.left, channel.top};
    POINT right{channel.right, channel.top};
    ::ClientToScreen(slider, &left);
    ::ClientToScreen(slider, &right);
    const auto send = [](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        ::SendInput(1, &input, sizeof(INPUT));
    };
    // Pressed on the thumb, moved a few pixels at a time as a hand moves it.
    ::SetCursorPos(at.x, at.y);
    send(MOUSEEVENTF_LEFTDOWN);
    ::Sleep(200);
    const int step = position > SliderPosition() ? 3 : -3;
    bool reached = false;
    const int stop = step > 0 ? right.x + 10 : left.x - 10;
    for (int x = at.x; step > 0 ? x <= stop : x >= stop; x += step) {
        ::SetCursorPos(x, at.y);
        send(MOUSEEVENTF_MOVE);
        ::Sleep(30);
        if (SliderPosition() == position) {
            reached = true;
            break;
        }
    }
    send(MOUSEEVENTF_LEFTUP);
    ::Sleep(200);
    return reached && SliderPosition() == position;
}

HWND Program::Control(PCtl control) const {
    ChildSearch search{PrintersPageControlId(control), nullptr};
    ::EnumChildWindows(m_main, &FindChildById, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Program::Choose(PCtl box, int index) const {
    HWND window = Control(box);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(window, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                          kTimeout, &result);
    ::PostMessageW(::GetParent(window), WM_COMMAND,
                   MAKEWPARAM(PrintersPageControlId(box), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(window));
}

void Program::ClickOn(HWND window) const {
    RECT bounds{};
    ::GetClientRect(window, &bounds);
    PressAndRelease(window, POINT{bounds.right / 2, bounds.bottom / 2});
}

int Program::CurrentTab() const {
    DWORD_PTR tab = 0;
    ::SendMessageTimeoutW(Control(Ctl::SSTab), TCM_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kTimeout,
                          &tab);
    return static_cast<int>(tab);
}

std::vector<std::wstring> Program::KeyRows() const {
    return Rows(Control(PCtl::lstKeys), 2);
}

int Program::ListRowCount() const {
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(Control(Ctl::ListView_0), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                          kTimeout, &count);
    return static_cast<int>(count);
}

std::vector<std::wstring> Program::ListRows() const {
    return Rows(Control(Ctl::ListView_0), 3);
}

std::vector<std::wstring> Program::Rows(HWND list, int columns) const {
    constexpr size_t kChars = 512;
    RemoteMemory memory(m_process.get(), sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    std::vector<std::wstring> rows;
    DWORD_PTR count = 0;
    ::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kTimeout, &count);
    for (int row = 0; row < static_cast<int>(count); ++row) {
        std::wstring line;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = static_cast<wchar_t*>(memory.At(sizeof(LVITEMW)));
            item.cchTextMax = kChars;
            memory.Write(&item, sizeof(item));
            DWORD_PTR copied = 0;
            ::SendMessageTimeoutW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                  reinterpret_cast<LPARAM>(memory.At(0)), SMTO_ABORTIFHUNG,
                                  kTimeout, &copied);
            std::wstring text(static_cast<size_t>(copied), L'\0');
            memory.Read(text.data(), text.size() * sizeof(wchar_t), sizeof(LVITEMW));
            line += (column == 0 ? L"" : L"|") + text;
        }
        rows.push_back(line);
    }
    return rows;
}

void Program::ClickRow(int row) const {
    HWND list = Control(Ctl::ListView_0);
    RemoteMemory memory(m_process.get(), sizeof(RECT));
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    memory.Write(&bounds, sizeof(bounds));
    DWORD_PTR ok = 0;
    ::SendMessageTimeoutW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row - 1),
                          reinterpret_cast<LPARAM>(memory.At(0)), SMTO_ABORTIFHUNG, kTimeout, &ok);
    memory.Read(&bounds, sizeof(bounds));
    // A press and a release of the real mouse: the list view follows the
    // button itself between the two.
    PressAndRelease(list,
                    POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2});
}

} // namespace tessaline::driver
