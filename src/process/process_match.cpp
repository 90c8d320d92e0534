#include "process/process_match.h"

#include <cstring>

#include "base/text.h"

namespace qor {

std::string ExecutableNameFromField(const char* field, std::size_t fieldSize) {
  const void* end = std::memchr(field, 0, fieldSize);
  std::size_t length =
      end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : fieldSize;
  return std::string(field, length);
}

bool ImageNameMatches(std::string_view executable, std::string_view name, LeadByteRule rule) {
  const std::string folded_name = AsciiUpperCase(name);
  return AsciiUpperCase(ExtractFileName(executable, rule)) == folded_name ||
         AsciiUpperCase(executable) == folded_name;
}

bool TerminateMatching(std::string_view name, const std::function<bool(ProcessEntry&)>& next,
                       const std::function<bool(std::uint32_t)>& terminate) {
  bool result = false;
  try {
    ProcessEntry entry;
    while (next(entry)) {
      if (ImageNameMatches(entry.executable, name)) result = terminate(entry.id);
    }
  } catch (...) {
    // Ending processes is best effort; what was decided so far stands.
  }
  return result;
}

}  // namespace qor
