// The order of a setup run's stages.
#pragma once

#include "params/exit_codes.h"

namespace qor {

// Runs every stage on this thread: application, product parameters, endpoints, answer checker
// with fingerprint, termination of running installers, the verification window and, after
// approval, the extraction window. An error in a stage ends the sequence quietly. Returns the
// exit code.
int RunSetup();

// The verification stage: shows the verification window modally, owned by the application, and
// returns its approval flag once it has closed.
bool RunVerificationStage();

}  // namespace qor
