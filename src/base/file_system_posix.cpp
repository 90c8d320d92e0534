#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/file_system.h"
#include "base/stream.h"

namespace qor {

char PathSeparator() { return '/'; }

bool DirectoryExists(const FilePath& path) {
  struct stat info{};
  return ::stat(path.Native().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileExists(const FilePath& path) {
  struct stat info{};
  return ::stat(path.Native().c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void ForceDirectories(const FilePath& path) {
  // '/' is never the trail byte of a double-byte character, so the bytes split as they are.
  std::string dir = path.Native();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.empty() || DirectoryExists(FilePath::FromNative(dir))) return;
  const std::size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    ForceDirectories(FilePath::FromNative(dir.substr(0, slash)));
  }
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    const std::uint32_t error = LastSystemError();
    throw EStreamError("Cannot create directory \"" + dir + "\": " + SystemErrorText(error));
  }
}

void MoveFileReplacing(const FilePath& from, const FilePath& to) {
  if (std::rename(from.Native().c_str(), to.Native().c_str()) != 0) {
    const std::uint32_t error = LastSystemError();
    throw EStreamError("Cannot write \"" + to.Text() + "\": " + SystemErrorText(error));
  }
}

void RemoveFileQuietly(const FilePath& path) { ::unlink(path.Native().c_str()); }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::uint32_t LastSystemError() { return static_cast<std::uint32_t>(errno); }

std::string SystemErrorText(std::uint32_t code) { return std::strerror(static_cast<int>(code)); }

FilePath ExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return {};
  return FilePath::FromNative(std::string(buffer.data(), static_cast<std::size_t>(n)));
}

std::optional<FileIdentity> GetFileIdentity(const FilePath& path) {
  struct stat info{};
  if (::stat(path.Native().c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace qor
