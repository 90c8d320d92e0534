// qor answer: not built yet.
#include <cstdio>

#include "cli.h"

namespace qor::cli {

namespace {

int Run(const Args&) {
  std::fputs("qor answer: not available in this build\n", stderr);
  return kExitBadInput;
}

}  // namespace

const Command kAnswerCommand = {"answer", "(not available yet)", "usage: qor answer\n", Run};

}  // namespace qor::cli
