#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/stream.h"
#include "file_ops.h"

namespace qor::cli {

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void MoveFileReplacing(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    throw EStreamError("Cannot write \"" + to + "\": " + std::strerror(errno));
  }
}

void RemoveFileQuietly(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace qor::cli
