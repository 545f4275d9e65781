// SPDX-License-Identifier: MIT
#include "ShapedLogos.h"

#include "imaging/LogoFormats.h"
#include "imaging/PathEncoding.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/pictures/PictureDecoders.h"

namespace tessaline {

ShapedLogos::~ShapedLogos() {
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

Result<std::string> ShapedLogos::Prepare(const std::string& file, const ShapingChoice& choice) {
    using R = Result<std::string>;
    if (choice.fit == 0 && !choice.dither) {
        return file;
    }
    UseSystemPictureDecoders();
    const auto bytes = ReadFileBytes(file);
    if (!bytes) {
        return R::Fail(file + ": " + bytes.Reason());
    }
    auto decoded = DecodeLogo(bytes.Value());
    if (!decoded) {
        return R::Fail(file + ": " + decoded.Reason());
    }
    const DecodedBitmap& logo = decoded.Value();
    const bool wider = choice.fit > 0 && logo.description.bmWidth > choice.fit;
    if (!wider && !choice.dither) {
        return file; // never enlarged: the control reads the file itself
    }
    const DecodedBitmap fitted = wider ? FitToWidth(logo, choice.fit) : logo;
    std::vector<uint8_t> shaped;
    if (choice.dither) {
        const auto w = static_cast<std::size_t>(fitted.description.bmWidth);
        const auto h = static_cast<std::size_t>(fitted.description.bmHeight);
        const bool plain = *choice.dither == DitherKind::Threshold;
        const std::vector<uint8_t> grey = GreyRows(fitted, plain ? 5 : choice.brightness);
        shaped = EncodeDotsBmp(Dither(grey, w, h, *choice.dither, choice.threshold), w, h);
    } else {
        shaped = EncodeBmp24(fitted);
    }
    if (m_folder.empty()) {
        auto folder = MakeScratchFolder("tessaline-cli");
        if (!folder) {
            return R::Fail(folder.Reason());
        }
        m_folder = folder.Value();
    }
    const std::filesystem::path target =
        m_folder / ("logo-" + std::to_string(m_names.size() + 1) + ".bmp");
    if (const Result<void> written = ReplaceFileAtomically(target, shaped); !written) {
        return R::Fail(written.Reason());
    }
    Result<std::string> name = TextOf(target);
    if (!name) {
        return R::Fail(file + ": " + name.Reason());
    }
    m_names.emplace_back(name.Value(), file);
    return name;
}

std::string ShapedLogos::InUsersNames(std::string text) const {
    for (const auto& [shaped, original] : m_names) {
        for (std::size_t at = text.find(shaped); at != std::string::npos;
             at = text.find(shaped, at + original.size())) {
            text.replace(at, shaped.size(), original);
        }
    }
    return text;
}

} // namespace tessaline
