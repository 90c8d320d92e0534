// The few file-system operations the program needs beyond streams, with a POSIX and a Win32
// implementation. Paths are ANSI-code-page text.
#pragma once

#include <string>

namespace qor {

// The separator the platform's paths use: '\\' on Windows, '/' elsewhere.
char PathSeparator();

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);

// Creates the directory with every missing parent; raises EStreamError when that fails.
void ForceDirectories(const std::string& path);

// The full path of the running program's executable file.
std::string ExecutablePath();

}  // namespace qor
