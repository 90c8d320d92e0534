// qor check: not built yet.
#include <cstdio>

#include "cli.h"

namespace qor::cli {

namespace {

int Run(const Args&) {
  std::fputs("qor check: not available in this build\n", stderr);
  return kExitBadInput;
}

}  // namespace

const Command kCheckCommand = {"check", "(not available yet)", "usage: qor check\n", Run};

}  // namespace qor::cli
