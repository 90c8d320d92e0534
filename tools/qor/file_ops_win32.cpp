#include <io.h>
#include <windows.h>

#include <cstdio>

#include "base/stream.h"
#include "file_ops.h"

namespace qor::cli {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void MoveFileReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw EStreamError("Cannot write \"" + to + "\": error " + std::to_string(GetLastError()));
  }
}

void RemoveFileQuietly(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace qor::cli
