// SPDX-License-Identifier: MIT
#include "tests/support/TempFolder.h"

#include <cerrno>
#include <stdlib.h>
#include <system_error>
#ifdef _WIN32
#include <cstdio>
#include <random>
#endif

namespace tessaline::test {

namespace {

#ifdef _WIN32
// Windows has no mkdtemp: a random name, tried until one is free.
std::filesystem::path MakeFolderIn(const std::filesystem::path& parent) {
    std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "tessaline-test-%012llx",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        std::error_code ec;
        if (std::filesystem::create_directory(parent / name, ec)) {
            return parent / name;
        }
        if (ec) {
            throw std::system_error(ec, "no temporary folder in " + parent.string());
        }
    }
    throw std::system_error(EEXIST, std::generic_category(),
                            "no temporary folder in " + parent.string());
}
#else
std::filesystem::path MakeFolderIn(const std::filesystem::path& parent) {
    std::string pattern = (parent / "tessaline-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(),
                                "no temporary folder in " + parent.string());
    }
    return pattern;
}
#endif

} // namespace

TempFolder::TempFolder() : m_path(MakeFolderIn(std::filesystem::temp_directory_path())) {}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace tessaline::test
