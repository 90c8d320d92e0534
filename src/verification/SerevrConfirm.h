// The certification window: confirms a successful cloud verification with the package
// fingerprint, the product name and the date, which the verification window writes into LblMD5,
// LbSoft and LblTime before showing it modally. Closing it in any way ends the modal showing.
#pragma once

#include <windows.h>

#include <string>

#include "params/product_settings.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "verification/window_resources.h"

namespace qor {

class TFrmServerConfirm : public ui::Form {
 public:
  // owner: the verification window, which keeps this one until it is destroyed itself.
  explicit TFrmServerConfirm(HWND owner);

  void SpeedButton1Click();

  // Every label of this window keeps its designed size and does not wrap.
  ui::Label LblTime{*this,
                    {.left = 237,
                     .top = 42,
                     .width = 135,
                     .height = 13,
                     .text = "发布时间：2011-04-23",
                     .autoSize = false,
                     .font = SongTi({.height = 12, .color = ui::kBlack})}};
  ui::Label Label2{*this,
                   {.left = 30,
                    .top = 16,
                    .width = 158,
                    .height = 13,
                    .text = "来自QOR软件官方正式版",
                    .autoSize = false,
                    .font = SongTi({.height = 12, .color = ui::kBlack})}};
  ui::Label Label3{*this,
                   {.left = 208,
                    .top = 16,
                    .width = 169,
                    .height = 13,
                    .text = std::string("发布自") + settings::HomeServerUrl(),
                    .autoSize = false,
                    .font = SongTi({.height = 12, .color = ui::kBlack})}};
  ui::Label LblMD5{*this,
                   {.left = 29,
                    .top = 66,
                    .width = 343,
                    .height = 13,
                    .text = "MD5:",
                    .autoSize = false,
                    .font = SongTi({.height = 12, .color = ui::kBlack})}};
  ui::Label LbSoft{*this,
                   {.left = 29,
                    .top = 42,
                    .width = 196,
                    .height = 13,
                    .text = "软件名称:",
                    .autoSize = false,
                    .font = SongTi({.height = 12, .color = ui::kBlack})}};
  ui::Panel Panel36{*this,
                    {.left = 0,
                     .top = 91,
                     .width = 410,
                     .height = 1,
                     .color = kSeparatorColor,
                     .align = ui::Align::kBottom}};
  ui::Panel Panel1{*this,
                   {.left = 0,
                    .top = 133,
                    .width = 410,
                    .height = 41,
                    .color = kWindowBackground,
                    .align = ui::Align::kBottom}};
  ui::PictureButton SpeedButton1{Panel1,
                                 {.left = 200,
                                  .top = 9,
                                  .width = 80,
                                  .height = 24,
                                  .bitmapResource = kInstallButtonPicture,
                                  .onClick = [this] { SpeedButton1Click(); }}};
  ui::Panel Panel2{*this,
                   {.left = 0,
                    .top = 92,
                    .width = 410,
                    .height = 41,
                    .color = ui::kWhite,
                    .align = ui::Align::kBottom}};
  ui::Label Label4{Panel2,
                   {.left = 26,
                    .top = 15,
                    .width = 335,
                    .height = 13,
                    .text = "验证结果：本软件未经过木马恶意串改,请您放心使用!!!",
                    .autoSize = false,
                    .font = SongTi({.height = 13, .bold = true, .color = ui::kGreen})}};
  ui::Panel Panel3{Panel2,
                   {.left = 0,
                    .top = 40,
                    .width = 410,
                    .height = 1,
                    .color = kSeparatorColor,
                    .align = ui::Align::kBottom}};
};

}  // namespace qor
