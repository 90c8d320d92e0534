// qor's output for scripts (--json): one JSON document on stdout, its fields in the order each
// command's help lists them. Errors stay one line on stderr, as without --json.
#pragma once

#include <nlohmann/json.hpp>

#include "cli.h"

namespace qor::cli {

using Json = nlohmann::ordered_json;

// Removes every "--json" from args; true when there was one.
bool TakeJsonFlag(Args& args);

// Writes document to stdout, indented, and a line end. Strings are byte texts: a byte sequence that
// is not UTF-8 (a name in another code page, a server's status line) comes out as U+FFFD. Paths go
// in native (FilePath::Native): UTF-8 on Windows, so every name comes out whole there.
void PrintJson(const Json& document);

}  // namespace qor::cli
