// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/CLogoImage.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessaline {

// FS q carries the image count in one byte.
inline constexpr size_t kMaxNvImages = 255;

// How much of an upload may wait in memory at once: the decoded pictures
// kept from the check until their conversion (a picture that no longer fits
// is read again when its turn comes; a plain BMP, whose check needs no rows,
// always is), and the converted rasters waiting to be sent (always at least
// the next one). Each worker also holds the planes of the picture it is
// converting.
struct UploadMemoryBound {
    size_t decodedBytes = size_t{96} * 1024 * 1024;
    size_t rasterBytes = size_t{32} * 1024 * 1024;
};

// The most threads an upload reads and converts on, beside the calling one:
// enough to keep every core busy, never one thread per file.
inline constexpr size_t kMaxUploadWorkers = 8;

// One image as the upload stream sends it: its size header and its raster.
struct NvImageBytes {
    std::array<uint8_t, 4> header{};
    std::vector<uint8_t> raster;
};

// The logos of one upload. Check reads and checks every file, on several
// threads, before anything is sent; StartConverting then converts them on
// worker threads, during the stream's pause and while it is written, and Take
// hands them over in list order. A plain BMP is checked without laying out
// its rows and read again to convert it, into memory the last one freed:
// keeping 255 large pictures from the check cost more in new memory than
// reading them twice. The bytes are those a conversion of each file in turn
// gives; only the last file writes "TempTe.bmp".
class UploadImages {
public:
    // `writePicture` writes the last file's "TempTe.bmp"; empty: nothing does.
    // `workerLimit` 0 does everything on the calling thread, as when no
    // thread can be started.
    UploadImages(std::vector<std::string> paths, int32_t imageMode, int32_t brightness,
                 PictureWriter writePicture, UploadMemoryBound bound = {},
                 size_t workerLimit = kMaxUploadWorkers);
    // The files' bytes are given, in memory (`names` name them in messages):
    // nothing is read from disk.
    UploadImages(std::vector<std::string> names, std::vector<std::vector<uint8_t>> files,
                 int32_t imageMode, int32_t brightness, PictureWriter writePicture,
                 UploadMemoryBound bound = {}, size_t workerLimit = kMaxUploadWorkers);
    // Stops the workers and waits for them.
    ~UploadImages();
    UploadImages(const UploadImages&) = delete;
    UploadImages& operator=(const UploadImages&) = delete;

    size_t Count() const { return m_paths.size(); }
    // Why the list cannot be sent whole: no path, more than kMaxNvImages, an
    // empty path, or "<path>: <reason>" for the first file in list order that
    // does not load or fit the NV definition command. Empty when all can.
    std::string Check();
    // Starts converting on worker threads; files not read by Check are read now.
    void StartConverting();
    // Image k (0-based) once it is converted, in turn from 0; nothing when its
    // file failed since the check, with "<path>: <reason>" in `refusal`.
    // Converts on the calling thread when no worker could be started.
    std::optional<NvImageBytes> Take(size_t k, std::string& refusal);

private:
    struct Slot {
        std::optional<DecodedBitmap> decoded; // kept from the check
        size_t keptBytes = 0;
        LogoFlags flags;
        bool done = false; // converted, or failed
        std::string failure;
        std::optional<NvImageBytes> bytes;
    };

    size_t WorkerCount() const;
    void CheckWorker();
    void ConvertWorker();
    // Converts the next file in line into its slot; false when none is left
    // or the images are being torn down. Waits for room first when `wait`.
    bool ConvertNext(std::unique_ptr<CLogoImage>& image, bool wait);
    // Reads, decodes and checks file k; the reason when it cannot be sent.
    // `checking`: a plain BMP is only checked (decoding it then cannot fail),
    // `decoded` left empty.
    std::string ReadOne(size_t k, std::optional<DecodedBitmap>& decoded, LogoFlags& flags,
                        bool checking = false) const;
    // Converts file k with `image`: its header and raster, or the reason.
    std::string ConvertOne(size_t k, CLogoImage& image, NvImageBytes& out);

    std::vector<std::string> m_paths;
    std::vector<std::vector<uint8_t>> m_files; // empty: read from m_paths
    int32_t m_imageMode;
    int32_t m_brightness;
    PictureWriter m_writePicture;
    UploadMemoryBound m_bound;
    size_t m_workerLimit;

    std::vector<Slot> m_slots;
    std::atomic<size_t> m_nextToRead{0};
    std::atomic<size_t> m_firstFailure{SIZE_MAX};
    std::atomic<size_t> m_keptBytes{0};

    std::mutex m_mutex; // guards what follows and the slots' conversion state
    std::condition_variable m_changed;
    size_t m_nextToConvert = 0;
    size_t m_nextToTake = 0;
    size_t m_waitingBytes = 0; // converted rasters not yet taken
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

} // namespace tessaline
