#pragma once

#include "CPrinterChannel.h"
#include "StreamResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

class CLogoImage;

// FS q carries the image count in one byte.
inline constexpr size_t kMaxNvImages = 255;

// The paths of an NVImage list: every path is ended by "|", and text after
// the last bar is a path as well when it is not empty. Paths are kept byte
// for byte.
std::vector<std::string> SplitNVImage(const std::string& NVImage);
// The size header of one image: padded width / 8 and padded height / 8, each
// a 16-bit count sent low byte first; nothing when the sizes cannot be sent.
std::optional<std::array<uint8_t, 4>> NvImageHeader(int32_t paddedWidth, int32_t paddedHeight);
// Why the list cannot be sent whole ("<path>: <reason>" for a file that does
// not load or fit the NV definition command); empty when it holds 1 to
// kMaxNvImages paths that all can be sent.
std::string UploadListRefusal(const std::vector<std::string>& paths);
// Sends ESC @, pauses 100 ms, then FS q n with every image's header and
// raster, raising Progress(k) after image k. Empty (nothing sent) when the
// list holds no path; Refused, with the reason in `refusal`, when it holds
// more than kMaxNvImages paths (nothing sent) or a file fails to load or
// convert (the stream stops before its header); WriteFailed at the first
// refused byte.
StreamResult WriteUploadStream(CPrinterChannel& channel, const std::string& NVImage,
                               int32_t ImageMode, int32_t Brightness, const ProgressFn& progress,
                               const SleepFn& sleep, std::string* refusal = nullptr);

} // namespace tessaline
