// SPDX-License-Identifier: MIT
// The "Printers" page over the Windows common controls.
#include "PrintersPage.h"

#include "ContainerWindow.h"
#include "DotsPreview.h"
#include "app/core/LogoDots.h"
#include "app/win32/PrintersPageLayout.h"
#include "app/win32/Win32BackgroundWork.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <cmath>
#include <commctrl.h>

using tessaline::PCtl;
using tessaline::win32::Narrow;
using tessaline::win32::Widen;
using tessaline::win32::WindowTextOf;

namespace {

// The thumbnails' size in the key list, as the Qt page has them.
constexpr int kThumbWidth = 96;
constexpr int kThumbHeight = 32;
// Steps of the work bar while it is busy without steps of its own.
constexpr int kBusySteps = 24;
constexpr UINT_PTR kBusyTimer = 36;

// A key's dots drawn small: each pixel the share of its dots that print.
HBITMAP Thumbnail(const tessaline::RasterGraphic& g) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kThumbWidth;
    info.bmiHeader.biHeight = -kThumbHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        return bitmap;
    }
    auto* pixels = static_cast<uint32_t*>(bits);
    const uint32_t window = ::GetSysColor(COLOR_WINDOW);
    const uint32_t background =
        (GetRValue(window) << 16) | (GetGValue(window) << 8) | GetBValue(window);
    std::fill(pixels, pixels + kThumbWidth * kThumbHeight, background);
    if (g.width <= 0 || g.height <= 0) {
        return bitmap;
    }
    const double scale = std::min(static_cast<double>(kThumbWidth) / g.width,
                                  static_cast<double>(kThumbHeight) / g.height);
    const int width = std::max(1, static_cast<int>(g.width * scale));
    const int height = std::max(1, static_cast<int>(g.height * scale));
    const int top = (kThumbHeight - height) / 2;
    for (int ty = 0; ty < height; ++ty) {
        const int y0 = ty * g.height / height;
        const int y1 = std::max(y0 + 1, (ty + 1) * g.height / height);
        for (int tx = 0; tx < width; ++tx) {
            const int x0 = tx * g.width / width;
            const int x1 = std::max(x0 + 1, (tx + 1) * g.width / width);
            int dots = 0;
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    dots += tessaline::DotAt(g, x, y) ? 1 : 0;
                }
            }
            const auto grey = static_cast<uint32_t>(255 - 255 * dots / ((x1 - x0) * (y1 - y0)));
            pixels[(top + ty) * kThumbWidth + tx] = (grey << 16) | (grey << 8) | grey;
        }
    }
    return bitmap;
}

// How a control follows a window larger than the design: its share of the
// extra width and height it moves by and grows by.
struct Anchor {
    PCtl control;
    bool moveX, moveY, growX, growY;
};

constexpr Anchor kAnchors[] = {
    {PCtl::fraHolds, false, false, false, true},
    {PCtl::lstKeys, false, false, false, true},
    {PCtl::fraLogo, false, false, true, true},
    {PCtl::txtLogoFile, false, false, true, false},
    {PCtl::cmdBrowse, true, false, false, false},
    {PCtl::lblKeyCheck, false, false, true, false},
    {PCtl::sldThreshold, false, false, true, false},
    {PCtl::sldBrightness, false, false, true, false},
    {PCtl::picPreview, false, false, true, true},
    {PCtl::lblPreviewInfo, false, true, true, false},
    {PCtl::cmdStore, false, true, false, false},
    {PCtl::cmdPrintGraphic, false, true, false, false},
    {PCtl::cmdDeleteGraphic, false, true, false, false},
    {PCtl::cmdDeleteAll, false, true, false, false},
    {PCtl::cmdTestReceipt, false, true, false, false},
    {PCtl::chkAutoLogo, false, true, false, false},
    {PCtl::lblWork, false, true, true, false},
    {PCtl::barWork, true, true, false, false},
};

void CALLBACK BusyTick(HWND bar, UINT, UINT_PTR, DWORD) {
    const auto at = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
    ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>((at + 1) % (kBusySteps + 1)), 0);
}

} // namespace

PrintersPage::PrintersPage(tessaline::AppServices& services, tessaline::SystemServices& system,
                           std::function<std::string()> title)
    : m_services(services), m_system(system), m_title(std::move(title)) {}

PrintersPage::~PrintersPage() {
    Close();
    // The workers still running end before the rules they report to go.
    m_work.reset();
    m_logic.reset();
}

int PrintersPage::Pixels(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpi / 1440.0));
}

bool PrintersPage::Create(HINSTANCE instance, HWND form, POINT tabCorner, int dpi, HFONT font) {
    m_instance = instance;
    m_dpi = dpi;
    if (!tessaline::win32::RegisterDotsPreviewClass(instance)) {
        return false;
    }
    const RECT area{tabCorner.x + Pixels(kPageLeftTwips), tabCorner.y + Pixels(kPageTopTwips),
                    tabCorner.x + Pixels(kPageLeftTwips + kPageWidthTwips),
                    tabCorner.y + Pixels(kPageTopTwips + kPageHeightTwips)};
    m_page = tessaline::win32::CreateContainer(
        form, kPrintersPageId, tessaline::win32::ContainerStyle::Borderless, area, L"", instance);
    if (m_page == nullptr) {
        return false;
    }
    ::ShowWindow(m_page, SW_HIDE);
    m_toolTip =
        ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, m_page, nullptr, instance, nullptr);
    if (m_toolTip != nullptr) {
        ::SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, Pixels(5000));
    }
    for (const PageControlLayout& layout : kPrintersPageLayout) {
        HWND parent = layout.container ? Handle(*layout.container) : m_page;
        const RECT position{Pixels(layout.left), Pixels(layout.top),
                            Pixels(layout.left + layout.width), Pixels(layout.top + layout.height)};
        HWND control = CreateControl(layout, parent, position);
        if (control == nullptr) {
            return false;
        }
        m_controls[static_cast<size_t>(layout.control)] = control;
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    m_work = std::make_unique<tessaline::win32::Win32BackgroundWork>(instance);
    m_logic = std::make_unique<tessaline::PrintersPageLogic>(*this, m_services, m_system, *m_work,
                                                             m_title);
    return true;
}

HWND PrintersPage::CreateControl(const PageControlLayout& layout, HWND parent,
                                 const RECT& position) {
    using K = PageControlKind;
    const int id = PrintersPageControlId(layout.control);
    const auto make = [&](DWORD exStyle, const wchar_t* windowClass, DWORD style, int height) {
        return ::CreateWindowExW(
            exStyle, windowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP | style,
            position.left, position.top, position.right - position.left, height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    };
    const int height = position.bottom - position.top;
    switch (layout.kind) {
    case K::Frame:
        return tessaline::win32::CreateContainer(
            parent, id, tessaline::win32::ContainerStyle::Frame, position, L"", m_instance);
    case K::Label:
        return make(0, L"STATIC", SS_LEFT, height);
    case K::ValueLabel:
        return make(0, L"STATIC", SS_LEFT | SS_NOPREFIX, height);
    case K::Button:
        return make(0, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, height);
    case K::CheckBox:
        return make(0, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, height);
    case K::TextBox:
        return make(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, height);
    case K::ReadOnlyTextBox:
        return make(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, height);
    case K::PrinterBox:
        // The height a combo box is given is its open list's.
        return make(0, WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP,
                    Pixels(3000));
    case K::DropDownList:
        return make(0, WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, Pixels(3000));
    case K::Slider:
        return make(0, TRACKBAR_CLASSW, TBS_HORZ | TBS_BOTTOM | TBS_NOTICKS | WS_TABSTOP, height);
    case K::Bar:
        return make(0, PROGRESS_CLASSW, PBS_SMOOTH, height);
    case K::KeyList: {
        HWND list = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                         LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, height);
        if (list == nullptr) {
            return nullptr;
        }
        ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                       LVS_EX_FULLROWSELECT);
        const std::pair<const wchar_t*, int> columns[] = {{L"Key", 2000}, {L"Size", 2600}};
        int at = 0;
        for (const auto& [title, twips] : columns) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = Pixels(twips);
            column.pszText = const_cast<wchar_t*>(title);
            ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(at++),
                           reinterpret_cast<LPARAM>(&column));
        }
        return list;
    }
    case K::Preview:
        return tessaline::win32::CreateDotsPreview(parent, id, position, m_instance);
    }
    return nullptr;
}

void PrintersPage::FollowSize(int wider, int taller) {
    ::SetWindowPos(m_page, nullptr, 0, 0, Pixels(kPageWidthTwips) + wider,
                   Pixels(kPageHeightTwips) + taller, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const Anchor& anchor : kAnchors) {
        const auto layout =
            std::find_if(kPrintersPageLayout.begin(), kPrintersPageLayout.end(),
                         [&](const PageControlLayout& l) { return l.control == anchor.control; });
        if (layout == kPrintersPageLayout.end()) {
            continue;
        }
        RECT now{};
        ::GetWindowRect(Handle(anchor.control), &now);
        const int height =
            layout->height == 0 ? static_cast<int>(now.bottom - now.top) : Pixels(layout->height);
        ::SetWindowPos(Handle(anchor.control), nullptr,
                       Pixels(layout->left) + (anchor.moveX ? wider : 0),
                       Pixels(layout->top) + (anchor.moveY ? taller : 0),
                       Pixels(layout->width) + (anchor.growX ? wider : 0),
                       height + (anchor.growY ? taller : 0), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The tips follow the controls they are over.
    for (HWND control : m_controls) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = ::GetParent(control);
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        ::GetWindowRect(control, &tool.rect);
        ::MapWindowPoints(nullptr, tool.hwnd, reinterpret_cast<POINT*>(&tool.rect), 2);
        ::SendMessageW(m_toolTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    ::InvalidateRect(m_page, nullptr, TRUE);
}

void PrintersPage::Show(bool shown) {
    ::ShowWindow(m_page, shown ? SW_SHOW : SW_HIDE);
}

void PrintersPage::Close() {
    if (m_work) {
        m_work->Close();
    }
    if (Handle(PCtl::barWork) != nullptr) {
        ::KillTimer(Handle(PCtl::barWork), kBusyTimer);
    }
}

std::string PrintersPage::PrinterBoxText() const {
    return WindowTextOf(Handle(PCtl::cboPrinterAddress));
}

bool PrintersPage::OnEnter() {
    HWND focus = ::GetFocus();
    HWND box = Handle(PCtl::cboPrinterAddress);
    if (focus == nullptr || (focus != box && ::GetParent(focus) != box) ||
        !::IsWindowVisible(box)) {
        return false;
    }
    m_logic->PrinterChosen(PrinterBoxText());
    return true;
}

bool PrintersPage::OnCommand(HWND control, int id, int code) {
    if (control == nullptr || id < PrintersPageControlId(PCtl::fraPrinter) ||
        id > PrintersPageControlId(PCtl::barWork) ||
        Handle(static_cast<PCtl>(id - 2000)) != control) {
        return false;
    }
    if (m_showing) {
        return true;
    }
    tessaline::PrintersPageLogic& logic = *m_logic;
    const auto checked = [control] {
        return ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    };
    const auto chosen = [control] {
        return static_cast<int32_t>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
    };
    const auto clicked = code == BN_CLICKED;
    switch (static_cast<PCtl>(id - 2000)) {
    case PCtl::cboPrinterAddress:
        // An entry picked from the list; its text is not yet the box's.
        if (code == CBN_SELENDOK) {
            const LRESULT index = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
            const LRESULT length = index == CB_ERR ? CB_ERR
                                                   : ::SendMessageW(control, CB_GETLBTEXTLEN,
                                                                    static_cast<WPARAM>(index), 0);
            if (length != CB_ERR) {
                std::wstring text(static_cast<size_t>(length) + 1, L'\0');
                ::SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(text.data()));
                text.resize(static_cast<size_t>(length));
                logic.PrinterChosen(Narrow(text));
            }
        }
        break;
    case PCtl::cmdRefresh:
        if (clicked) {
            logic.cmdRefresh_Click();
        }
        break;
    case PCtl::cmdFindPrinters:
        if (clicked) {
            logic.cmdFindPrinters_Click();
        }
        break;
    case PCtl::cmdBrowse:
        if (clicked) {
            logic.cmdBrowse_Click();
        }
        break;
    case PCtl::txtKey:
        if (code == EN_CHANGE) {
            logic.txtKey_Change(WindowTextOf(control));
        }
        break;
    case PCtl::cboDither:
        if (code == CBN_SELCHANGE) {
            logic.cboDither_Click(chosen());
        }
        break;
    case PCtl::cboPaperWidth:
        if (code == CBN_SELCHANGE) {
            logic.cboPaperWidth_Click(chosen());
        }
        break;
    case PCtl::cboZoom:
        if (code == CBN_SELCHANGE) {
            tessaline::win32::SetPreviewZoom(
                Handle(PCtl::picPreview),
                static_cast<tessaline::win32::PreviewZoom>(std::clamp(chosen(), 0, 2)));
        }
        break;
    case PCtl::chkFit:
        if (clicked) {
            logic.chkFit_Click(checked());
        }
        break;
    case PCtl::chkAutoLogo:
        if (clicked) {
            logic.chkAutoLogo_Click(checked());
        }
        break;
    case PCtl::cmdStore:
        if (clicked) {
            logic.cmdStore_Click();
        }
        break;
    case PCtl::cmdPrintGraphic:
        if (clicked) {
            logic.cmdPrintGraphic_Click();
        }
        break;
    case PCtl::cmdDeleteGraphic:
        if (clicked) {
            logic.cmdDeleteGraphic_Click();
        }
        break;
    case PCtl::cmdDeleteAll:
        if (clicked) {
            logic.cmdDeleteAll_Click();
        }
        break;
    case PCtl::cmdTestReceipt:
        if (clicked) {
            logic.cmdTestReceipt_Click();
        }
        break;
    default:
        break;
    }
    return true;
}

bool PrintersPage::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != Handle(PCtl::lstKeys) || header.hwndFrom == nullptr) {
        return false;
    }
    if (header.code == LVN_ITEMCHANGED && !m_showing) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) != 0 &&
            ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) != 0) {
            const auto row = static_cast<int32_t>(::SendMessageW(
                header.hwndFrom, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            m_logic->lstKeys_Click(row);
        }
    }
    return true;
}

bool PrintersPage::OnScroll(HWND control) {
    const bool threshold = control == Handle(PCtl::sldThreshold);
    if (control == nullptr || (!threshold && control != Handle(PCtl::sldBrightness))) {
        return false;
    }
    if (!m_showing) {
        const auto value = static_cast<int32_t>(::SendMessageW(control, TBM_GETPOS, 0, 0));
        if (threshold) {
            m_logic->sldThreshold_Change(value);
        } else {
            m_logic->sldBrightness_Change(value);
        }
    }
    return true;
}

void PrintersPage::SetText(PCtl control, const std::string& text) {
    m_showing = true;
    if (control == PCtl::lstKeys) {
        // The column headings, a tab between them.
        std::wstring headings = Widen(text);
        int column = 0;
        for (size_t from = 0; from <= headings.size(); ++column) {
            const size_t tab = std::min(headings.find(L'\t', from), headings.size());
            std::wstring heading = headings.substr(from, tab - from);
            LVCOLUMNW item{};
            item.mask = LVCF_TEXT;
            item.pszText = heading.data();
            ::SendMessageW(Handle(control), LVM_SETCOLUMNW, static_cast<WPARAM>(column),
                           reinterpret_cast<LPARAM>(&item));
            from = tab + 1;
        }
    } else {
        ::SetWindowTextW(Handle(control), Widen(text).c_str());
    }
    m_showing = false;
}

void PrintersPage::SetEnabled(PCtl control, bool enabled) {
    HWND window = Handle(control);
    if ((::IsWindowEnabled(window) != 0) == enabled) {
        return;
    }
    // A control that goes off with the keyboard in it hands it to the page's
    // next one, so Tab and the mnemonics go on working.
    const bool hadFocus = !enabled && ::GetFocus() != nullptr &&
                          (::GetFocus() == window || ::IsChild(window, ::GetFocus()));
    ::EnableWindow(window, enabled ? TRUE : FALSE);
    if (hadFocus) {
        HWND next = ::GetNextDlgTabItem(::GetAncestor(m_page, GA_ROOT), window, FALSE);
        ::SetFocus(next != nullptr ? next : m_page);
    }
}

void PrintersPage::SetToolTip(PCtl control, const std::string& text) {
    if (m_toolTip == nullptr) {
        return;
    }
    HWND window = Handle(control);
    HWND parent = ::GetParent(window);
    std::wstring wide = Widen(text);
    // A tool of the control's container over the control's place: a disabled
    // control has no mouse of its own, and says why it is off all the same.
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    ::GetWindowRect(window, &tool.rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&tool.rect), 2);
    tool.lpszText = wide.data();
    TTTOOLINFOW known{};
    known.cbSize = sizeof(known);
    known.hwnd = parent;
    known.uId = tool.uId;
    if (::SendMessageW(m_toolTip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&known)) != 0) {
        ::SendMessageW(m_toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    } else {
        ::SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void PrintersPage::SetPrinterEntries(const std::vector<std::string>& entries) {
    HWND box = Handle(PCtl::cboPrinterAddress);
    m_showing = true;
    const std::wstring typed = Widen(PrinterBoxText());
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries) {
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    }
    ::SetWindowTextW(box, typed.c_str());
    m_showing = false;
}

void PrintersPage::SetChoices(PCtl control, const std::vector<std::string>& entries,
                              int32_t chosen) {
    HWND box = Handle(control);
    m_showing = true;
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& entry : entries) {
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    }
    ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    m_showing = false;
    if (control == PCtl::cboZoom) {
        tessaline::win32::SetPreviewZoom(
            Handle(PCtl::picPreview),
            static_cast<tessaline::win32::PreviewZoom>(std::clamp(chosen, 0, 2)));
    }
}

void PrintersPage::SetBar(PCtl control, int64_t value, int64_t maximum) {
    HWND bar = Handle(control);
    if (control == PCtl::barWork) {
        if (maximum == 0) {
            // Busy, without steps: the bar runs until the work ends.
            ::SendMessageW(bar, PBM_SETRANGE32, 0, kBusySteps);
            ::SetTimer(bar, kBusyTimer, 60, &BusyTick);
            return;
        }
        ::KillTimer(bar, kBusyTimer);
    }
    // The bar counts in int; memory sizes are shown in kilobytes when larger.
    const int64_t unit = maximum > 1'000'000'000 ? 1024 : 1;
    const int64_t top = std::max<int64_t>(maximum / unit, 1);
    ::SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(top));
    ::SendMessageW(bar, PBM_SETPOS,
                   static_cast<WPARAM>(std::clamp<int64_t>(value / unit, 0, maximum / unit)), 0);
}

void PrintersPage::SetSlider(PCtl control, int32_t minimum, int32_t maximum, int32_t value) {
    HWND slider = Handle(control);
    m_showing = true;
    ::SendMessageW(slider, TBM_SETRANGEMIN, FALSE, minimum);
    ::SendMessageW(slider, TBM_SETRANGEMAX, FALSE, maximum);
    ::SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
    ::SendMessageW(slider, TBM_SETPAGESIZE, 0, std::max(1, (maximum - minimum) / 10));
    ::SendMessageW(slider, TBM_SETPOS, TRUE, value);
    m_showing = false;
}

void PrintersPage::SetChecked(PCtl control, bool checked) {
    m_showing = true;
    ::SendMessageW(Handle(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    m_showing = false;
}

void PrintersPage::SetKeyRows(const std::vector<tessaline::KeyRow>& rows) {
    HWND list = Handle(PCtl::lstKeys);
    m_showing = true;
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const bool pictures = std::any_of(rows.begin(), rows.end(),
                                      [](const tessaline::KeyRow& row) { return row.thumbnail; });
    HIMAGELIST images = nullptr;
    if (pictures) {
        images = ImageList_Create(kThumbWidth, kThumbHeight, ILC_COLOR32,
                                  static_cast<int>(rows.size()) + 1, 1);
        // Row 0's picture: none, for the keys Tessaline did not store.
        const tessaline::win32::UniqueBitmap blank(Thumbnail({}));
        ImageList_Add(images, blank.get(), nullptr);
    }
    HIMAGELIST previous = reinterpret_cast<HIMAGELIST>(
        ::SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
    if (previous != nullptr) {
        ImageList_Destroy(previous);
    }
    int at = 0;
    for (const tessaline::KeyRow& row : rows) {
        std::wstring key = Widen(row.keyText);
        std::wstring size = Widen(row.sizeText);
        LVITEMW item{};
        item.mask = LVIF_TEXT | (pictures ? LVIF_IMAGE : 0);
        item.iItem = at;
        item.pszText = key.data();
        if (pictures) {
            item.iImage = 0;
            if (row.thumbnail) {
                const tessaline::win32::UniqueBitmap picture(Thumbnail(*row.thumbnail));
                item.iImage = std::max(0, ImageList_Add(images, picture.get(), nullptr));
            }
        }
        const auto index = static_cast<int>(
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (index >= 0) {
            LVITEMW sub{};
            sub.iSubItem = 1;
            sub.pszText = size.data();
            ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                           reinterpret_cast<LPARAM>(&sub));
        }
        ++at;
    }
    m_showing = false;
}

void PrintersPage::ShowPreview(const std::optional<tessaline::RasterGraphic>& dots,
                               int32_t paperDots) {
    tessaline::win32::ShowDots(Handle(PCtl::picPreview), dots, paperDots);
}
