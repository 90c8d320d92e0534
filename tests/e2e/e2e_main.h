// The main of e2e_tests: GoogleTest, or a sleeping process when started with kSleepArgument (the
// tests start copies of this program under the installer's names). Options after GoogleTest's
// fill Options; Unix paths are taken as paths on Wine's drive Z:.
#pragma once

#include <string>

namespace qor::e2e {

inline constexpr const char* kSleepArgument = "--sleep";

struct Options {
  std::string setup;             // --setup=PATH: the release setup program
  std::string damagedSetup;      // --damaged-setup=PATH: one built with a damaged package
  std::string unstartableSetup;  // --unstartable-setup=PATH: one whose installer is no program
  std::string package;           // --package=PATH: the package embedded in the release program
  std::string installer;         // --installer=PATH: the demo installer packed into it
  int dpi = 96;                  // --dpi=N: the DPI the Wine prefix is set to
};
const Options& Given();

}  // namespace qor::e2e
