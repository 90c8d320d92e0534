#include <windows.h>

#include "base/file_system.h"
#include "base/stream.h"
#include "base/text.h"

namespace qor {

char PathSeparator() { return '\\'; }

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ForceDirectories(const std::string& path) {
  std::string dir = path;
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  // "C:" and "\\server\share" roots exist or not; they cannot be created.
  if (dir.empty() || DirectoryExists(dir) || (dir.size() == 2 && dir[1] == ':')) return;
  const std::size_t at = LastDelimiter(dir, "\\/");
  if (at != std::string::npos && at > 0) ForceDirectories(dir.substr(0, at));
  if (!CreateDirectoryA(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw EStreamError("Cannot create directory \"" + dir + "\"");
  }
}

std::string ExecutablePath() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace qor
