// The system's ANSI code page, UTF-8 and UTF-16 on Windows. Paths travel as UTF-8 and reach the
// file system in UTF-16; the ANSI code page is only where byte-string paths come from.
#include <windows.h>

#include <climits>

#include "base/file_path.h"
#include "base/stream.h"
#include "base/text.h"
#include "base/wide_text.h"

namespace qor {

namespace {

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw EStreamError("Text too long to convert");
  return static_cast<int>(size);
}

}  // namespace

// NOLINTBEGIN(bugprone-suspicious-stringview-data-usage): each view's length goes with its data.
WideText Widen(unsigned codePage, std::string_view text) {
  const int length = CheckedLength(text.size());
  const int count = length ? MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0) : 0;
  WideText wide(static_cast<std::size_t>(count));
  if (count) MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), count);
  return wide;
}

std::string Narrow(unsigned codePage, std::wstring_view wide) {
  const int length = CheckedLength(wide.size());
  const int count =
      length ? WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr)
             : 0;
  std::string text(static_cast<std::size_t>(count), '\0');
  if (count) {
    WideCharToMultiByte(codePage, 0, wide.data(), length, text.data(), count, nullptr, nullptr);
  }
  return text;
}
// NOLINTEND(bugprone-suspicious-stringview-data-usage)

bool IsSystemLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

std::string FilePath::NativeFromAnsi(std::string_view ansi) {
  return Narrow(CP_UTF8, Widen(CP_ACP, ansi).view());
}

std::string FilePath::AnsiFromNative(std::string_view native) {
  return Narrow(CP_ACP, Widen(CP_UTF8, native).view());
}

WideText WidePath(const FilePath& path) { return Widen(CP_UTF8, path.Native()); }

WideText WideFromUtf8(std::string_view utf8) { return Widen(CP_UTF8, utf8); }

std::string Utf8FromWide(std::wstring_view wide) { return Narrow(CP_UTF8, wide); }

}  // namespace qor
