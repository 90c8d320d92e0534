#include "e2e_main.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/windows/windows_helpers.h"

namespace qor::e2e {
namespace {
Options given;
}  // namespace

const Options& Given() { return given; }

}  // namespace qor::e2e

int main(int argc, char** argv) {
  using namespace qor::e2e;
  using qor::testing::TakePathOption;
  if (argc > 1 && std::strcmp(argv[1], kSleepArgument) == 0) {
    Sleep(60000);
    return 3;
  }
  // DPI-aware like setup.exe, so that window rectangles and screenshots are in the screen's pixels:
  // an unaware observer is shown another program's windows scaled back to 96 dpi.
  SetProcessDPIAware();
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    TakePathOption(argv[i], "--setup=", given.setup);
    TakePathOption(argv[i], "--damaged-setup=", given.damagedSetup);
    TakePathOption(argv[i], "--unstartable-setup=", given.unstartableSetup);
    TakePathOption(argv[i], "--package=", given.package);
    TakePathOption(argv[i], "--installer=", given.installer);
    if (std::strncmp(argv[i], "--dpi=", 6) == 0) given.dpi = std::atoi(argv[i] + 6);
  }
  // The demo installer that setup.exe starts closes itself; the variable travels through setup.exe.
  if (!std::getenv("QOR_DEMO_INSTALLER_CLOSE_MS")) {
    SetEnvironmentVariableA("QOR_DEMO_INSTALLER_CLOSE_MS", "1500");
  }
  return RUN_ALL_TESTS();
}
