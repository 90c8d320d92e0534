// TFileStream over POSIX file descriptors. Sharing modes have no equivalent here and are ignored.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/stream.h"

namespace qor {

TFileStream::TFileStream(const FilePath& path, FileMode mode) {
  int flags = O_RDONLY;
  if (mode == FileMode::kCreate) flags = O_RDWR | O_CREAT | O_TRUNC;
  int fd = ::open(path.Native().c_str(), flags | O_CLOEXEC, 0644);
  if (fd >= 0 && mode != FileMode::kCreate) {
    // A directory opens read-only on POSIX but is no file to stream.
    struct stat info{};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
      ::close(fd);
      fd = -1;
      errno = EISDIR;
    }
  }
  if (fd < 0)
    throw EFileOpenError("Cannot open file \"" + path.Text() + "\": " + std::strerror(errno));
  handle_.Reset(fd);
}

void FileHandleTraits::Free(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle_.Get()), buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw EReadError();
  }
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::write(static_cast<int>(handle_.Get()), buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return 0;
  }
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
  int whence = SEEK_SET;
  if (origin == SeekOrigin::Current) whence = SEEK_CUR;
  if (origin == SeekOrigin::End) whence = SEEK_END;
  const off_t at = ::lseek(static_cast<int>(handle_.Get()), static_cast<off_t>(offset), whence);
  if (at < 0) throw EStreamError(std::string("Seek failed: ") + std::strerror(errno));
  return static_cast<std::int64_t>(at);
}

}  // namespace qor
