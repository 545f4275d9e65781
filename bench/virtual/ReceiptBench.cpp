// SPDX-License-Identifier: MIT
// Figures for the virtual printer drawing receipts: a 40-line receipt with
// a stored 256 x 96 logo (FS p, centred), a bold double-size total and a
// cut, drawn as a piece of paper, and drawn and encoded as its PNG picture.
#include "escpos/EscPosEmulator.h"
#include "escpos/Png.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using tessaline::NvImage;
using tessaline::NvMemory;

NvMemory WithLogo() {
    NvMemory memory;
    NvImage logo{32, 12, std::vector<uint8_t>(32 * 12 * 8)};
    for (size_t i = 0; i < logo.raster.size(); ++i) {
        logo.raster[i] = static_cast<uint8_t>(i * 37 % 251);
    }
    memory.images.push_back(std::move(logo));
    return memory;
}

std::vector<uint8_t> Receipt() {
    std::string job = "\x1b@\x1b\x61\x01\x1cp\x01\x00\x1b!\x30TESSALINE CAFE\n\x1b!\x00";
    job += "12 Harbour Road\n\x1b\x61";
    job += '\0';
    for (int line = 1; line <= 40; ++line) {
        char text[64];
        std::snprintf(text, sizeof text, "Item %02d %-28s %10.2f\n", line, "flat white, oat",
                      line * 1.25);
        job += text;
    }
    job += "\x1b\x45\x01\x1d!\x11TOTAL 1025.00\n\x1d!";
    job += '\0';
    job += "\x1b\x45";
    job += '\0';
    job += "\x1b\x64\x03\x1dV\x42\x10";
    return std::vector<uint8_t>(job.begin(), job.end());
}

void DrawReceipt(benchmark::State& state) {
    const std::vector<uint8_t> job = Receipt();
    const tessaline::PrinterModel model;
    for (auto _ : state) {
        NvMemory memory = WithLogo();
        tessaline::JobOutcome outcome = tessaline::RunJob(model, memory, job, "2024-05-01");
        if (outcome.paper.size() != 1) {
            state.SkipWithError("the receipt did not come out as one piece");
            return;
        }
        benchmark::DoNotOptimize(outcome.paper[0].bits.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("pictures drawn");
}
BENCHMARK(DrawReceipt)->Unit(benchmark::kMillisecond);

void DrawAndEncodeReceipt(benchmark::State& state) {
    const std::vector<uint8_t> job = Receipt();
    const tessaline::PrinterModel model;
    for (auto _ : state) {
        NvMemory memory = WithLogo();
        tessaline::JobOutcome outcome = tessaline::RunJob(model, memory, job, "2024-05-01");
        const std::vector<uint8_t> png = tessaline::EncodePng(outcome.paper.at(0));
        benchmark::DoNotOptimize(png.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("PNG pictures written");
}
BENCHMARK(DrawAndEncodeReceipt)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
