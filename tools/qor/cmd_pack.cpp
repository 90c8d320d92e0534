// qor pack: not built yet.
#include <cstdio>

#include "cli.h"

namespace qor::cli {

namespace {

int Run(const Args&) {
  std::fputs("qor pack: not available in this build\n", stderr);
  return kExitBadInput;
}

}  // namespace

const Command kPackCommand = {"pack", "(not available yet)", "usage: qor pack\n", Run};

}  // namespace qor::cli
