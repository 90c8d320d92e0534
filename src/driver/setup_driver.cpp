#include "driver/setup_driver.h"

#include "extraction/UnzipSoftUnit.h"
#include "params/allparam.h"
#include "process/process_termination.h"
#include "ui/application.h"
#include "verification/ShareCodeCheckunit.h"

namespace qor {

int RunSetup() {
  ui::Application& app = ui::App();
  int exit_code = kExitFailed;
  try {
    app.Initialize();
    SetProductParameters();
    InitEndpoints();
    InitShareCode();
    TerminateProcessesByImageName(InstallerFileName);
    if (!RunVerificationStage()) {
      exit_code = kExitEndedByUser;
    } else {
      exit_code = RunExtractionStage();
    }
  } catch (...) {
    // The run ends quietly; the exit code says it failed.
    exit_code = kExitFailed;
  }
  app.Run();
  return exit_code;
}

}  // namespace qor
