// Which running processes count as "named like" a given file name, and the rule that decides the
// result of ending them. Portable: the ToolHelp walk (process_termination_win32.cpp) feeds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/text.h"

namespace qor {

// The executable name of a process entry: the bytes of the fixed field up to its first zero byte
// (all of them when there is none).
std::string ExecutableNameFromField(const char* field, std::size_t fieldSize);

// True when the process whose executable name (bare file name or full path, ANSI code page) is
// executable is named like name: the file-name part (after the last backslash or colon, with the
// double-byte characters of rule) or the whole executable name equals name, with only ASCII
// letters folded. The names are the system's, so the system's code page decides by default.
bool ImageNameMatches(std::string_view executable, std::string_view name,
                      LeadByteRule rule = IsSystemLeadByte);

struct ProcessEntry {
  std::uint32_t id = 0;
  std::string executable;
};

// Walks the entries that next() delivers (it returns false when there are no more) and calls
// terminate(id) for every entry that matches name. Returns the success of the last termination
// attempted, false when none matched. Errors raised by next or terminate end the walk; the result
// then holds the value it had.
bool TerminateMatching(std::string_view name, const std::function<bool(ProcessEntry&)>& next,
                       const std::function<bool(std::uint32_t)>& terminate);

}  // namespace qor
