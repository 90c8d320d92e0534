// qor extract: not built yet.
#include <cstdio>

#include "cli.h"

namespace qor::cli {

namespace {

int Run(const Args&) {
  std::fputs("qor extract: not available in this build\n", stderr);
  return kExitBadInput;
}

}  // namespace

const Command kExtractCommand = {"extract", "(not available yet)", "usage: qor extract\n", Run};

}  // namespace qor::cli
