// Windows only: texts in UTF-16 for the wide Win32 functions, and their conversions from and to
// the byte texts of a code page (GBK for the windows' texts, UTF-8 for paths, the system's ANSI
// code page where byte-string paths come from).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_path.h"

namespace qor {

// A zero-terminated UTF-16 text, kept in a vector (no std::wstring in setup code:
// src/runtime/README.md).
class WideText {
 public:
  WideText() : chars_(1, L'\0') {}
  // length characters of L'\0', to be filled through data().
  explicit WideText(std::size_t length) : chars_(length + 1, L'\0') {}

  const wchar_t* c_str() const { return chars_.data(); }
  wchar_t* data() { return chars_.data(); }
  std::size_t size() const { return chars_.size() - 1; }
  std::wstring_view view() const { return std::wstring_view(chars_.data(), size()); }

 private:
  std::vector<wchar_t> chars_;
};

// The code page's bytes in UTF-16; bytes that are not of the code page become U+FFFD or similar.
// Raises EStreamError for a text of over INT_MAX bytes.
WideText Widen(unsigned codePage, std::string_view text);
// UTF-16 in the code page; characters it has no form for become '?'.
std::string Narrow(unsigned codePage, std::wstring_view wide);

WideText WidePath(const FilePath& path);
// Invalid UTF-8 becomes U+FFFD.
WideText WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

}  // namespace qor
