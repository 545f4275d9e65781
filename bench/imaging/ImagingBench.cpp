// SPDX-License-Identifier: MIT
// Figures for reading and converting logos: a full-width receipt logo with
// photo-like content, and the largest logo the NV command can carry.
#include "imaging/CLogoImage.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/TempFolder.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <string>
#include <vector>

namespace {

using tessaline::test::Bgr;
using tessaline::test::TempFolder;

// Smooth shading with fine detail, so diffusion has real work everywhere.
std::vector<uint8_t> PhotoLike(int w, int h) {
    return tessaline::test::Make24(w, h, [](int x, int y) {
        const double v = 127.5 + 60 * std::sin(x * 0.021) * std::cos(y * 0.017) +
                         50 * std::sin((x + y) * 0.31) + 17 * std::cos(x * y * 0.0007);
        const auto g = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
        return Bgr{static_cast<uint8_t>(g / 2 + 60), g, static_cast<uint8_t>(255 - g / 3)};
    });
}

// Writes the logo into `folder`; its path.
std::string WriteLogo(const TempFolder& folder, const std::vector<uint8_t>& bytes) {
    const std::string path = folder.File("logo.bmp");
    tessaline::test::WriteFile(path, bytes);
    return path;
}

struct Size {
    int w, h;
};
constexpr Size kReceipt{576, 648};
constexpr Size kLargest{8184, 2304};

Size SizeOf(const benchmark::State& state) {
    return state.range(0) == 0 ? kReceipt : kLargest;
}

void BM_DecodeBmp(benchmark::State& state) {
    const Size s = SizeOf(state);
    const auto file = PhotoLike(s.w, s.h);
    for (auto _ : state) {
        auto decoded = tessaline::DecodeBmp(file);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}

void BM_LoadBitmapFile(benchmark::State& state) {
    const Size s = SizeOf(state);
    const TempFolder folder;
    const auto path = WriteLogo(folder, PhotoLike(s.w, s.h));
    tessaline::CLogoImage image;
    for (auto _ : state) {
        benchmark::DoNotOptimize(image.LoadBitmapFile(path));
    }
}

void BM_ConvertLogo(benchmark::State& state) {
    const Size s = SizeOf(state);
    const auto mode = static_cast<int32_t>(state.range(1));
    const TempFolder folder;
    const auto path = WriteLogo(folder, PhotoLike(s.w, s.h));
    // Handed no writer, the diffusion writes no threshold picture: this is
    // the conversion alone.
    tessaline::CLogoImage image;
    const auto flags = tessaline::ReadLogo(image, path);
    for (auto _ : state) {
        image.ConvertLogo(flags.greyFlag, flags.whiteFlag, mode, 5);
        benchmark::DoNotOptimize(image.RasterLength());
    }
    state.SetLabel(mode == 0 ? "None" : "Error Diffusion");
    state.counters["dots/s"] =
        benchmark::Counter(static_cast<double>(s.w) * static_cast<double>(s.h),
                           benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(BM_DecodeBmp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBitmapFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertLogo)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
