// The main of e2e_tests: GoogleTest, or a sleeping process when started with kSleepArgument (the
// tests start copies of this program under the installer's names). Options after GoogleTest's:
//   --setup=PATH          the release setup program
//   --damaged-setup=PATH  a setup program built with a damaged package
//   --unstartable-setup=PATH  a setup program whose installer is no program
//   --package=PATH        the package embedded in the release setup program
//   --installer=PATH      the demo installer packed into it
//   --dpi=N               the DPI the Wine prefix is set to (default 96)
// Unix paths are taken as paths on Wine's drive Z:.
#pragma once

#include <string>

namespace qor::e2e {

inline constexpr const char* kSleepArgument = "--sleep";

const std::string& SetupPath();
const std::string& DamagedSetupPath();
const std::string& UnstartableSetupPath();
const std::string& PackagePath();
const std::string& InstallerPath();
int ExpectedDpi();

}  // namespace qor::e2e
