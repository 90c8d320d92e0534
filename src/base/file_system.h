// The few file-system operations the program needs beyond streams, with a POSIX and a Win32
// implementation. Byte-string paths (ANSI code page) convert to FilePath implicitly.
#pragma once

#include <cstdint>
#include <optional>

#include "base/file_path.h"

namespace qor {

// The separator the platform's paths use: '\\' on Windows, '/' elsewhere.
char PathSeparator();

bool DirectoryExists(const FilePath& path);
bool FileExists(const FilePath& path);

// Creates the directory with every missing parent; raises EStreamError when that fails. Trailing
// separators are ignored.
void ForceDirectories(const FilePath& path);

// The full path of the running program's executable file, as the system names it (on Windows
// the wide name, so any folder works whatever the ANSI code page).
FilePath ExecutablePath();

// Which file a path names, whatever the spelling: two paths give equal identities exactly when
// they reach the same file, through hard links, symbolic links, "." and "..", or letter case where
// the file system ignores it.
// POSIX: device and inode; Windows: volume serial number and file index.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the existing file or directory at path (symbolic links followed); nothing when
// it does not exist or cannot be examined. Opens nothing for reading or writing.
std::optional<FileIdentity> GetFileIdentity(const FilePath& path);

}  // namespace qor
