// The main of setup_windows_tests: GoogleTest, or a sleeper when started with kSleepArgument (the
// process termination tests start copies of this program under the names they end), or a crash
// with kNullDereferenceArgument (a crash under Wine must fail the run). Paths the resource tests
// read come as --setup=PATH and --package=PATH (or --package=@FILE: the .package file that another
// build writes beside its setup program names it).
#pragma once

#include <string>

namespace qor {

inline constexpr const char* kSleepArgument = "--sleep";
inline constexpr const char* kNullDereferenceArgument = "--dereference-null";

// The setup program and the package embedded in it, as Windows paths; empty when not given.
const std::string& SetupProgramPath();
const std::string& EmbeddedPackagePath();

}  // namespace qor
