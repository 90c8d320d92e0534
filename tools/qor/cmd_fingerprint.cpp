// qor fingerprint FILE: the package fingerprint of a file, as setup.exe computes it of itself.
#include <cstdio>

#include "cli.h"
#include "json_output.h"
#include "verification/QORMD5Unit.h"

namespace qor::cli {

namespace {

int Run(const Args& given) {
  Args args = given;
  const bool json = TakeJsonFlag(args);
  if (args.size() != 1) throw UsageError("expected exactly one FILE");
  const FilePath file = PathArg(args[0]);
  const std::string fingerprint = FileMD5Hex(file);
  if (json) {
    PrintJson({{"file", file.Native()}, {"fingerprint", fingerprint}});
  } else {
    std::printf("%s\n", fingerprint.c_str());
  }
  return kExitSuccess;
}

}  // namespace

const Command kFingerprintCommand = {
    "fingerprint", "print the fingerprint (MD5, 32 lower-case hex digits) of a file",
    "usage: qor fingerprint FILE [--json]\n"
    "\n"
    "Prints the fingerprint of FILE: its MD5 as 32 lower-case hexadecimal digits, the value that\n"
    "setup.exe computes of its own file and that the published answer must confirm.\n"
    "--json prints one JSON document instead: file (FILE as given), fingerprint.\n"
    "Exit codes: 0 printed, 2 bad usage or an unreadable file.\n",
    Run};

}  // namespace qor::cli
