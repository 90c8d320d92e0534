// The few file-system operations the program needs beyond streams, with a POSIX and a Win32
// implementation. Byte-string paths (ANSI code page) convert to FilePath implicitly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/file_path.h"

namespace qor {

// The separator the platform's paths use: '\\' on Windows, '/' elsewhere.
char PathSeparator();

bool DirectoryExists(const FilePath& path);
bool FileExists(const FilePath& path);

// Creates the directory with every missing parent; raises EStreamError "Cannot create directory
// "PATH": <the system's words>" when that fails. Trailing separators are ignored.
void ForceDirectories(const FilePath& path);

// Renames the file from to to, replacing a file already there. Raises EStreamError "Cannot write
// "TO": <the system's words>" when that fails, and from stays as it was.
void MoveFileReplacing(const FilePath& from, const FilePath& to);

// Removes the file if there is one. A failure is ignored: what stays is only a leftover.
void RemoveFileQuietly(const FilePath& path);

// Whether the standard error stream is a terminal (a console on Windows), where progress that
// rewrites its line is worth showing.
bool StderrIsTerminal();

// The code of this thread's last failed call of the system: errno, or GetLastError() on Windows.
// Read it before making a message, whose own calls may change it.
std::uint32_t LastSystemError();

// The system's own words for such a code, without a line end; "error N" when it has none. On
// Windows in the ANSI code page, as every byte-string message of the program.
std::string SystemErrorText(std::uint32_t code);

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
