// SPDX-License-Identifier: MIT
// The main window's controls, made from the form's layout in twips.
#include "ContainerWindow.h"
#include "ImageControl.h"
#include "app/win32/MainWindowLayout.h"
#include "frmCorvido.h"
#include "platform/win32/WideText.h"

#include <cmath>
#include <commctrl.h>

using tessaline::Ctl;
using tessaline::win32::ContainerStyle;
using tessaline::win32::SelectedObject;
using tessaline::win32::UniqueBitmap;
using tessaline::win32::UniqueBrush;
using tessaline::win32::UniqueFont;
using tessaline::win32::UniqueMemoryDc;
using tessaline::win32::UniqueWindowDc;
using tessaline::win32::Widen;

namespace {

constexpr int kKoreanCodePage = 949;

const ControlLayout& LayoutOf(Ctl control) {
    for (const ControlLayout& layout : kMainWindowLayout) {
        if (layout.control == control) {
            return layout;
        }
    }
    return kMainWindowLayout.front();
}

// The form's font: Arial at `tenthsOfPoints`. With the Korean code page the
// Hangul character set is asked for as well, so that the font mapper takes
// a face that has the Korean texts' characters where Arial has none.
UniqueFont FormFont(int tenthsOfPoints, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(tenthsOfPoints * dpi / 720.0));
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ::GetACP() == kKoreanCodePage ? HANGEUL_CHARSET : DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
    return UniqueFont(::CreateFontIndirectW(&font));
}

// A 152 x 46 picture: the program's mark and its name, on the frame's colour.
UniqueBitmap AboutPicture() {
    constexpr int kWidth = 152;
    constexpr int kHeight = 46;
    const UniqueWindowDc screen(nullptr);
    const UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    UniqueBitmap picture(::CreateCompatibleBitmap(screen.get(), kWidth, kHeight));
    const SelectedObject drawingOn(dc.get(), picture.get());
    RECT all{0, 0, kWidth, kHeight};
    ::FillRect(dc.get(), &all, ::GetSysColorBrush(COLOR_BTNFACE));
    const COLORREF blue = RGB(30, 60, 120);
    RECT mark{0, 0, 40, 40};
    ::FillRect(dc.get(), &mark, UniqueBrush(::CreateSolidBrush(blue)).get());
    ::SetBkMode(dc.get(), TRANSPARENT);
    LOGFONTW face{};
    face.lfWeight = FW_BOLD;
    face.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynW(face.lfFaceName, L"Arial", LF_FACESIZE);
    face.lfHeight = -26;
    const UniqueFont large(::CreateFontIndirectW(&face));
    face.lfHeight = -16;
    const UniqueFont name(::CreateFontIndirectW(&face));
    {
        const SelectedObject font(dc.get(), large.get());
        ::SetTextColor(dc.get(), RGB(255, 255, 255));
        ::DrawTextW(dc.get(), L"T", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    {
        const SelectedObject font(dc.get(), name.get());
        ::SetTextColor(dc.get(), blue);
        RECT text{48, 0, kWidth, 40};
        ::DrawTextW(dc.get(), L"Tessaline", -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    }
    // Selected out of the drawing context before the image control takes it.
    return picture;
}

} // namespace

void frmCorvido::CreateFonts() {
    m_font = FormFont(90, m_dpi);
    m_smallFont = FormFont(83, m_dpi);
}

bool frmCorvido::CreateControls() {
    const ControlLayout& tab = LayoutOf(Ctl::SSTab);
    for (const ControlLayout& layout : kMainWindowLayout) {
        HWND parent = m_window;
        int offsetX = 0;
        int offsetY = 0;
        if (layout.container == Ctl::SSTab) {
            // The tab's controls sit on the form, placed from the tab control's corner.
            offsetX = tab.left;
            offsetY = tab.top;
        } else if (layout.container != Ctl::Form) {
            parent = Handle(layout.container);
        }
        const RECT position{Pixels(offsetX + layout.left), Pixels(offsetY + layout.top),
                            Pixels(offsetX + layout.left + layout.width),
                            Pixels(offsetY + layout.top + layout.height)};
        HWND control = CreateControl(layout, parent, position);
        if (control == nullptr) {
            return false;
        }
        m_controls[static_cast<size_t>(layout.control)] = control;
        const bool small =
            layout.control == Ctl::lblCopyright_0 || layout.control == Ctl::lblCopyright_1;
        ::SendMessageW(control, WM_SETFONT,
                       reinterpret_cast<WPARAM>(small ? m_smallFont.get() : m_font.get()), FALSE);
    }
    // Under every other control, which it would otherwise paint over.
    ::SetWindowPos(Handle(Ctl::SSTab), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

HWND frmCorvido::CreateControl(const ControlLayout& layout, HWND parent, const RECT& position) {
    using tessaline::win32::CreateContainer;
    const int id = MainWindowControlId(layout.control);
    const std::wstring text = Widen(layout.text);
    const auto make = [&](DWORD exStyle, const wchar_t* windowClass, DWORD style, int height) {
        // Each control but an option that follows another starts a group of its own.
        const bool grouped = layout.kind != ControlKind::Option || layout.startsGroup;
        return ::CreateWindowExW(
            exStyle, windowClass, text.c_str(),
            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (grouped ? WS_GROUP : 0) | style,
            position.left, position.top, position.right - position.left, height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    };
    const int height = position.bottom - position.top;
    switch (layout.kind) {
    case ControlKind::Tab: {
        HWND tab = make(0, WC_TABCONTROLW, WS_TABSTOP, height);
        if (tab != nullptr) {
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<wchar_t*>(text.c_str());
            ::SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        return tab;
    }
    case ControlKind::Button:
        return make(0, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, height);
    case ControlKind::Label:
        return make(0, L"STATIC", SS_LEFT, height);
    case ControlKind::Frame:
        return CreateContainer(parent, id, ContainerStyle::Frame, position, text.c_str(),
                               m_instance);
    case ControlKind::BorderlessFrame:
    case ControlKind::ControlSite:
        return CreateContainer(parent, id, ContainerStyle::Borderless, position, L"", m_instance);
    case ControlKind::PictureBox:
        return CreateContainer(parent, id, ContainerStyle::PictureBox, position, L"", m_instance);
    case ControlKind::Image:
        return tessaline::win32::CreateImageControl(parent, id, position, m_instance);
    case ControlKind::ListView: {
        HWND list = make(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                         LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, height);
        if (list != nullptr) {
            ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                           LVS_EX_FULLROWSELECT);
        }
        return list;
    }
    case ControlKind::Option:
        return make(0, L"BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP, height);
    case ControlKind::TextBox:
        return make(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, height);
    case ControlKind::Slider: {
        HWND slider =
            make(0, TRACKBAR_CLASSW, TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | WS_TABSTOP, height);
        if (slider != nullptr) {
            ::SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 10));
            ::SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
            ::SendMessageW(slider, TBM_SETPAGESIZE, 0, 1);
            ::SendMessageW(slider, TBM_SETPOS, TRUE, 5);
            m_sliderProc = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(slider, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SliderProc)));
        }
        return slider;
    }
    case ControlKind::DropDownList:
        // The height a drop-down list is given is its open list's.
        return make(0, WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, Pixels(3000));
    }
    return nullptr;
}

void frmCorvido::PaintAboutPicture() {
    tessaline::win32::SetImageBitmap(Handle(Ctl::Image1), AboutPicture().release());
    // The labels lie above the picture, whose frame reaches into theirs.
    for (Ctl label : {Ctl::lblCopyright_1, Ctl::lblCopyright_0}) {
        ::SetWindowPos(Handle(label), HWND_TOP, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}
