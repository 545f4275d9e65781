// SPDX-License-Identifier: MIT
#include "imaging/PathEncoding.h"

namespace tessaline {

namespace {

std::filesystem::path PathOfBytes(const std::string& text) {
    return std::filesystem::path(text);
}

Result<std::string> BytesOfPath(const std::filesystem::path& path) {
    return path.string();
}

std::string SameText(std::string_view text) {
    return std::string(text);
}

PathEncoding g_encoding{&PathOfBytes, &BytesOfPath, &SameText};

} // namespace

void UsePathEncoding(const PathEncoding& encoding) {
    g_encoding = encoding;
}

std::filesystem::path PathOf(const std::string& text) {
    return g_encoding.toPath(text);
}

Result<std::string> TextOf(const std::filesystem::path& path) {
    return g_encoding.toText(path);
}

std::string TextOfPlatformWords(std::string_view utf8) {
    return g_encoding.fromPlatformText(utf8);
}

} // namespace tessaline
