// The verification window: shows the package fingerprint, the cloud-verification check box and
// the install button. With the box checked the install button fetches the published answer from
// the servers of ServerList in order, has ShareCode judge it, and on success shows the
// certification window and approves; on failure a balloon warns and the window stays open. With
// the box unchecked the button approves at once. The driver reads Approved once the window has
// closed.
//
// Input during a check (the window processes messages before each request and after each failed
// one): another click on the install button is ignored, and a close request ends the check before
// the next request, leaving Approved false.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/components.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "verification/SerevrConfirm.h"
#include "verification/http_client.h"

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

  ui::Label Label3;
  ui::CheckBox CbSafeCheck;
  ui::PictureButton BtnInstall;
  THttpClient IdHTTP1;
  ui::PictureButton BtnCopyToClip;
  ui::Label LblExeMD5;
  ui::Label LblURL;
  ui::Label LblHint;
  ui::ProgressBar ProgressBar1;
  ui::PopupMenu PopupMenu1;  // its one item is md51, "软件md5码"

  bool Approved = false;

  // The certification window, once a valid answer has made it; null before.
  TFrmServerConfirm* ConfirmWindow() const { return confirm_.get(); }

 private:
  // Tries the servers and judges the answer; true when the answer was valid and the certification
  // window has been shown.
  bool CheckWithServers();
  // Processes pending messages once; false when a close request arrived meanwhile.
  bool ProcessMessagesDuringCheck();
  void CopyFingerprintToClipboard();

  std::unique_ptr<TFrmServerConfirm> confirm_;
  bool checking_ = false;
  bool closeRequested_ = false;
};

}  // namespace qor
