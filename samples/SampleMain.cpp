// SPDX-License-Identifier: MIT
// Converts a logo as an upload would and writes its one-bit preview into a
// folder, so the result can be looked at before any printer is touched.
#include "imaging/CLogoImage.h"
#include "platform/AtomicFile.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: tessaline-sample [LOGO.bmp] [OUTPUT-FOLDER]\n"
                 "Converts LOGO.bmp (default: the shipped sample) in both image modes\n"
                 "and writes the one-bit previews into OUTPUT-FOLDER (default: preview).\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 3 ||
        (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h"))) {
        return Usage();
    }
    namespace fs = std::filesystem;
    const fs::path logo = fs::absolute(argc > 1 ? argv[1] : TESSALINE_SAMPLE_LOGO);
    const fs::path out = fs::absolute(argc > 2 ? argv[2] : "preview");

    const tessaline::Result<tessaline::BitmapFigures> info = tessaline::BitmapInfo(logo.string());
    if (!info) {
        std::fprintf(stderr, "tessaline-sample: %s is not a bitmap this program can read\n",
                     logo.c_str());
        return 1;
    }
    std::printf("%s: %d x %d dots, %d bits per pixel\n", logo.c_str(), info.Value().width,
                info.Value().height, info.Value().bitsPixel);

    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "tessaline-sample: cannot make %s: %s\n", out.c_str(),
                     ec.message().c_str());
        return 1;
    }
    const fs::path previous = fs::current_path();
    fs::current_path(out);
    struct Mode {
        int16_t imageMode;
        const char* name;
        const char* file;
    };
    for (const Mode mode :
         {Mode{0, "None", "none.bmp"}, Mode{1, "Error Diffusion", "diffusion.bmp"}}) {
        const std::string preview =
            tessaline::Preview(logo.string(), mode.imageMode, 5, tessaline::ReplaceWholeFile).path;
        if (preview == logo.string()) {
            std::printf("one-bit logo: it prints as it is, %s\n", logo.c_str());
            break;
        }
        fs::rename(preview, out / mode.file, ec);
        if (ec) {
            std::fprintf(stderr, "tessaline-sample: no preview was written in %s\n", out.c_str());
            return 1;
        }
        std::printf("%-16s preview: %s\n", mode.name, (out / mode.file).c_str());
    }
    fs::remove(out / "TempTe.bmp", ec);
    fs::current_path(previous);
    return 0;
}
