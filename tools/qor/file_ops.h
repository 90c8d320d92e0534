// The few platform operations the package commands need beyond streams.
#pragma once

#include <string>

namespace qor::cli {

// True when stderr is a terminal, where progress is worth showing.
bool StderrIsTerminal();

// Renames from to to, replacing an existing to. Raises EStreamError on failure.
void MoveFileReplacing(const std::string& from, const std::string& to);

// Removes the file if it exists; failures are ignored.
void RemoveFileQuietly(const std::string& path);

}  // namespace qor::cli
