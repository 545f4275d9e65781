// SPDX-License-Identifier: MIT
// PNG, JPEG and GIF files through the Windows Imaging Component, a part of
// the system: no decoder library ships with Tessaline. Pictures come out as
// the Linux decoders give them: samples as stored, 16-bit ones reduced to
// their high byte, GIF's first frame on its canvas with its transparent
// colour as paper.
#include "platform/pictures/PictureDecoders.h"
#include "platform/win32/ComOwners.h"

#include <algorithm>
#include <cstdio>
#include <wincodec.h>
#include <windows.h>

namespace tessaline {

namespace {

using win32::ComPtr;
using win32::ComScope;

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// An unsigned number the metadata holds at `query`, or `fallback`.
UINT MetadataNumber(IWICMetadataQueryReader* reader, const wchar_t* query, UINT fallback) {
    if (reader == nullptr) {
        return fallback;
    }
    PROPVARIANT value;
    PropVariantInit(&value);
    UINT result = fallback;
    if (SUCCEEDED(reader->GetMetadataByName(query, &value))) {
        if (value.vt == VT_UI2) {
            result = value.uiVal;
        } else if (value.vt == VT_UI1) {
            result = value.bVal;
        } else if (value.vt == VT_UI4) {
            result = value.ulVal;
        }
    }
    PropVariantClear(&value);
    return result;
}

// 16-bit RGB, RGBA or grey samples as the frame holds them, widened to
// 16-bit RGBA in `rgba`.
HRESULT ReadDeepSamples(IWICBitmapFrameDecode* frame, const WICPixelFormatGUID& native, UINT width,
                        UINT height, std::vector<BYTE>& rgba) {
    std::size_t channels = 0;
    if (IsEqualGUID(native, GUID_WICPixelFormat48bppRGB)) {
        channels = 3;
    } else if (IsEqualGUID(native, GUID_WICPixelFormat64bppRGBA)) {
        channels = 4;
    } else if (IsEqualGUID(native, GUID_WICPixelFormat16bppGray)) {
        channels = 1;
    } else {
        return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    }
    const std::size_t pixels = std::size_t{width} * height;
    std::vector<BYTE> stored(pixels * channels * 2);
    const HRESULT hr = frame->CopyPixels(nullptr, static_cast<UINT>(width * channels * 2),
                                         static_cast<UINT>(stored.size()), stored.data());
    if (FAILED(hr)) {
        return hr;
    }
    for (std::size_t i = 0; i < pixels; ++i) {
        const BYTE* in = stored.data() + i * channels * 2;
        BYTE* out = rgba.data() + i * 8;
        for (std::size_t c = 0; c < 4; ++c) {
            const std::size_t from = channels == 1 ? 0 : c;
            if (c == 3 && channels != 4) {
                out[6] = out[7] = 0xFF;
            } else {
                out[2 * c] = in[2 * from];
                out[2 * c + 1] = in[2 * from + 1];
            }
        }
    }
    return S_OK;
}

Result<PictureRows> Decode(std::span<const uint8_t> file, const GUID& container, const char* name) {
    using R = Result<PictureRows>;
    const std::string invalid = std::string("not a valid ") + name + " file: ";
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.put_void());
    if (FAILED(hr)) {
        return R::Fail(std::string("the Windows Imaging Component cannot be started (") + Hex(hr) +
                       ")");
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(hr = factory->CreateStream(stream.put())) ||
        FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                                 static_cast<DWORD>(file.size()))) ||
        FAILED(hr = factory->CreateDecoder(container, nullptr, decoder.put())) ||
        FAILED(hr = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnLoad)) ||
        FAILED(hr = decoder->GetFrame(0, frame.put()))) {
        return R::Fail(invalid + "the Windows Imaging Component refused it (" + Hex(hr) + ")");
    }
    UINT width = 0, height = 0;
    WICPixelFormatGUID native{};
    if (FAILED(hr = frame->GetSize(&width, &height)) ||
        FAILED(hr = frame->GetPixelFormat(&native))) {
        return R::Fail(invalid + Hex(hr));
    }
    UINT bits = 0;
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo> format;
    if (SUCCEEDED(factory->CreateComponentInfo(native, info.put())) &&
        SUCCEEDED(info->QueryInterface(IID_IWICPixelFormatInfo, format.put_void()))) {
        format->GetBitsPerPixel(&bits);
    }
    // A GIF frame lies at its place on the file's canvas.
    UINT left = 0, top = 0, canvasWidth = width, canvasHeight = height;
    if (IsEqualGUID(container, GUID_ContainerFormatGif)) {
        ComPtr<IWICMetadataQueryReader> whole;
        ComPtr<IWICMetadataQueryReader> own;
        decoder->GetMetadataQueryReader(whole.put());
        frame->GetMetadataQueryReader(own.put());
        left = MetadataNumber(own.get(), L"/imgdesc/Left", 0);
        top = MetadataNumber(own.get(), L"/imgdesc/Top", 0);
        canvasWidth = std::max(MetadataNumber(whole.get(), L"/logscrdesc/Width", 0), left + width);
        canvasHeight =
            std::max(MetadataNumber(whole.get(), L"/logscrdesc/Height", 0), top + height);
        bits = 8;
    }
    if (const std::string why = PictureSizeFailure(canvasWidth, canvasHeight); !why.empty()) {
        return R::Fail(why);
    }
    // Deep files are read at sixteen bits a sample, so that they keep exactly
    // their high byte; the others at eight.
    const bool deep = bits > 32 || IsEqualGUID(native, GUID_WICPixelFormat16bppGray);
    const std::size_t sampleBytes = deep ? 2 : 1;
    std::vector<BYTE> samples(std::size_t{width} * height * 4 * sampleBytes);
    const auto stride = static_cast<UINT>(width * 4 * sampleBytes);
    ComPtr<IWICFormatConverter> converter;
    hr = factory->CreateFormatConverter(converter.put());
    if (SUCCEEDED(hr)) {
        hr = converter->Initialize(
            frame.get(), deep ? GUID_WICPixelFormat64bppRGBA : GUID_WICPixelFormat32bppRGBA,
            WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
    }
    if (SUCCEEDED(hr)) {
        hr = converter->CopyPixels(nullptr, stride, static_cast<UINT>(samples.size()),
                                   samples.data());
    } else if (deep) {
        // Some implementations convert no deep format: those that matter
        // for logos are read as they are and widened here.
        hr = ReadDeepSamples(frame.get(), native, width, height, samples);
    }
    if (FAILED(hr)) {
        return R::Fail(invalid + "its pixels cannot be read (" + Hex(hr) + ")");
    }
    PictureRows picture;
    picture.width = static_cast<int32_t>(canvasWidth);
    picture.height = static_cast<int32_t>(canvasHeight);
    picture.fileBitsPixel = static_cast<uint16_t>(bits);
    picture.rgba.assign(std::size_t{canvasWidth} * canvasHeight * 4, 0);
    for (UINT y = 0; y < height; ++y) {
        const BYTE* in = samples.data() + std::size_t{y} * width * 4 * sampleBytes;
        uint8_t* out = picture.rgba.data() + ((std::size_t{top} + y) * canvasWidth + left) * 4;
        for (std::size_t i = 0; i < std::size_t{width} * 4; ++i) {
            // Little-endian 16-bit samples: the high byte is the second.
            out[i] = deep ? in[2 * i + 1] : in[i];
        }
    }
    return picture;
}

Result<PictureRows> DecodePng(std::span<const uint8_t> file) {
    return Decode(file, GUID_ContainerFormatPng, "PNG");
}

Result<PictureRows> DecodeJpeg(std::span<const uint8_t> file) {
    return Decode(file, GUID_ContainerFormatJpeg, "JPEG");
}

Result<PictureRows> DecodeGif(std::span<const uint8_t> file) {
    return Decode(file, GUID_ContainerFormatGif, "GIF");
}

} // namespace

PictureDecoders SystemPictureDecoders() {
    return {DecodePng, DecodeJpeg, DecodeGif};
}

void UseSystemPictureDecoders() {
    UsePictureDecoders(SystemPictureDecoders());
}

} // namespace tessaline
