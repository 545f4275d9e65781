// SPDX-License-Identifier: MIT
#include "frmCorvido.h"

#include "ContainerWindow.h"
#include "ImageControl.h"
#include "MessagePump.h"
#include "Win32Services.h"
#include "app/win32/MainWindowLayout.h"
#include "app/win32/PrintersPageLayout.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <cmath>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <utility>

using tessaline::Ctl;

namespace {

// Sizable: the design's size is the smallest, a larger window gives the tabs the room.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                             WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

Ctl ControlOfId(int id) {
    return static_cast<Ctl>(id - MainWindowControlId(Ctl::Form));
}

bool IsControlId(int id) {
    return id > MainWindowControlId(Ctl::Form) &&
           id < MainWindowControlId(Ctl::Form) + tessaline::kControlCount;
}

} // namespace

frmCorvido::frmCorvido(tessaline::AppServices& services, tessaline::SystemServices& system)
    : m_services(services), m_system(system), m_programSettings(system) {}

frmCorvido::~frmCorvido() {
    m_logic.reset();
    if (m_host) {
        m_host->Disconnect();
    }
    m_site->Close();
    if (m_window != nullptr) {
        ::DestroyWindow(m_window);
    }
}

int frmCorvido::Pixels(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpi / 1440.0));
}

bool frmCorvido::Create(HINSTANCE instance, const wchar_t* progId) {
    m_instance = instance;
    if (!tessaline::win32::RegisterContainerClass(instance) ||
        !tessaline::win32::RegisterImageClass(instance) || !frmProgress::RegisterClass(instance)) {
        return false;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    if (::RegisterClassExW(&windowClass) == 0) {
        return false;
    }

    m_dpi = ::GetDeviceCaps(tessaline::win32::UniqueWindowDc(nullptr).get(), LOGPIXELSY);
    CreateFonts();

    RECT frame{0, 0, Pixels(kFormWidthTwips), Pixels(kFormHeightTwips)};
    ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    m_window = ::CreateWindowExW(0, kMainWindowClass, L"Halvering 2.11", kFormStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                 nullptr, nullptr, instance, this);
    if (m_window == nullptr) {
        return false;
    }
    m_controls[static_cast<size_t>(Ctl::Form)] = m_window;
    ::SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
    if (!CreateControls()) {
        return false;
    }
    PaintAboutPicture();

    // The "Printers" page: a second tab, its controls on a page of their own
    // over the tab's area, hidden until the tab is chosen.
    const ControlLayout& tab = kMainWindowLayout.front();
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(Handle(Ctl::SSTab), TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
    m_printers =
        std::make_unique<PrintersPage>(m_services, m_system, [this] { return m_logic->Title(); });
    if (!m_printers->Create(instance, m_window, POINT{Pixels(tab.left), Pixels(tab.top)}, m_dpi,
                            m_font.get())) {
        return false;
    }
    // The tab control stays under its pages, which it would otherwise paint over.
    ::SetWindowPos(Handle(Ctl::SSTab), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    m_site->Attach(Handle(Ctl::Tessaline));
    if (const tessaline::Result<void> created = m_site->CreateControl(progId); !created) {
        m_controlError = created.Reason();
    } else {
        m_host = tessaline::ControlHost::Adopt(m_site->Dispatch());
        m_control = std::make_unique<tessaline::DispatchLogoControl>(*m_host);
    }
    m_progressForm = std::make_unique<frmProgress>(instance, m_window, m_font.get(), m_dpi);
    m_logic = std::make_unique<tessaline::MainWindowLogic>(*this, m_services, m_system,
                                                           m_control.get(), m_controlError);
    return true;
}

void frmCorvido::Load() {
    m_logic->Form_Load();
    // The code page as the first tab read it, so both tabs speak one language.
    const int32_t codePage = m_logic->CodePage() != 0 ? m_logic->CodePage() : 1252;
    m_printers->Logic().Load(codePage);
    const std::wstring caption = tessaline::win32::Widen(m_printers->Logic().TabCaption());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(caption.c_str());
    ::SendMessageW(Handle(Ctl::SSTab), TCM_SETITEMW, 1, reinterpret_cast<LPARAM>(&item));
    RECT client{};
    ::GetClientRect(m_window, &client);
    m_normalSize = {client.right, client.bottom};
    RestorePlacement();
}

void frmCorvido::OpenOnPrinter(const std::string& printer) {
    ::SendMessageW(Handle(Ctl::SSTab), TCM_SETCURSEL, 1, 0);
    ShowPage(1);
    m_printers->Logic().PrinterChosen(printer);
}

bool frmCorvido::TabMnemonic(const MSG& msg) {
    if (msg.message != WM_SYSCHAR || m_window == nullptr || !::IsWindowEnabled(m_window) ||
        (msg.hwnd != m_window && !::IsChild(m_window, msg.hwnd))) {
        return false;
    }
    HWND tabs = Handle(Ctl::SSTab);
    const auto count = static_cast<int>(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int tab = 0; tab < count; ++tab) {
        wchar_t caption[256] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 256;
        ::SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(tab),
                       reinterpret_cast<LPARAM>(&item));
        for (const wchar_t* c = caption; c[0] != L'\0' && c[1] != L'\0'; ++c) {
            if (c[0] == L'&' && c[1] != L'&' &&
                ::CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c[1]))) ==
                    ::CharLowerW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(msg.wParam)))) {
                ::SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
                ShowPage(tab);
                ::SetFocus(tabs);
                return true;
            }
            if (c[0] == L'&') {
                ++c; // "&&" stands for itself
            }
        }
    }
    return false;
}

void frmCorvido::ShowPage(int tab) {
    const bool printers = tab == 1;
    if (printers == m_onPrinters || m_window == nullptr) {
        return;
    }
    HWND focus = ::GetFocus();
    for (const ControlLayout& layout : kMainWindowLayout) {
        if (layout.container != Ctl::SSTab) {
            continue;
        }
        HWND control = Handle(layout.control);
        const auto index = static_cast<size_t>(layout.control);
        if (printers) {
            m_shownUnderPrinters[index] = (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
            ::ShowWindow(control, SW_HIDE);
        } else {
            ::ShowWindow(control, m_shownUnderPrinters[index] ? SW_SHOWNA : SW_HIDE);
        }
    }
    m_onPrinters = printers;
    m_printers->Show(printers);
    // The keyboard stays on the tabs when it was on the page that went.
    if (focus != nullptr && focus != Handle(Ctl::SSTab) && !::IsWindowVisible(focus)) {
        ::SetFocus(Handle(Ctl::SSTab));
    }
}

void frmCorvido::RestorePlacement() {
    const auto number = [this](const char* key) {
        const std::string text = m_programSettings.Value(key);
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        return !text.empty() && end != nullptr && *end == '\0' ? value : 0L;
    };
    const long width = number("Width");
    const long height = number("Height");
    if (width >= Pixels(kFormWidthTwips) && height >= Pixels(kFormHeightTwips) && width <= 16384 &&
        height <= 16384) {
        RECT frame{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
        ::SetWindowPos(m_window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        CentreOnScreen();
    }
    const std::string tab = m_programSettings.Value("Tab");
    if (tab == "1" || tab == "0") {
        const int chosen = tab == "1" ? 1 : 0;
        ::SendMessageW(Handle(Ctl::SSTab), TCM_SETCURSEL, static_cast<WPARAM>(chosen), 0);
        ShowPage(chosen);
    }
}

void frmCorvido::SavePlacement() {
    const std::pair<const char*, std::string> values[] = {
        {"Width", std::to_string(m_normalSize.cx)},
        {"Height", std::to_string(m_normalSize.cy)},
        {"Tab", m_onPrinters ? "1" : "0"}};
    for (const auto& [key, text] : values) {
        // Written only when changed, so that closing writes nothing it need not.
        if (m_programSettings.Value(key) != text) {
            if (auto saved = m_programSettings.SetValue(key, text); !saved) {
                std::fprintf(stderr, "Tessaline: %s\n", saved.Reason().c_str());
                return;
            }
        }
    }
}

void frmCorvido::FollowWindowSize(int clientWidth, int clientHeight) {
    const int wider = std::max(0, clientWidth - Pixels(kFormWidthTwips));
    const int taller = std::max(0, clientHeight - Pixels(kFormHeightTwips));
    const ControlLayout& tab = kMainWindowLayout.front();
    ::SetWindowPos(Handle(Ctl::SSTab), nullptr, 0, 0, Pixels(tab.width) + wider,
                   Pixels(tab.height) + taller, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlLayout& layout : kMainWindowLayout) {
        if (layout.container == Ctl::Form && layout.control != Ctl::SSTab) {
            ::SetWindowPos(Handle(layout.control), nullptr, Pixels(layout.left) + wider / 2,
                           Pixels(layout.top) + taller, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    m_printers->FollowSize(wider, taller);
    ::InvalidateRect(m_window, nullptr, TRUE);
}

void frmCorvido::Show(int showCommand) {
    ::ShowWindow(m_window, showCommand);
    ::UpdateWindow(m_window);
}

template <typename Handler> void frmCorvido::RunEvent(Handler handler) {
    handler();
    tessaline::win32::DropWaitingInput();
}

LRESULT CALLBACK frmCorvido::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* form = static_cast<frmCorvido*>(create->lpCreateParams);
        form->m_window = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<frmCorvido*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && form != nullptr) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->m_window = nullptr;
        form->m_controls.fill(nullptr);
    }
    if (form == nullptr || !form->m_logic) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return form->HandleMessage(message, wParam, lParam);
}

LRESULT frmCorvido::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (m_printers->OnCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam))) {
            return 0;
        }
        // Enter, which the keyboard's dialog handling turns into IDOK.
        if (LOWORD(wParam) == IDOK && m_printers->OnEnter()) {
            return 0;
        }
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        if (!m_printers->OnNotify(*reinterpret_cast<const NMHDR*>(lParam))) {
            OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        }
        return 0;
    case WM_HSCROLL:
        if (m_printers->OnScroll(reinterpret_cast<HWND>(lParam))) {
            return 0;
        }
        // The trackbar reports every move (a drag, the keys, a press); a
        // press's own move is the press handler's to take.
        if (reinterpret_cast<HWND>(lParam) == Handle(Ctl::Slider1) && !m_forwardingPress) {
            RunEvent([this] { m_logic->Slider1_Change(); });
        }
        return 0;
    case WM_NEXTDLGCTL: {
        // As a dialog takes it: the keyboard's dialog handling moves the
        // focus with it, a label's mnemonic to the control after the label.
        HWND next = LOWORD(lParam) != 0
                        ? reinterpret_cast<HWND>(wParam)
                        : ::GetNextDlgTabItem(m_window, ::GetFocus(), wParam != 0 ? TRUE : FALSE);
        if (next != nullptr) {
            ::SetFocus(next);
        }
        return 0;
    }
    case WM_GETMINMAXINFO: {
        RECT frame{0, 0, Pixels(kFormWidthTwips), Pixels(kFormHeightTwips)};
        ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
        return 0;
    }
    case WM_SIZE:
        if (wParam == SIZE_RESTORED) {
            m_normalSize = {LOWORD(lParam), HIWORD(lParam)};
        }
        if (wParam != SIZE_MINIMIZED) {
            FollowWindowSize(LOWORD(lParam), HIWORD(lParam));
        }
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_ENDSESSION:
        // Windows ends without closing the window: the list is saved all the same.
        if (wParam != FALSE) {
            m_logic->Form_Unload();
        }
        return 0;
    default:
        return ::DefWindowProcW(m_window, message, wParam, lParam);
    }
}

void frmCorvido::OnCommand(int id, int code) {
    if (code != BN_CLICKED || !IsControlId(id)) {
        return;
    }
    tessaline::MainWindowLogic& logic = *m_logic;
    switch (ControlOfId(id)) {
    case Ctl::cmdClose:
        RunEvent([&] { logic.cmdClose_Click(); });
        break;
    case Ctl::cmdSearch:
        RunEvent([&] { logic.cmdSearch_Click(); });
        break;
    case Ctl::cmdRemove:
        RunEvent([&] { logic.cmdRemove_Click(); });
        break;
    case Ctl::cmdReset:
        RunEvent([&] { logic.cmdReset_Click(); });
        break;
    case Ctl::optImageMode_0:
        RunEvent([&] { logic.optImageMode_Click(0); });
        break;
    case Ctl::optImageMode_1:
        RunEvent([&] { logic.optImageMode_Click(1); });
        break;
    case Ctl::cmdUpload:
        RunEvent([&] { logic.cmdUpload_Click(); });
        break;
    case Ctl::Cmd_Erase:
        RunEvent([&] { logic.Cmd_Erase_Click(); });
        break;
    case Ctl::cmdPrint:
        RunEvent([&] { logic.cmdPrint_Click(); });
        break;
    default:
        break;
    }
}

void frmCorvido::OnNotify(const NMHDR& header) {
    if (header.hwndFrom == Handle(Ctl::SSTab) && header.code == static_cast<UINT>(TCN_SELCHANGE)) {
        ShowPage(static_cast<int>(::SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0)));
        return;
    }
    if (header.code != static_cast<UINT>(NM_CLICK)) {
        return;
    }
    if (header.hwndFrom == Handle(Ctl::ListView_0)) {
        const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (click.iItem >= 0) {
            RunEvent([&] { m_logic->ListView_ItemClick(click.iItem + 1); });
        }
    } else if (header.hwndFrom == Handle(Ctl::SSTab)) {
        // A click on the tab itself, not on the page under it.
        TCHITTESTINFO hit{};
        const DWORD at = ::GetMessagePos();
        hit.pt = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
        ::ScreenToClient(header.hwndFrom, &hit.pt);
        if (::SendMessageW(header.hwndFrom, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0) {
            RunEvent([&] { m_logic->SSTab_Click(); });
        }
    }
}

LRESULT CALLBACK frmCorvido::SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<frmCorvido*>(
        ::GetWindowLongPtrW(::GetAncestor(window, GA_ROOT), GWLP_USERDATA));
    if (form == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    const bool press = message == WM_LBUTTONDOWN;
    bool onThumb = false;
    if (press) {
        RECT thumb{};
        ::SendMessageW(window, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        onThumb = ::PtInRect(&thumb, at) != 0;
    }
    form->m_forwardingPress = press;
    const LRESULT result = ::CallWindowProcW(form->m_sliderProc, window, message, wParam, lParam);
    form->m_forwardingPress = false;
    if (press && ::IsWindowEnabled(window) && form->m_logic) {
        // The slider takes the press first, so the handler reads the
        // position the press has chosen.
        form->RunEvent([form] { form->m_logic->Slider1_MouseDown(); });
        // The slider was disabled while the handler converted, which ends the
        // drag a press on the thumb begins: the thumb is taken up again while
        // the button is still held, so the drag goes on.
        if (onThumb && ::IsWindowEnabled(window) && ::GetCapture() != window &&
            (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0) {
            form->m_forwardingPress = true;
            ::CallWindowProcW(form->m_sliderProc, window, WM_LBUTTONDOWN, wParam, lParam);
            form->m_forwardingPress = false;
        }
    }
    return result;
}

void frmCorvido::OnClose() {
    if (!m_logic->Form_QueryUnload()) {
        return;
    }
    m_logic->Form_Unload();
    SavePlacement();
    ::DestroyWindow(m_window);
}

void frmCorvido::OnDestroy() {
    m_printers->Close();
    m_progressForm->Unload();
    if (m_host) {
        m_host->Disconnect();
    }
    m_site->Close();
    ::PostQuitMessage(0);
}
