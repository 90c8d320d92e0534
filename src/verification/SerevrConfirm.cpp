#include "verification/SerevrConfirm.h"

#include <string>

#include "driver/product_settings.h"
#include "verification/window_resources.h"

namespace qor {
namespace {

constexpr ui::Color kBackground = ui::Color::Rgb(245, 250, 254);
constexpr ui::Color kSeparator = ui::Color::Rgb(223, 223, 223);

ui::FormArgs FormLayout(HWND owner) {
  ui::FormArgs args;
  args.className = "TFrmServerConfirm";
  args.caption = "绿色认证";
  args.left = 217;
  args.top = 209;
  args.width = 418;
  args.height = 208;
  args.color = kBackground;
  args.font.face = "MS Sans Serif";
  args.font.height = 11;
  args.owner = owner;
  return args;
}

ui::FontSpec SongTi(int height, ui::Color color, bool bold = false) {
  ui::FontSpec font;
  font.face = "宋体";
  font.height = height;
  font.bold = bold;
  font.charset = GB2312_CHARSET;
  font.color = color;
  return font;
}

// Every label of this window keeps its designed size and does not wrap.
ui::LabelArgs FixedLabel(int left, int top, int width, int height, std::string text,
                         const ui::FontSpec& font) {
  ui::LabelArgs args;
  args.left = left;
  args.top = top;
  args.width = width;
  args.height = height;
  args.text = std::move(text);
  args.autoSize = false;
  args.font = font;
  return args;
}

ui::PanelArgs BottomPanel(int top, int height, ui::Color color) {
  ui::PanelArgs args;
  args.left = 0;
  args.top = top;
  args.width = 410;
  args.height = height;
  args.color = color;
  args.align = ui::Align::kBottom;
  return args;
}

ui::PictureButtonArgs OkButton(TFrmServerConfirm* form) {
  ui::PictureButtonArgs args;
  args.left = 200;
  args.top = 9;
  args.width = 80;
  args.height = 24;
  args.bitmapResource = kInstallButtonPicture;
  args.onClick = [form] { form->SpeedButton1Click(); };
  return args;
}

}  // namespace

TFrmServerConfirm::TFrmServerConfirm(HWND owner)
    : ui::Form(FormLayout(owner)),
      LblTime(*this, FixedLabel(237, 42, 135, 13, "发布时间：2011-04-23", SongTi(12, ui::kBlack))),
      Label2(*this, FixedLabel(30, 16, 158, 13, "来自QOR软件官方正式版", SongTi(12, ui::kBlack))),
      Label3(*this, FixedLabel(208, 16, 169, 13,
                               std::string("发布自") + settings::kServerUrls[kHomeServerIndex],
                               SongTi(12, ui::kBlack))),
      LblMD5(*this, FixedLabel(29, 66, 343, 13, "MD5:", SongTi(12, ui::kBlack))),
      LbSoft(*this, FixedLabel(29, 42, 196, 13, "软件名称:", SongTi(12, ui::kBlack))),
      Panel36(*this, BottomPanel(91, 1, kSeparator)),
      Panel1(*this, BottomPanel(133, 41, kBackground)),
      SpeedButton1(Panel1, OkButton(this)),
      Panel2(*this, BottomPanel(92, 41, ui::kWhite)),
      Label4(Panel2,
             FixedLabel(26, 15, 335, 13, "验证结果：本软件未经过木马恶意串改,请您放心使用!!!",
                        SongTi(13, ui::kGreen, true))),
      Panel3(Panel2, BottomPanel(40, 1, kSeparator)) {}

void TFrmServerConfirm::SpeedButton1Click() { Close(); }

}  // namespace qor
