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

// The paths of an NVImage list: every path is ended by "|"; text after the
// last bar is not part of the list. Paths are kept byte for byte.
std::vector<std::string> SplitNVImage(const std::string& NVImage);
// The size header of one image: padded width / 8 and padded height / 8, each
// a 16-bit count sent low byte first; nothing when the sizes cannot be sent.
std::optional<std::array<uint8_t, 4>> NvImageHeader(int32_t paddedWidth, int32_t paddedHeight);
// True when the list can be sent whole: at most kMaxNvImages paths, each a
// bitmap that loads and fits the NV definition command.
bool UploadListSendable(const std::vector<std::string>& paths);
// Sends ESC @, pauses 100 ms, then FS q n with every image's header and
// raster, raising Progress(k) after image k. Empty (nothing sent) when the
// list holds no path; Refused when it holds more than kMaxNvImages paths
// (nothing sent) or a file fails to load or convert (the stream stops before
// its header); WriteFailed at the first refused byte.
StreamResult WriteUploadStream(CPrinterChannel& channel, const std::string& NVImage,
                               int32_t ImageMode, int32_t Brightness, const ProgressFn& progress,
                               const SleepFn& sleep);

} // namespace tessaline
