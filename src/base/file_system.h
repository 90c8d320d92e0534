// The few file-system operations the program needs beyond streams, with a POSIX and a Win32
// implementation. Byte-string paths (ANSI code page) convert to FilePath implicitly.
#pragma once

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

}  // namespace qor
