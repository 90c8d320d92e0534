#include "setup_windows_test_main.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/windows/windows_helpers.h"

namespace qor {

namespace {

std::string setup_path;
std::string package_path;

}  // namespace

const std::string& SetupProgramPath() { return setup_path; }
const std::string& EmbeddedPackagePath() { return package_path; }

}  // namespace qor

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], qor::kSleepArgument) == 0) {
    Sleep(60000);
    return 3;
  }
  if (argc > 1 && std::strcmp(argv[1], qor::kNullDereferenceArgument) == 0) {
    std::puts("dereferencing null");
    std::fflush(stdout);
    static volatile std::uintptr_t null_address = 0;  // volatile: the store must happen
    *reinterpret_cast<volatile int*>(null_address) = 1;
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    qor::testing::TakePathOption(argv[i], "--setup=", qor::setup_path);
    qor::testing::TakePathOption(argv[i], "--package=", qor::package_path);
  }
  return RUN_ALL_TESTS();
}
