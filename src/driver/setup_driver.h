// The order of a setup run's stages, and what the process's exit code tells a calling script.
#pragma once

namespace qor {

enum SetupExitCode : int {
  kExitInstallerStarted = 0,  // the installer was handed to the shell
  kExitEndedByUser = 1,       // a window was closed before the installer was started
  kExitFailed = 2,            // a failure stopped the run (the window stayed stuck until closed)
};

// Runs every stage on this thread: application, product parameters, endpoints, answer checker
// with fingerprint, termination of running installers, the verification window and, after
// approval, the extraction window. An error in a stage ends the sequence quietly. Returns the
// exit code.
int RunSetup();

// The verification stage: shows the verification window modally, owned by the application, and
// returns its approval flag once it has closed.
bool RunVerificationStage();

}  // namespace qor
