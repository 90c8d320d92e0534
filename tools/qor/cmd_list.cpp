// qor list: shows the entries of an install package, read with the very reader setup.exe uses.
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
  if (args.size() != 1) throw UsageError("expected one package file");
  TFileStream package(args[0], FileMode::kOpenReadShared);
  std::printf("%12s %12s  %s\n", "unpacked", "stream", "name");
  int verdict = kExitSuccess;
  try {
    PackageReader reader(package);
    PackageEntry entry;
    // Names are checked as setup.exe checks them, whatever platform this runs on.
    while (reader.NextEntry(entry, EntryNameRules::kWindows)) {
      const EntryResult result = reader.SkipEntry();
      std::printf("%12ld %12lld  %s\n", static_cast<long>(entry.size),
                  static_cast<long long>(result.stream_size), entry.name.c_str());
      if (result.inflated != entry.size) {
        std::fprintf(stderr, "qor list: \"%s\" declares %ld bytes but its stream holds %lld\n",
                     entry.name.c_str(), static_cast<long>(entry.size),
                     static_cast<long long>(result.inflated));
        verdict = kExitVerdictFailed;
      }
    }
  } catch (const EEntryRefused&) {
    throw;  // a name Windows would not take back: bad input, exit 2
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qor list: the package is damaged: %s\n", e.what());
    return kExitVerdictFailed;
  }
  return verdict;
}

}  // namespace

const Command kListCommand = {
    "list", "show the entries of an install package",
    "usage: qor list PKG\n"
    "\n"
    "Prints one line per entry of the install package PKG: its unpacked size as declared, the\n"
    "length of its zlib stream in the package, and its name. Every stream is inflated through\n"
    "its trailer, so its checksum is tested too.\n"
    "\n"
    "Names are judged by Windows rules on every platform, as setup.exe judges them.\n"
    "\n"
    "Exit codes: 0 sound, 1 the package is damaged (a bad stream, a size that does not match),\n"
    "2 bad usage, a file that cannot be read, or a name that would leave the target directory\n"
    "(\"..\", a root, a drive, a colon).\n",
    Run};

}  // namespace qor::cli
