// Ending stale copies of the payload installer (Windows only).
#pragma once

#include <string>

namespace qor {

// Ends every running process whose executable is named like name (see ImageNameMatches), with
// exit code 0, using the ToolHelp process snapshot (functions looked up by name in kernel32; where
// they are missing no process is seen). Returns the success of the last termination attempted,
// false when no process matched. Never raises. The calling process is not excluded.
bool TerminateProcessesByImageName(const std::string& name);

}  // namespace qor
