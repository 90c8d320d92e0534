#include "verification/SerevrConfirm.h"

namespace qor {
namespace {

const ui::FormArgs kLayout{
    .className = "TFrmServerConfirm",
    .caption = "绿色认证",
    .left = 217,
    .top = 209,
    .width = 418,
    .height = 208,
    .color = kWindowBackground,
    .font = {.face = "MS Sans Serif", .height = 11},
};

ui::FormArgs LayoutOwnedBy(HWND owner) {
  ui::FormArgs args = kLayout;
  args.owner = owner;
  return args;
}

}  // namespace

TFrmServerConfirm::TFrmServerConfirm(HWND owner) : ui::Form(LayoutOwnedBy(owner)) {}

void TFrmServerConfirm::SpeedButton1Click() { Close(); }

}  // namespace qor
