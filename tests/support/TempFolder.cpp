#include "tests/support/TempFolder.h"

#include <cerrno>
#include <stdlib.h>
#include <system_error>

namespace tessaline::test {

TempFolder::TempFolder() {
    const std::filesystem::path parent = std::filesystem::temp_directory_path();
    std::string pattern = (parent / "tessaline-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(),
                                "no temporary folder in " + parent.string());
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

} // namespace tessaline::test
