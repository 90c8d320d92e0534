// What the setup program's exit code tells a calling script. The driver returns it; the extraction
// stage decides it for the runs that reach it.
#pragma once

namespace qor {

enum SetupExitCode : int {
  kExitInstallerStarted = 0,  // the installer was handed to the shell
  kExitEndedByUser = 1,       // a window was closed before the installer was started
  kExitFailed = 2,            // a failure stopped the run (the window stayed stuck until closed)
};

}  // namespace qor
