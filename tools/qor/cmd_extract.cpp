// qor extract: unpacks an install package with the very unpacker setup.exe uses.
#include <cstdio>
#include <exception>
#include <string>

#include "base/stream.h"
#include "cli.h"
#include "extraction/package.h"

namespace qor::cli {

namespace {

// The unpacker says only whether it completed; walking the package again finds out why not.
std::string DescribeFault(const std::string& path) {
  try {
    TFileStream package(path, FileMode::kOpenReadShared);
    PackageReader reader(package);
    PackageEntry entry;
    while (reader.NextEntry(entry)) {
      const EntryResult result = reader.SkipEntry();
      if (result.inflated < entry.size) {
        return "the stream of \"" + entry.name + "\" holds " + std::to_string(result.inflated) +
               " bytes, fewer than the " + std::to_string(entry.size) + " declared";
      }
    }
  } catch (const std::exception& e) {
    return e.what();
  }
  return "a file could not be written";
}

int Run(const Args& args) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option '" + arg + "'");
  }
  if (args.size() != 2) throw UsageError("expected a package file and a target directory");
  // An unreadable package is bad input, not a failed unpacking.
  { TFileStream probe(args[0], FileMode::kOpenReadShared); }
  if (UnpackPackageFile(args[0], args[1])) return kExitSuccess;
  std::fprintf(stderr, "qor extract: not unpacked completely: %s\n",
               DescribeFault(args[0]).c_str());
  return kExitVerdictFailed;
}

}  // namespace

const Command kExtractCommand = {
    "extract", "unpack an install package into a directory",
    "usage: qor extract PKG DIR\n"
    "\n"
    "Unpacks the install package PKG into DIR (created with its parents when missing), exactly\n"
    "as setup.exe does: each entry becomes a file of its name in DIR, replacing any file there.\n"
    "\n"
    "Exit codes: 0 every entry written whole, 1 the unpacking stopped early (files written until\n"
    "then stay), 2 bad usage or a package that cannot be read.\n",
    Run};

}  // namespace qor::cli
