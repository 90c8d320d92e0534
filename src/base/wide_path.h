// Windows only: paths and texts in UTF-16 for the wide Win32 functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/file_path.h"

namespace qor {

// A zero-terminated UTF-16 text, kept in a vector (no std::wstring in setup code:
// src/runtime/README.md).
using WideChars = std::vector<wchar_t>;

WideChars WidePath(const FilePath& path);
// Invalid UTF-8 becomes U+FFFD.
WideChars WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace qor
