// SPDX-License-Identifier: MIT
// Runs a fuzz target over every saved input without a fuzzing engine, so the
// seeds and every input a fuzzing run kept stay checked by each build's tests.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(argv[i], ec), end; !ec && it != end;
             it.increment(ec)) {
            if (it->is_regular_file()) {
                inputs.push_back(it->path());
            }
        }
        if (ec) {
            std::fprintf(stderr, "replay: cannot read %s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no input to run\n");
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
