// The verification stage: the verification window, shown modally and owned by the application.
// Only its approval lets the driver go on to the extraction.
#include "driver/setup_driver.h"
#include "verification/FrmCheckShareCode.h"

namespace qor {

bool RunVerificationStage() {
  TFrmNetVerify window;
  window.ShowModal();
  return window.Approved;
}

}  // namespace qor
