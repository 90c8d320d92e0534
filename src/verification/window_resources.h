// The look the setup program's windows share (verification, certification, extraction): the
// names of their picture resources, their colours and their Chinese font.
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/window.h"

namespace qor {

// RT_BITMAP resources (resources/setup.rc).
inline constexpr char kInstallButtonPicture[] = "INSTALLBUTTON";  // 79 x 25, the words 开始安装
inline constexpr char kCopyButtonPicture[] = "COPYBUTTON";        // 21 x 20, a copy symbol

inline constexpr ui::Color kWindowBackground = ui::Color::Rgb(245, 250, 254);
inline constexpr ui::Color kSeparatorColor = ui::Color::Rgb(223, 223, 223);

// The windows' texts are in 宋体 with the GB2312 character set; the argument gives height,
// weight, underline and colour: SongTi({.height = 12, .color = ui::kBlack}).
inline ui::FontSpec SongTi(ui::FontSpec font) {
  font.face = "宋体";
  font.charset = GB2312_CHARSET;
  return font;
}

}  // namespace qor
