// qor pack: writes an install package from files, one entry per file, named after the file.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/stream.h"
#include "base/text.h"
#include "cli.h"
#include "extraction/package.h"
#include "package_writer.h"

namespace qor::cli {

namespace {

// Below this much input a pack is over before progress would be worth reading.
constexpr std::int64_t kProgressThreshold = std::int64_t{16} * 1024 * 1024;

struct Input {
  FilePath path;
  std::string name;
  std::unique_ptr<TFileStream> file;
  std::int64_t size = 0;
};

// One line on stderr, rewritten in place as whole percents go by.
class ProgressLine {
 public:
  ProgressLine(bool enabled, std::int64_t total) : enabled_(enabled), total_(total) {}
  ~ProgressLine() {
    if (shown_) std::fputs("\n", stderr);
  }
  void Show(const std::string& name, std::int64_t done) {
    if (!enabled_ || total_ <= 0) return;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    shown_ = true;
    std::fprintf(stderr, "\rpacking %3d%%  %s", percent, name.c_str());
    std::fflush(stderr);
  }

 private:
  bool enabled_;
  std::int64_t total_;
  int lastPercent_ = -1;
  bool shown_ = false;
};

int Run(const Args& args) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option '" + arg + "'");
  }
  if (args.size() < 2) throw UsageError("expected an output file and at least one input file");
  const FilePath out_path = PathArg(args[0]);

  // Every input is opened and every name checked before anything is written.
  std::vector<Input> inputs;
  std::set<std::string> names;
  std::int64_t total = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    Input input;
    input.path = PathArg(args[i]);
    // Split in the native form, where no byte of a character is a separator; entry names are
    // ANSI, as the unpacker reads them (a character the code page lacks becomes '?', refused).
    input.name = FilePath::FromNative(EntryNameForPath(input.path.Native())).Text();
    if (!IsPackableEntryName(input.name)) {
      throw EPackageError("\"" + input.path.Text() + "\" gives the entry name \"" + input.name +
                          "\", which Windows would not unpack under that name");
    }
    if (!names.insert(AsciiLowerCase(input.name)).second) {
      throw EPackageError("two inputs would both unpack to \"" + input.name + "\"");
    }
    input.file = std::make_unique<TFileStream>(input.path, FileMode::kOpenReadShared);
    input.size = input.file->GetSize();
    total += input.size;
    inputs.push_back(std::move(input));
  }
  if (inputs.size() > static_cast<std::size_t>(INT32_MAX)) throw UsageError("too many inputs");
  // Renaming the new package into place would replace an input by a package holding it; compared
  // by identity, so a link or another spelling of the same file is caught too.
  const std::optional<FileIdentity> out_identity = GetFileIdentity(out_path);
  for (const Input& input : inputs) {
    if (out_identity && GetFileIdentity(input.path) == out_identity) {
      throw InputRefused("the output \"" + out_path.Text() + "\" is the input \"" +
                         input.path.Text() + "\"; nothing was written");
    }
  }

  // A failed pack must not leave a half-written package under the final name.
  const FilePath temp_path =
      out_path +
      (".tmp-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFF));
  try {
    {
      TFileStream out(temp_path, FileMode::kCreate);
      PackageWriter writer(out, static_cast<std::int32_t>(inputs.size()));
      ProgressLine progress(StderrIsTerminal() && total >= kProgressThreshold, total);
      std::int64_t before = 0;
      for (Input& input : inputs) {
        writer.AddEntry(input.name, *input.file, input.size,
                        [&](std::int64_t done) { progress.Show(input.name, before + done); });
        before += input.size;
      }
      writer.Finish();
    }
    MoveFileReplacing(temp_path, out_path);
  } catch (...) {
    RemoveFileQuietly(temp_path);
    throw;
  }
  std::printf("%s: %zu %s, %lld bytes unpacked\n", out_path.Text().c_str(), inputs.size(),
              inputs.size() == 1 ? "entry" : "entries", static_cast<long long>(total));
  return kExitSuccess;
}

}  // namespace

const Command kPackCommand = {
    "pack", "write an install package from files",
    "usage: qor pack OUT.dat FILE...\n"
    "\n"
    "Writes the install package OUT.dat with one entry per FILE, in the order given, each named\n"
    "after the file (its name without the directory) and compressed as one zlib stream at\n"
    "level 9. The same files always give the same bytes. Refused, before anything is written:\n"
    "a name Windows would not give back (with a colon, a backslash or one of < > \" | ? *, only\n"
    "dots, a trailing dot or space, a device name such as CON or NUL), two inputs of the same\n"
    "name, and an OUT.dat that is one of the inputs (by any path or link). The package is\n"
    "written under a temporary name beside OUT.dat and renamed when complete, so a failed pack\n"
    "leaves an existing OUT.dat as it was. Progress is shown on stderr when it is a terminal\n"
    "and the input is large.\n"
    "\n"
    "Exit codes: 0 written, 2 bad usage or an input that cannot be read or packed.\n",
    Run};

}  // namespace qor::cli
