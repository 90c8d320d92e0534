// qor list: shows the entries of an install package, read with the very reader setup.exe uses.
#include <cstdio>
#include <exception>
#include <string>

#include "base/stream.h"
#include "cli.h"
#include "extraction/package.h"
#include "json_output.h"

namespace qor::cli {

namespace {

int Run(const Args& given) {
  Args args = given;
  const bool json = TakeJsonFlag(args);
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option '" + arg + "'");
  }
  if (args.size() != 1) throw UsageError("expected one package file");
  const FilePath path = PathArg(args[0]);
  TFileStream package(path, FileMode::kOpenReadShared);
  if (!json) std::printf("%12s %12s  %s\n", "unpacked", "stream", "name");
  Json entries = Json::array();
  Json problems = Json::array();
  // Each problem is also one line on stderr, with or without --json.
  const auto report = [&problems](const std::string& problem) {
    std::fprintf(stderr, "qor list: %s\n", problem.c_str());
    problems.push_back(problem);
  };
  try {
    PackageReader reader(package);
    PackageEntry entry;
    // Names are checked as setup.exe checks them, whatever platform this runs on.
    while (reader.NextEntry(entry, EntryNameRules::kWindows)) {
      const EntryResult result = reader.SkipEntry();
      if (json) {
        entries.push_back({{"name", entry.name},
                           {"unpacked_size", entry.size},
                           {"stored_size", result.stream_size},
                           {"inflated_size", result.inflated}});
      } else {
        std::printf("%12ld %12lld  %s\n", static_cast<long>(entry.size),
                    static_cast<long long>(result.stream_size), entry.name.c_str());
      }
      if (result.inflated != entry.size) {
        report("\"" + entry.name + "\" declares " + std::to_string(entry.size) +
               " bytes but its stream holds " + std::to_string(result.inflated));
      }
    }
  } catch (const EEntryRefused&) {
    throw;  // a name Windows would not take back: bad input, exit 2
  } catch (const std::exception& e) {
    report(std::string("the package is damaged: ") + e.what());
  }
  if (json) {
    PrintJson({{"package", path.Native()},
               {"entries", entries},
               {"sound", problems.empty()},
               {"problems", problems}});
  }
  return problems.empty() ? kExitSuccess : kExitVerdictFailed;
}

}  // namespace

const Command kListCommand = {
    "list", "show the entries of an install package",
    "usage: qor list PKG [--json]\n"
    "\n"
    "Prints one line per entry of the install package PKG: its unpacked size as declared, the\n"
    "length of its zlib stream in the package, and its name. Every stream is inflated through\n"
    "its trailer, so its checksum is tested too.\n"
    "\n"
    "--json prints one JSON document instead (also for exit 1; none for exit 2):\n"
    "  package        PKG as given\n"
    "  entries        one object per entry read, in package order:\n"
    "    name           the entry's name (bytes that are not UTF-8 show as U+FFFD)\n"
    "    unpacked_size  the unpacked size the entry declares, in bytes\n"
    "    stored_size    the length of its zlib stream in the package, trailer included\n"
    "    inflated_size  the bytes its stream inflates to (sound: equal to unpacked_size)\n"
    "  sound          true when every stream inflated through its trailer to its declared size\n"
    "  problems       what is wrong, one text each, as on stderr; empty when sound\n"
    "\n"
    "Names are judged by Windows rules on every platform, as setup.exe judges them.\n"
    "\n"
    "Exit codes: 0 sound, 1 the package is damaged (a bad stream, a size that does not match),\n"
    "2 bad usage, a file that cannot be read, or a name that would leave the target directory\n"
    "(\"..\", a root, a drive, a colon).\n",
    Run};

}  // namespace qor::cli
