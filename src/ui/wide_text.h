// GBK byte texts to and from UTF-16, so that windows read right whatever the system's ANSI code
// page is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qor::ui {

// A zero-terminated UTF-16 text for the wide Win32 functions, kept in a vector (no std::wstring in
// setup code: src/runtime/README.md).
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

// Converts GBK (code page 936) to UTF-16. Bytes that are not GBK become U+FFFD or similar.
WideText Widen(std::string_view gbk);
// Converts UTF-16 to GBK; characters without a GBK form become '?'.
std::string Narrow(std::wstring_view text);

}  // namespace qor::ui
