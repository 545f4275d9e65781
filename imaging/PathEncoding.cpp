#include "imaging/PathEncoding.h"

namespace tessaline {

namespace {

std::filesystem::path PathOfBytes(const std::string& text) {
    return std::filesystem::path(text);
}

std::string BytesOfPath(const std::filesystem::path& path) {
    return path.string();
}

PathEncoding g_encoding{&PathOfBytes, &BytesOfPath};

} // namespace

void UsePathEncoding(const PathEncoding& encoding) {
    g_encoding = encoding;
}

std::filesystem::path PathOf(const std::string& text) {
    return g_encoding.toPath(text);
}

std::string TextOf(const std::filesystem::path& path) {
    return g_encoding.toText(path);
}

} // namespace tessaline
