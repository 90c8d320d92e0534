// qor: the maker's release tool. Dispatches to one sub-command; every failure becomes one line on
// stderr and an exit code (0 success, 1 a failed verdict, 2 bad usage or input).
#include <cstdio>
#include <exception>
#include <string>

#include "cli.h"

#ifdef _WIN32
#include "base/wide_text.h"
#endif

namespace {

using qor::cli::Command;

const Command* const kCommands[] = {
    &qor::cli::kPackCommand,        &qor::cli::kListCommand,   &qor::cli::kExtractCommand,
    &qor::cli::kFingerprintCommand, &qor::cli::kAnswerCommand, &qor::cli::kCheckCommand,
};

void PrintOverview(std::FILE* out) {
  std::fputs(
      "usage: qor <command> [arguments]\n"
      "\n"
      "Makes and checks releases of the Pagrim setup program.\n"
      "\n"
      "commands:\n",
      out);
  for (const Command* command : kCommands) {
    std::fprintf(out, "  %-12s %s\n", command->name, command->summary);
  }
  std::fputs(
      "\n"
      "Run 'qor <command> --help' for a command's arguments. list, fingerprint, answer and\n"
      "check take --json and print one JSON document for scripts instead of their lines.\n"
      "Exit codes: 0 success, 1 a failed verdict, 2 bad usage or input.\n",
      out);
}

}  // namespace

namespace qor::cli {

bool WantsHelp(const Args& args) {
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") return true;
  }
  return false;
}

}  // namespace qor::cli

namespace {

int Dispatch(const qor::cli::Args& all) {
  if (all.empty()) {
    PrintOverview(stderr);
    return qor::cli::kExitBadInput;
  }
  const std::string& name = all[0];
  if (name == "-h" || name == "--help" || name == "help") {
    PrintOverview(stdout);
    return qor::cli::kExitSuccess;
  }
  for (const Command* command : kCommands) {
    if (name != command->name) continue;
    const qor::cli::Args args(all.begin() + 1, all.end());
    if (qor::cli::WantsHelp(args)) {
      std::fputs(command->help, stdout);
      return qor::cli::kExitSuccess;
    }
    try {
      return command->run(args);
    } catch (const qor::cli::UsageError& e) {
      std::fprintf(stderr, "qor %s: %s\n", command->name, e.what());
      std::fprintf(stderr, "Run 'qor %s --help' for usage.\n", command->name);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "qor %s: %s\n", command->name, e.what());
    }
    return qor::cli::kExitBadInput;
  }
  std::fprintf(stderr, "qor: unknown command '%s'\n\n", name.c_str());
  PrintOverview(stderr);
  return qor::cli::kExitBadInput;
}

}  // namespace

#ifdef _WIN32
// The wide arguments (linked with -municode): the ANSI ones would carry '?' for every character of
// a path that the ANSI code page lacks, and such a file could not be opened.
int wmain(int argc, wchar_t** argv) {
  qor::cli::Args args;
  for (int i = 1; i < argc; ++i) args.push_back(qor::Utf8FromWide(argv[i]));
  return Dispatch(args);
}
#else
int main(int argc, char** argv) { return Dispatch(qor::cli::Args(argv + 1, argv + argc)); }
#endif
