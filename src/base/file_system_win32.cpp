// File-system operations through the wide Win32 functions: a FilePath is UTF-8, so any folder
// name works whatever the ANSI code page, and splitting it needs no double-byte rules.
#include <windows.h>

#include "base/file_system.h"
#include "base/stream.h"
#include "base/wide_path.h"

namespace qor {

char PathSeparator() { return '\\'; }

namespace {

DWORD Attributes(const FilePath& path) { return GetFileAttributesW(WidePath(path).data()); }

}  // namespace

bool DirectoryExists(const FilePath& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const FilePath& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void ForceDirectories(const FilePath& path) {
  std::string dir = path.Native();
  while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  // "C:" and "\\server\share" roots exist or not; they cannot be created.
  if (dir.empty() || DirectoryExists(FilePath::FromNative(dir)) ||
      (dir.size() == 2 && dir[1] == ':')) {
    return;
  }
  const std::size_t at = dir.find_last_of("\\/");
  if (at != std::string::npos && at > 0) ForceDirectories(FilePath::FromNative(dir.substr(0, at)));
  const FilePath created = FilePath::FromNative(dir);
  if (!CreateDirectoryW(WidePath(created).data(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    throw EStreamError("Cannot create directory \"" + created.Text() + "\"");
  }
}

FilePath ExecutablePath() {
  WideChars buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return FilePath::FromNative(Utf8FromWide({buffer.data(), n}));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace qor
