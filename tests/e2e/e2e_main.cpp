#include "e2e_main.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/windows/windows_helpers.h"

namespace qor::e2e {

namespace {

std::string setup_path;
std::string damaged_setup_path;
std::string unstartable_setup_path;
std::string package_path;
std::string installer_path;
int expected_dpi = 96;

}  // namespace

const std::string& SetupPath() { return setup_path; }
const std::string& DamagedSetupPath() { return damaged_setup_path; }
const std::string& UnstartableSetupPath() { return unstartable_setup_path; }
const std::string& PackagePath() { return package_path; }
const std::string& InstallerPath() { return installer_path; }
int ExpectedDpi() { return expected_dpi; }

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
    TakePathOption(argv[i], "--setup=", setup_path);
    TakePathOption(argv[i], "--damaged-setup=", damaged_setup_path);
    TakePathOption(argv[i], "--unstartable-setup=", unstartable_setup_path);
    TakePathOption(argv[i], "--package=", package_path);
    TakePathOption(argv[i], "--installer=", installer_path);
    if (std::strncmp(argv[i], "--dpi=", 6) == 0) expected_dpi = std::atoi(argv[i] + 6);
  }
  // The demo installer that setup.exe starts closes itself; the variable travels through setup.exe.
  if (!std::getenv("QOR_DEMO_INSTALLER_CLOSE_MS")) {
    SetEnvironmentVariableA("QOR_DEMO_INSTALLER_CLOSE_MS", "1500");
  }
  return RUN_ALL_TESTS();
}
