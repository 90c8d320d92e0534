#include "extraction/command_line.h"

#include <algorithm>

namespace qor {

namespace {

bool IsSeparator(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte != 0 && byte <= ' ';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  const std::size_t end = std::min(commandLine.find('\0'), commandLine.size());
  std::string_view line = commandLine.substr(0, end);
  std::vector<std::string> arguments;
  std::size_t at = 0;
  for (;;) {
    // Separators and empty quote pairs before an argument are skipped alike.
    for (;;) {
      while (at < line.size() && IsSeparator(line[at])) ++at;
      if (line.substr(at, 2) == "\"\"") {
        at += 2;
      } else {
        break;
      }
    }
    if (at >= line.size()) break;
    std::string argument;
    while (at < line.size() && !IsSeparator(line[at])) {
      if (line[at] == '"') {
        ++at;
        while (at < line.size() && line[at] != '"') argument += line[at++];
        if (at < line.size()) ++at;  // the closing quote
      } else {
        argument += line[at++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string CommandLineArgument(std::string_view commandLine, std::size_t index) {
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  return index < arguments.size() ? arguments[index] : std::string();
}

}  // namespace qor
