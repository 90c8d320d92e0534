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

std::optional<FileIdentity> GetFileIdentity(const std::string& path) {
  // No access rights asked: that opens even a file another handle holds without sharing, and
  // backup semantics let a directory open too.
  const HANDLE file =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

}  // namespace qor
