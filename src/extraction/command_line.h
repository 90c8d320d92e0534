// The program's arguments as the platform's start-up code splits them. Portable.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

// Splits a whole command line (program name first) into arguments: bytes 1..32 (spaces and
// control characters) separate them, double quotes group text that may hold separators and are
// removed, and empty pairs of quotes before an argument are skipped. A zero byte ends the line.
// Bytes above 127 are ordinary text (neither GBK nor UTF-8 uses a quote or a space inside a
// character).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Argument index of commandLine (0 is the program name); empty when there are fewer.
std::string CommandLineArgument(std::string_view commandLine, std::size_t index);

}  // namespace qor
