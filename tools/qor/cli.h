// Shared conventions of the qor sub-commands: exit codes, usage errors and help.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_path.h"

namespace qor::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitVerdictFailed = 1;  // the work ran, but its verdict is a failure
inline constexpr int kExitBadInput = 2;       // bad usage, or an input that cannot be used

// Raised for bad usage; main prints the message and the command's usage line, exit 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised for an input the command will not use; main prints the message alone, exit 2.
class InputRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command's arguments in the native encoding: UTF-8 from the wide command line on Windows, the
// bytes as given elsewhere.
using Args = std::vector<std::string>;

// An argument that names a file or folder. It is native already; the implicit conversion would
// read it as ANSI and garble every name outside the ASCII range.
inline FilePath PathArg(const std::string& arg) { return FilePath::FromNative(arg); }

// True when args holds -h or --help.
bool WantsHelp(const Args& args);

// One sub-command: its name, a one-line summary, its help text, and its body. The body returns
// the exit code; exceptions it lets escape become one line on stderr and exit 2.
struct Command {
  const char* name;
  const char* summary;
  const char* help;
  int (*run)(const Args& args);
};

// The sub-commands, each defined in its own cmd_*.cpp.
extern const Command kFingerprintCommand;
extern const Command kAnswerCommand;
extern const Command kPackCommand;
extern const Command kListCommand;
extern const Command kExtractCommand;
extern const Command kCheckCommand;

}  // namespace qor::cli
