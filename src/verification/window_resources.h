// Names of the resources that the verification and certification windows use, and which base
// URL is the maker's main web site.
#pragma once

#include <cstddef>

namespace qor {

// RT_BITMAP resources (resources/setup.rc).
inline constexpr char kInstallButtonPicture[] = "INSTALLBUTTON";  // 79 x 25, the words 开始安装
inline constexpr char kCopyButtonPicture[] = "COPYBUTTON";        // 21 x 20, a copy symbol

// E3 of the server list: the maker's main web site, which the layouts show and link to.
inline constexpr std::size_t kHomeServerIndex = 2;

}  // namespace qor
