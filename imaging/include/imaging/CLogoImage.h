// SPDX-License-Identifier: MIT
// CLogoImage: one loaded logo bitmap, its grey and mono planes and its NV raster.
#pragma once

#include "imaging/BmpReader.h"
#include "imaging/LogoFormats.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// The largest padded size the NV definition command (FS q) can carry:
// x and y of its header count 8-dot units, x up to 1023 and y up to 288.
inline constexpr int32_t kMaxNvPaddedWidth = 1023 * 8;
inline constexpr int32_t kMaxNvPaddedHeight = 288 * 8;

// Replaces the file at `path` with a preview picture's bytes, whole or not at
// all. Imaging builds the pictures; its host hands it the platform's atomic
// replace to write them with.
using PictureWriter =
    std::function<Result<void>(const std::string& path, std::span<const uint8_t> bytes)>;

// One loaded logo bitmap together with the planes and the NV raster of its
// conversion. Reused for several files in turn during an upload.
class CLogoImage {
public:
    CLogoImage();
    virtual ~CLogoImage();
    CLogoImage(const CLogoImage&) = delete;
    CLogoImage& operator=(const CLogoImage&) = delete;

    // 1 if the file's header marks a bitmap of more than one bit per pixel.
    int NeedsGreyConversion(const std::string& path);
    // 1 if the file was loaded, 0 if not (the object is then empty).
    int LoadBitmapFile(const std::string& path);
    // Why the last LoadBitmapFile refused its file; empty after a load.
    const std::string& LoadFailure() const { return m_loadFailure; }
    // Holds a bitmap decoded elsewhere, as LoadBitmapFile holds the one it
    // reads; returns 1.
    int AdoptBitmap(DecodedBitmap bitmap);
    // 1 if palette entry 0 (where the palette really starts) is white.
    int IsFirstEntryWhite(const std::string& path);

    // Image mode 0 is "None", anything else "Error Diffusion". Brightness 5 is neutral.
    void ConvertLogo(int greyFlag, int whiteFlag, int32_t imageMode, int32_t brightness);
    void ThresholdConvert(int whiteFlag, int32_t brightness);
    void ErrorDiffusionConvert(int whiteFlag, int32_t brightness);
    void DirectConvert(int whiteFlag);

    // How the preview pictures are written; without one, none can be.
    void SetPictureWriter(PictureWriter write) { m_writePicture = std::move(write); }
    // 255 when no bitmap is held, 0 when the file cannot be written, 1 after writing.
    int WritePreviewBitmap();
    int WriteThresholdBitmap();
    // Why the last preview or threshold picture could not be written.
    const std::string& WriteFailure() const { return m_writeFailure; }
    // True when the conversion since the last load wrote "TempTe.bmp".
    bool ThresholdBitmapWritten() const { return m_thresholdWritten; }
    // Whether "Error Diffusion" writes "TempTe.bmp" (it does unless told
    // not to: an upload converting in parallel leaves it to its last file).
    void SetWritesThresholdBitmap(bool writes) { m_writesThreshold = writes; }

    bool HasBitmap() const { return m_bitmap.has_value(); }
    const BitmapDescription& Description() const { return m_description; }
    int32_t PaddedWidth() const { return m_paddedWidth; }
    int32_t PaddedHeight() const { return m_paddedHeight; }
    int32_t RasterLength() const { return m_rasterLength; }
    std::span<const uint8_t> Raster() const;
    // True when a bitmap is held and its padded size fits the NV definition command.
    bool FitsNvImage() const;
    // Why the held bitmap does not fit; empty when it does or none is held.
    std::string NvFitFailure() const;

    // The planes of the last conversion, PaddedWidth() bytes a row, stored row 0
    // at the bottom: grey 0 black to 255 white, mono 0 black or 255 white.
    std::span<const uint8_t> GreyPlane() const { return m_grey; }
    std::span<const uint8_t> MonoPlane() const { return m_mono; }

private:
    enum class PlaneSource { Mono, GreyBelow128 };
    void PrepareConversion();
    void GreyPass(bool withOffset, int32_t brightness);
    void PackRaster(bool direct, int whiteFlag);
    int WritePlaneBitmap(const char* name, PlaneSource source);

    std::vector<uint8_t> m_raster;
    std::vector<uint8_t> m_grey;
    std::vector<uint8_t> m_mono;
    std::optional<DecodedBitmap> m_bitmap;
    BitmapDescription m_description;
    std::string m_loadFailure;
    std::string m_writeFailure;
    PictureWriter m_writePicture;
    bool m_thresholdWritten = false;
    bool m_writesThreshold = true;
    bool m_planesReady = false; // the planes hold the loaded bitmap's conversion
    int32_t m_rasterLength = 0;
    int32_t m_paddedHeight = 0;
    int32_t m_paddedWidth = 0;
};

// Why a bitmap of this description does not fit the NV definition command
// (padded width up to kMaxNvPaddedWidth, height up to kMaxNvPaddedHeight);
// empty when it fits.
std::string NvFitFailure(const BitmapDescription& description);

// Brightness offset of "Error Diffusion": trunc((5 - brightness) * 5 * 1.27), 0 at 5.
int64_t BrightnessOffset(int32_t brightness);
// Brightness as Preview and Upload apply it: 0 to 10, a value outside counting
// as the nearest end, so that 99 does not turn a logo solid black.
int32_t ClampBrightness(int32_t brightness);

// A bitmap file's header figures, as BitmapInfo reports them.
struct BitmapFigures {
    int32_t bitsPixel = 0;
    int32_t height = 0;
    int32_t width = 0;
};
// The code of a file BitmapInfo cannot load.
inline constexpr int32_t kBitmapInfoFailed = -1;
// The file's bits per pixel, height and width; when the file cannot be
// loaded, a failure of code kBitmapInfoFailed saying "<file>: <reason>".
Result<BitmapFigures> BitmapInfo(const std::string& nvImage);

// What Preview made: the path it returns, and whether a picture there shows the file.
struct PreviewOutcome {
    std::string path;
    Result<void> shown;
};
// Converts one file as an upload would and writes the one-bit preview into the
// current directory with `write`; the path is the preview's, or the file's
// own for files that take no grey conversion. When no picture shows the file
// (it does not load or fit, or the preview cannot be written) `shown` fails
// with "<file>: <reason>" or the write's reason, the path is returned all the
// same, and no older preview is left under it. Brightness outside 0 to 10
// counts as the nearest end.
PreviewOutcome Preview(const std::string& previewName, int16_t imageMode, int16_t brightness,
                       const PictureWriter& write);

// The read sequence of every image-producing call: grey flag, load, white flag.
struct LogoFlags {
    int greyFlag = 0;
    int whiteFlag = 0;
};
LogoFlags ReadLogo(CLogoImage& image, const std::string& path);
// The flags the read sequence's probes give for a file holding these bytes.
LogoFlags LogoFlagsOf(std::span<const uint8_t> file);

} // namespace tessaline
