#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/file_system.h"
#include "base/stream.h"

namespace qor {

char PathSeparator() { return '/'; }

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

void ForceDirectories(const std::string& path) {
  std::string dir = path;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.empty() || DirectoryExists(dir)) return;
  const std::size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0) ForceDirectories(dir.substr(0, slash));
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
    throw EStreamError("Cannot create directory \"" + dir + "\": " + std::strerror(errno));
  }
}

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::optional<FileIdentity> GetFileIdentity(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace qor
