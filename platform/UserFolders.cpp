// SPDX-License-Identifier: MIT
#include "platform/UserFolders.h"

namespace tessaline {

std::filesystem::path XdgFolder(std::string_view xdg, std::string_view home,
                                std::string_view accountHome, std::string_view underHome) {
    if (!xdg.empty() && xdg.front() == '/') {
        return std::filesystem::path(xdg);
    }
    std::string_view base = !home.empty() ? home : !accountHome.empty() ? accountHome : "/";
    return std::filesystem::path(base) / underHome;
}

} // namespace tessaline
