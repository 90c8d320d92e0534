// qor list: not built yet.
#include <cstdio>

#include "cli.h"

namespace qor::cli {

namespace {

int Run(const Args&) {
  std::fputs("qor list: not available in this build\n", stderr);
  return kExitBadInput;
}

}  // namespace

const Command kListCommand = {"list", "(not available yet)", "usage: qor list\n", Run};

}  // namespace qor::cli
