// qor fingerprint: not built yet.
#include <cstdio>

#include "cli.h"

namespace qor::cli {

namespace {

int Run(const Args&) {
  std::fputs("qor fingerprint: not available in this build\n", stderr);
  return kExitBadInput;
}

}  // namespace

const Command kFingerprintCommand = {"fingerprint", "(not available yet)",
                                     "usage: qor fingerprint\n", Run};

}  // namespace qor::cli
