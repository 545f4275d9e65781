// SPDX-License-Identifier: MIT
#include "UploadImages.h"

#include "UploadStream.h"
#include "imaging/BmpReader.h"
#include "imaging/LogoFormats.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace tessaline {

namespace {

size_t HeldBytes(const DecodedBitmap& bitmap) {
    return bitmap.pixels.size() + bitmap.skipped.size() +
           bitmap.palette.size() * sizeof(PaletteEntry);
}

void LowerTo(std::atomic<size_t>& value, size_t candidate) {
    size_t current = value.load();
    while (candidate < current && !value.compare_exchange_weak(current, candidate)) {
    }
}

} // namespace

UploadImages::UploadImages(std::vector<std::string> paths, int32_t imageMode, int32_t brightness,
                           PictureWriter writePicture, UploadMemoryBound bound, size_t workerLimit)
    : m_paths(std::move(paths)), m_imageMode(imageMode), m_brightness(brightness),
      m_writePicture(std::move(writePicture)), m_bound(bound),
      m_workerLimit(std::min(workerLimit, kMaxUploadWorkers)), m_slots(m_paths.size()) {}

UploadImages::UploadImages(std::vector<std::string> names, std::vector<std::vector<uint8_t>> files,
                           int32_t imageMode, int32_t brightness, PictureWriter writePicture,
                           UploadMemoryBound bound, size_t workerLimit)
    : UploadImages(std::move(names), imageMode, brightness, std::move(writePicture), bound,
                   workerLimit) {
    m_files = std::move(files);
    m_files.resize(m_paths.size());
}

UploadImages::~UploadImages() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

size_t UploadImages::WorkerCount() const {
    const size_t cores = std::max<size_t>(1, std::thread::hardware_concurrency());
    return std::min({cores, m_workerLimit, m_paths.size()});
}

std::string UploadImages::Check() {
    if (m_paths.empty()) {
        return "the list names no logo file";
    }
    if (m_paths.size() > kMaxNvImages) {
        return "the list names " + std::to_string(m_paths.size()) +
               " logo files; the printer stores at most " + std::to_string(kMaxNvImages);
    }
    {
        std::vector<std::jthread> readers;
        try {
            for (size_t i = 1; i < WorkerCount(); ++i) {
                readers.emplace_back([this] { CheckWorker(); });
            }
        } catch (const std::system_error&) {
            // Fewer threads: the calling thread reads what is left.
        }
        CheckWorker();
    }
    const size_t failed = m_firstFailure.load();
    return failed < m_slots.size() ? m_slots[failed].failure : std::string();
}

void UploadImages::CheckWorker() {
    for (size_t k = m_nextToRead++; k < m_slots.size(); k = m_nextToRead++) {
        // A later file cannot change the answer once an earlier one failed.
        if (k > m_firstFailure.load()) {
            continue;
        }
        Slot& slot = m_slots[k];
        std::optional<DecodedBitmap> decoded;
        slot.failure = ReadOne(k, decoded, slot.flags, true);
        if (!slot.failure.empty()) {
            LowerTo(m_firstFailure, k);
            continue;
        }
        if (!decoded) {
            continue; // a plain BMP: read again at conversion
        }
        // Kept while the bound allows; otherwise read again at conversion.
        const size_t bytes = HeldBytes(*decoded);
        if (m_keptBytes.fetch_add(bytes) + bytes <= m_bound.decodedBytes) {
            slot.decoded = std::move(decoded);
            slot.keptBytes = bytes;
        } else {
            m_keptBytes -= bytes;
        }
    }
}

std::string UploadImages::ReadOne(size_t k, std::optional<DecodedBitmap>& decoded, LogoFlags& flags,
                                  bool checking) const {
    const std::string& path = m_paths[k];
    if (path.empty()) {
        return "the list holds an empty path";
    }
    try {
        auto bytes =
            m_files.empty() ? ReadFileBytes(path) : Result<std::vector<uint8_t>>(m_files[k]);
        if (!bytes) {
            return path + ": " + bytes.Reason();
        }
        const LogoFlags fileFlags = LogoFlagsOf(bytes.Value());
        // While checking, a plain BMP is only checked: its rows are laid out
        // when it is read again for its conversion, in the file's own memory
        // (new memory is most of what reading 255 large files costs). Any
        // other file is decoded, as only decoding checks it.
        const bool onlyCheck = checking && LogoFormatOf(bytes.Value()) == LogoFormat::Bmp;
        auto bitmap = onlyCheck ? CheckBmp(bytes.Value()) : DecodeLogo(std::move(bytes).Value());
        if (!bitmap) {
            return path + ": " + bitmap.Reason();
        }
        if (std::string why = NvFitFailure(bitmap.Value().description); !why.empty()) {
            return path + ": " + why;
        }
        flags = fileFlags;
        if (!bitmap.Value().rowsLeft) {
            decoded = std::move(bitmap).Value();
        }
        return {};
    } catch (const std::bad_alloc&) {
        return path + ": not enough memory to read it";
    }
}

void UploadImages::StartConverting() {
    const std::lock_guard lock(m_mutex);
    if (!m_workers.empty() || m_slots.empty()) {
        return;
    }
    try {
        for (size_t i = 0; i < WorkerCount(); ++i) {
            m_workers.emplace_back([this] { ConvertWorker(); });
        }
    } catch (const std::system_error&) {
        // Fewer workers, or none: Take converts on the calling thread then.
    }
}

void UploadImages::ConvertWorker() {
    std::unique_ptr<CLogoImage> image;
    while (ConvertNext(image, true)) {
    }
}

bool UploadImages::ConvertNext(std::unique_ptr<CLogoImage>& image, bool wait) {
    size_t k = 0;
    {
        std::unique_lock lock(m_mutex);
        // Run ahead of the stream only as far as the bound allows; the image
        // the stream waits for is always converted.
        const auto ready = [this] {
            return m_stop || m_nextToConvert >= m_slots.size() || m_nextToConvert == m_nextToTake ||
                   m_waitingBytes <= m_bound.rasterBytes;
        };
        if (wait) {
            m_changed.wait(lock, ready);
        }
        if (m_stop || m_nextToConvert >= m_slots.size()) {
            return false;
        }
        k = m_nextToConvert++;
    }
    NvImageBytes bytes;
    std::string failure;
    try {
        if (!image) {
            image = std::make_unique<CLogoImage>();
            image->SetPictureWriter(m_writePicture);
        }
        failure = ConvertOne(k, *image, bytes);
    } catch (const std::bad_alloc&) {
        failure = m_paths[k] + ": not enough memory to convert it";
    }
    {
        const std::lock_guard lock(m_mutex);
        Slot& slot = m_slots[k];
        slot.done = true;
        slot.failure = std::move(failure);
        if (slot.failure.empty()) {
            m_waitingBytes += bytes.raster.size();
            slot.bytes = std::move(bytes);
        }
    }
    m_changed.notify_all();
    return true;
}

std::string UploadImages::ConvertOne(size_t k, CLogoImage& image, NvImageBytes& out) {
    Slot& slot = m_slots[k];
    std::optional<DecodedBitmap> decoded = std::move(slot.decoded);
    slot.decoded.reset();
    m_keptBytes -= slot.keptBytes;
    if (!decoded) {
        if (std::string why = ReadOne(k, decoded, slot.flags); !why.empty()) {
            return why;
        }
    }
    image.AdoptBitmap(std::move(*decoded));
    // Each file would overwrite "TempTe.bmp" in turn; the last one's stays.
    image.SetWritesThresholdBitmap(k + 1 == m_slots.size());
    image.ConvertLogo(slot.flags.greyFlag, slot.flags.whiteFlag, m_imageMode, m_brightness);
    const std::optional<std::array<uint8_t, 4>> header =
        NvImageHeader(image.PaddedWidth(), image.PaddedHeight());
    const int64_t expected = int64_t{image.PaddedWidth()} * image.PaddedHeight() / 8;
    const std::span<const uint8_t> raster = image.Raster();
    // A header must never go out with a raster of another size.
    if (!image.FitsNvImage() || !header || image.RasterLength() != expected ||
        raster.size() != static_cast<uint64_t>(expected)) {
        const std::string why = image.NvFitFailure();
        return m_paths[k] + ": " + (why.empty() ? "did not convert" : why);
    }
    out.header = *header;
    out.raster.assign(raster.begin(), raster.end());
    return {};
}

std::optional<NvImageBytes> UploadImages::Take(size_t k, std::string& refusal) {
    StartConverting();
    std::unique_lock lock(m_mutex);
    if (m_workers.empty()) {
        // No worker could be started: convert in turn on this thread.
        std::unique_ptr<CLogoImage> image;
        while (!m_slots[k].done) {
            lock.unlock();
            const bool converted = ConvertNext(image, false);
            lock.lock();
            if (!converted) {
                break;
            }
        }
    }
    m_changed.wait(lock, [this, k] { return m_slots[k].done || m_stop; });
    Slot& slot = m_slots[k];
    m_nextToTake = k + 1;
    std::optional<NvImageBytes> bytes = std::move(slot.bytes);
    slot.bytes.reset();
    if (bytes) {
        m_waitingBytes -= bytes->raster.size();
    } else {
        refusal = slot.failure.empty() ? m_paths[k] + ": not converted" : slot.failure;
    }
    lock.unlock();
    m_changed.notify_all();
    return bytes;
}

} // namespace tessaline
