// SPDX-License-Identifier: MIT
#pragma once

#include "UploadImages.h"
#include "printer/CPrinterChannel.h"
#include "printer/StreamResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {

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
// Sends ESC @, pauses 100 ms while the images convert, then FS q n with
// every image's header and raster, raising Progress(k) after image k. Empty
// (nothing sent) when there is no image; Refused, with the reason in
// `refusal`, when there are more than kMaxNvImages (nothing sent) or a file
// fails to load or convert (the stream stops before its header); WriteFailed
// at the first refused byte.
// `star` sends Star Line Mode's ESC FS q n in place of FS q n: the same
// headers and rasters, registered as logos 1..n.
// `widths`, where given, gets the width in dots of each image sent.
StreamResult WriteUploadStream(CPrinterChannel& channel, UploadImages& images,
                               const ProgressFn& progress, const SleepFn& sleep,
                               std::string* refusal = nullptr, bool star = false,
                               std::vector<int32_t>* widths = nullptr);

} // namespace tessaline
