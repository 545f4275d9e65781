// SPDX-License-Identifier: MIT
#include "ImageControl.h"

#include "imaging/LogoFormats.h"
#include "platform/pictures/PictureDecoders.h"
#include "platform/win32/HandleOwners.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

namespace tessaline::win32 {

namespace {

constexpr wchar_t kImageClass[] = L"TessalineImage";
constexpr int kBitmapSlot = 0;
// No logo file is larger; the decoders refuse larger pictures anyway.
constexpr std::uintmax_t kMaxPictureFileBytes = std::uintmax_t{96} * 1024 * 1024;

HBITMAP Bitmap(HWND image) {
    return reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(image, kBitmapSlot));
}

void Paint(HWND image, HDC dc) {
    HBITMAP bitmap = Bitmap(image);
    if (bitmap == nullptr) {
        return;
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    RECT client{};
    ::GetClientRect(image, &client);
    const UniqueMemoryDc source(::CreateCompatibleDC(dc));
    const SelectedObject shown(source.get(), bitmap);
    // Dots stay dots: a one-bit preview shows as the printer prints it.
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, 0, 0, client.right, client.bottom, source.get(), 0, 0, info.bmWidth,
                 info.bmHeight, SRCCOPY);
}

LRESULT CALLBACK ImageProc(HWND image, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(image, &paint);
        Paint(image, dc);
        ::EndPaint(image, &paint);
        return 0;
    }
    case WM_SIZE:
        ::InvalidateRect(image, nullptr, TRUE);
        return 0;
    case WM_NCDESTROY:
        SetImageBitmap(image, nullptr);
        break;
    default:
        break;
    }
    return ::DefWindowProcW(image, message, wParam, lParam);
}

// The whole file when its first bytes announce a PNG, JPEG or GIF file;
// nothing for other files, those that cannot be read and those too large for
// a logo. BMP files are only looked at, never read twice.
std::optional<std::vector<uint8_t>> PictureFileBytes(const std::wstring& path) {
    const std::filesystem::path file(path);
    std::ifstream in(file, std::ios::binary);
    uint8_t head[8] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const LogoFormat format = LogoFormatOf(std::span<const uint8_t>(
        head, static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0))));
    if (format != LogoFormat::Png && format != LogoFormat::Jpeg && format != LogoFormat::Gif) {
        return std::nullopt;
    }
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxPictureFileBytes) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    in.clear();
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in || static_cast<std::uintmax_t>(in.gcount()) != size) {
        return std::nullopt;
    }
    return bytes;
}

// A PNG, JPEG or GIF file as the control reads it, through the system's
// decoders and laid over white paper where it is transparent, as a 24-bit
// DIB section; none when it is none of these or cannot be read.
UniqueBitmap DecodedPicture(const std::wstring& path) {
    const std::optional<std::vector<uint8_t>> bytes = PictureFileBytes(path);
    if (!bytes) {
        return {};
    }
    const Result<DecodedBitmap> decoded = DecodeLogo(*bytes);
    if (!decoded) {
        return {};
    }
    // Bottom-up rows of the BMP stride: the layout of a DIB as they stand.
    const BitmapDescription& rows = decoded.Value().description;
    const std::vector<uint8_t>& pixels = decoded.Value().pixels;
    if (rows.bmBitsPixel != 24 || pixels.size() != static_cast<std::size_t>(rows.bmWidthBytes) *
                                                       static_cast<std::size_t>(rows.bmHeight)) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = rows.bmWidth;
    info.bmiHeader.biHeight = rows.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        return {};
    }
    std::memcpy(bits, pixels.data(), pixels.size());
    return bitmap;
}

} // namespace

bool RegisterImageClass(HINSTANCE instance) {
    // Pictures other than BMP files are read as the control reads them.
    UseSystemPictureDecoders();
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, kImageClass, &windowClass) != 0) {
        return true;
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ImageProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kImageClass;
    return ::RegisterClassExW(&windowClass) != 0;
}

HWND CreateImageControl(HWND parent, int id, const RECT& position, HINSTANCE instance) {
    return ::CreateWindowExW(0, kImageClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                             position.left, position.top, position.right - position.left,
                             position.bottom - position.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

bool LoadImageFile(HWND image, const std::wstring& path) {
    UniqueBitmap loaded;
    if (!path.empty()) {
        // Told by the file's first bytes, as the control tells them.
        loaded = DecodedPicture(path);
        if (!loaded) {
            loaded = UniqueBitmap(static_cast<HBITMAP>(::LoadImageW(
                nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
        }
    }
    const bool shown = static_cast<bool>(loaded);
    SetImageBitmap(image, loaded.release());
    return shown;
}

void SetImageBitmap(HWND image, HBITMAP bitmap) {
    HBITMAP old = Bitmap(image);
    ::SetWindowLongPtrW(image, kBitmapSlot, reinterpret_cast<LONG_PTR>(bitmap));
    // The picture shown before goes, unless it is shown again.
    const UniqueBitmap replaced(old != bitmap ? old : nullptr);
    ::InvalidateRect(image, nullptr, TRUE);
}

} // namespace tessaline::win32
