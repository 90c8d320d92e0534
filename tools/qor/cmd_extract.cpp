// qor extract: unpacks an install package with the very unpacker setup.exe uses.
#include <cstdio>
#include <exception>
#include <string>

#include "base/stream.h"
#include "cli.h"
#include "extraction/package.h"

namespace qor::cli {

namespace {

int Run(const Args& args) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option '" + arg + "'");
  }
  if (args.size() != 2) throw UsageError("expected a package file and a target directory");
  const FilePath package = PathArg(args[0]);
  // An unreadable package is bad input, not a failed unpacking.
  {
    TFileStream probe(package, FileMode::kOpenReadShared);
  }
  try {
    // Every package is unpacked on Windows, so its names are judged and placed as there.
    UnpackPackage(package, PathArg(args[1]), EntryNameRules::kWindows);
  } catch (const EEntryRefused&) {
    throw;  // bad input: main prints it, exit 2
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qor extract: not unpacked completely: %s\n", e.what());
    return kExitVerdictFailed;
  }
  return kExitSuccess;
}

}  // namespace

const Command kExtractCommand = {
    "extract", "unpack an install package into a directory",
    "usage: qor extract PKG DIR\n"
    "\n"
    "Unpacks the install package PKG into DIR (created with its parents when missing), exactly\n"
    "as setup.exe does: each entry becomes a file of its name in DIR, replacing any file there.\n"
    "Names are judged by Windows rules on every platform: a name that would leave DIR (\"..\",\n"
    "a root, a drive, a colon) is refused, and a backslash separates folders, as on Windows\n"
    "(the folder must exist; none is created). An entry whose file would be PKG itself (by any\n"
    "path or link) is refused before anything is written to it. Entries before a refused one\n"
    "stay written.\n"
    "\n"
    "Exit codes: 0 every entry written whole, 1 the unpacking stopped early (files written until\n"
    "then stay), 2 bad usage, a package that cannot be read, or a refused entry.\n",
    Run};

}  // namespace qor::cli
