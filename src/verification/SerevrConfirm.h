// The certification window: confirms a successful cloud verification with the package
// fingerprint, the product name and the date, which the verification window writes into LblMD5,
// LbSoft and LblTime before showing it modally. Closing it in any way ends the modal showing.
#pragma once

#include <windows.h>

#include "ui/controls.h"
#include "ui/form.h"

namespace qor {

class TFrmServerConfirm : public ui::Form {
 public:
  // owner: the verification window, which keeps this one until it is destroyed itself.
  explicit TFrmServerConfirm(HWND owner);

  void SpeedButton1Click();

  ui::Label LblTime;
  ui::Label Label2;
  ui::Label Label3;
  ui::Label LblMD5;
  ui::Label LbSoft;
  ui::Panel Panel36;
  ui::Panel Panel1;
  ui::PictureButton SpeedButton1;
  ui::Panel Panel2;
  ui::Label Label4;
  ui::Panel Panel3;
};

}  // namespace qor
