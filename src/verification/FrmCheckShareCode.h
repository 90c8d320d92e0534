// The verification window: shows the package fingerprint, the cloud-verification check box and
// the install button. With the box checked the install button fetches the published answer from
// the servers of ServerList in order, has ShareCode judge it, and on success shows the
// certification window and approves; on failure a balloon warns and the window stays open. With
// the box unchecked the button approves at once. The driver reads Approved once the window has
// closed.
//
// During a check the window handles its messages while every request waits (at most 50 ms
// apart), name look-ups included, so it stays painted and responsive to the system. It is busy
// meanwhile (ui::Form::SetBusy): clicks and keys in it are dropped, and what would start a loop
// of the system's is refused; a close request abandons the request in flight and closes the
// window with Approved false, without showing the certification window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/components.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "verification/SerevrConfirm.h"
#include "verification/http_client.h"
#include "verification/window_resources.h"

namespace qor {

class TFrmNetVerify : public ui::Form {
 public:
  // Builds the window from its layout and runs FormCreate. Needs ShareCode and the product
  // parameters; errors of FormCreate are shown in the toolkit's error box.
  TFrmNetVerify();

  void FormCreate();
  void BtnInstallClick();
  void CbSafeCheckClick();
  void md51Click();
  void BtnCopyToClipClick();
  void LblURLMouseDown(ui::MouseButton button);
  void IdHTTP1WorkBegin(TWorkMode mode, std::int64_t expectedCount);
  void IdHTTP1Work(TWorkMode mode, std::int64_t count);
  void IdHTTP1WorkEnd(TWorkMode mode);

  ui::Label Label3{*this,
                   {.left = 23,
                    .top = 8,
                    .width = 546,
                    .height = 12,
                    .font = SongTi({.height = 12, .color = ui::kBlack})}};
  ui::CheckBox CbSafeCheck{*this,
                           {.left = 338,
                            .top = 37,
                            .width = 111,
                            .height = 17,
                            .text = "防木马云验证",
                            .checked = true,
                            .font = SongTi({.height = 13, .color = ui::kGreen}),
                            .onClick = [this] { CbSafeCheckClick(); }}};
  ui::PictureButton BtnInstall{*this,
                               {.left = 462,
                                .top = 32,
                                .width = 79,
                                .height = 26,
                                .bitmapResource = kInstallButtonPicture,
                                .onClick = [this] { BtnInstallClick(); }}};
  THttpClient IdHTTP1;
  ui::PictureButton BtnCopyToClip{*this,
                                  {.left = 301,
                                   .top = 33,
                                   .width = 23,
                                   .height = 22,
                                   .bitmapResource = kCopyButtonPicture,
                                   .hint = "Copy md5 to Clipboard",
                                   .visible = false,  // never shown
                                   .onClick = [this] { BtnCopyToClipClick(); }}};
  ui::Label LblExeMD5{*this,
                      {.left = 28, .top = 37, .font = SongTi({.height = 13, .color = ui::kGreen})}};
  ui::Label LblURL{*this,
                   {.left = 467,
                    .top = 76,
                    .text = "下载软件最新版本",
                    .font = SongTi({.height = 12, .underline = true, .color = ui::kGreen}),
                    .handCursor = true,
                    .onMouseDown = [this](ui::MouseButton button) { LblURLMouseDown(button); }}};
  ui::Label LblHint{*this,
                    {.left = 32,
                     .top = 77,
                     .width = 425,
                     .height = 12,
                     .text = "请您下载软件最新版本，或联系我们以获得技术支持。",
                     .autoSize = false,
                     .wordWrap = true,
                     .font = SongTi({.height = 12, .color = ui::kRed})}};
  ui::ProgressBar ProgressBar1{
      *this, {.left = 0, .top = 115, .width = 668, .height = 6, .align = ui::Align::kBottom}};
  // Its one item is md51.
  ui::PopupMenu PopupMenu1{{{.caption = "软件md5码", .onClick = [this] { md51Click(); }}}};

  bool Approved = false;

  // The certification window, once a valid answer has made it; null before.
  TFrmServerConfirm* ConfirmWindow() const { return confirm_.get(); }

 private:
  // Tries the servers and judges the answer; true when the answer was valid and the certification
  // window has been shown.
  bool CheckWithServers();
  // Processes pending messages once, dropping input to this window; false when a close request
  // has arrived during the check (or the application is ending).
  bool ProcessMessagesDuringCheck();
  void CopyFingerprintToClipboard();

  std::unique_ptr<TFrmServerConfirm> confirm_;
};

}  // namespace qor
