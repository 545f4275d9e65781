// SPDX-License-Identifier: MIT
// What the main window's rules see of it: MainWindowView over the window's
// controls.
#include "ImageControl.h"
#include "app/win32/MainWindowLayout.h"
#include "frmCorvido.h"
#include "platform/win32/WideText.h"

#include <cmath>
#include <commctrl.h>
#include <vector>

using tessaline::Ctl;
using tessaline::win32::Narrow;
using tessaline::win32::Widen;
using tessaline::win32::WindowTextOf;

namespace {} // namespace

void frmCorvido::ClearRows() {
    ::SendMessageW(Handle(Ctl::ListView_0), LVM_DELETEALLITEMS, 0, 0);
}

void frmCorvido::AddRow(int32_t index, const std::string& text, const std::string& subItem1,
                        const std::string& subItem2) {
    HWND list = Handle(Ctl::ListView_0);
    std::wstring texts[3] = {Widen(text), Widen(subItem1), Widen(subItem2)};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index - 1;
    item.pszText = texts[0].data();
    const auto at =
        static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at < 0) {
        return;
    }
    for (int column = 1; column <= 2; ++column) {
        LVITEMW sub{};
        sub.iSubItem = column;
        sub.pszText = texts[column].data();
        ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at),
                       reinterpret_cast<LPARAM>(&sub));
    }
}

void frmCorvido::SetText(Ctl control, const std::string& text) {
    const std::wstring wide = Widen(text);
    if (control == Ctl::SSTab) {
        HWND tab = Handle(Ctl::SSTab);
        ::SendMessageW(tab, TCM_SETCURSEL, 0, 0);
        ShowPage(0);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(wide.c_str());
        ::SendMessageW(tab, TCM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return;
    }
    ::SetWindowTextW(Handle(control), wide.c_str());
}

std::string frmCorvido::Text(Ctl control) const {
    if (control == Ctl::SSTab) {
        wchar_t caption[256] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = 256;
        ::SendMessageW(Handle(Ctl::SSTab), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return Narrow(caption);
    }
    if (control == Ctl::cboPrinter) {
        HWND combo = Handle(Ctl::cboPrinter);
        const LRESULT selected = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (selected == CB_ERR) {
            return {};
        }
        const LRESULT length =
            ::SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
        if (length == CB_ERR) {
            return {};
        }
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                       reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        return Narrow(text);
    }
    return WindowTextOf(Handle(control));
}

void frmCorvido::SetEnabled(Ctl control, bool enabled) {
    ::EnableWindow(Handle(control), enabled ? TRUE : FALSE);
}

bool frmCorvido::Enabled(Ctl control) const {
    return ::IsWindowEnabled(Handle(control)) != 0;
}

namespace {

// A control placed on the first page itself, hidden while "Printers" shows.
bool OnFirstPage(Ctl control) {
    for (const ControlLayout& layout : kMainWindowLayout) {
        if (layout.control == control) {
            return layout.container == Ctl::SSTab;
        }
    }
    return false;
}

} // namespace

void frmCorvido::SetVisible(Ctl control, bool visible) {
    if (m_onPrinters && OnFirstPage(control)) {
        m_shownUnderPrinters[static_cast<size_t>(control)] = visible;
        return;
    }
    ::ShowWindow(Handle(control), visible ? SW_SHOWNA : SW_HIDE);
}

bool frmCorvido::Visible(Ctl control) const {
    if (m_onPrinters && OnFirstPage(control)) {
        return m_shownUnderPrinters[static_cast<size_t>(control)];
    }
    return (::GetWindowLongW(Handle(control), GWL_STYLE) & WS_VISIBLE) != 0;
}

void frmCorvido::SetValue(Ctl option, bool selected) {
    ::SendMessageW(Handle(option), BM_SETCHECK, selected ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool frmCorvido::Value(Ctl option) const {
    return ::SendMessageW(Handle(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void frmCorvido::AddColumn(const std::string& text, int32_t widthTwips, bool rightAligned) {
    std::wstring wide = Widen(text);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = Pixels(widthTwips);
    column.pszText = wide.data();
    ::SendMessageW(Handle(Ctl::ListView_0), LVM_INSERTCOLUMNW, static_cast<WPARAM>(m_columns),
                   reinterpret_cast<LPARAM>(&column));
    ++m_columns;
}

int32_t frmCorvido::ItemCount() const {
    return static_cast<int32_t>(::SendMessageW(Handle(Ctl::ListView_0), LVM_GETITEMCOUNT, 0, 0));
}

int32_t frmCorvido::SelectedIndex() const {
    const LRESULT selected = ::SendMessageW(Handle(Ctl::ListView_0), LVM_GETNEXTITEM,
                                            static_cast<WPARAM>(-1), LVNI_SELECTED);
    return static_cast<int32_t>(selected) + 1;
}

void frmCorvido::SelectItem(int32_t index) {
    HWND list = Handle(Ctl::ListView_0);
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index - 1),
                       reinterpret_cast<LPARAM>(&state)) != 0) {
        ::SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index - 1), FALSE);
    }
}

void frmCorvido::AddPrinterName(const std::string& name) {
    ::SendMessageW(Handle(Ctl::cboPrinter), CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Widen(name).c_str()));
}

void frmCorvido::SelectPrinter(int32_t index) {
    ::SendMessageW(Handle(Ctl::cboPrinter), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int32_t frmCorvido::SliderValue() const {
    return static_cast<int32_t>(::SendMessageW(Handle(Ctl::Slider1), TBM_GETPOS, 0, 0));
}

int32_t frmCorvido::SliderMax() const {
    return static_cast<int32_t>(::SendMessageW(Handle(Ctl::Slider1), TBM_GETRANGEMAX, 0, 0));
}

bool frmCorvido::LoadPicture(Ctl image, const std::string& path) {
    return tessaline::win32::LoadImageFile(Handle(image), tessaline::win32::WidePath(path));
}

void frmCorvido::SetPictureRect(Ctl image, int32_t left, int32_t top, int32_t width,
                                int32_t height) {
    ::SetWindowPos(Handle(image), nullptr, Pixels(left), Pixels(top), Pixels(width), Pixels(height),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmCorvido::SetFocus(Ctl control) {
    ::SetFocus(Handle(control));
}

void frmCorvido::CentreOnScreen() {
    RECT frame{};
    ::GetWindowRect(m_window, &frame);
    const double width = frame.right - frame.left;
    const double height = frame.bottom - frame.top;
    const int left = static_cast<int>((::GetSystemMetrics(SM_CXSCREEN) - width) / 2.0);
    const int top = static_cast<int>((::GetSystemMetrics(SM_CYSCREEN) - height) / 2.0);
    ::SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmCorvido::Unload() {
    // After the running handler returns, as a click on the close box would.
    ::PostMessageW(m_window, WM_CLOSE, 0, 0);
}
