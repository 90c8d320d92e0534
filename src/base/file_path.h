// File-system paths in the form the platform's own file functions take. Portable code keeps
// byte-string paths in the ANSI code page; they convert to a FilePath on the way to the file
// system, so only code that starts from the system's own path (the program's file) needs more.
#pragma once

#include <string>
#include <string_view>

namespace qor {

// A path held in the platform's native encoding: UTF-8 on Windows, turned into UTF-16 for the wide
// Win32 functions at each call, so that a folder whose name the ANSI code page cannot spell (a
// Chinese folder on a Western system, a Korean one on a Chinese system) still opens; the bytes as
// they are elsewhere. In UTF-8 no byte of a non-ASCII character is a separator, so splitting the
// native form needs no double-byte rules.
class FilePath {
 public:
  FilePath() = default;
  // An ANSI-code-page byte string (implicit: every byte-string path is one of these).
  FilePath(const std::string& ansi);
  FilePath(const char* ansi);
  // A path already in the native encoding.
  static FilePath FromNative(std::string native);

  const std::string& Native() const { return native_; }
  bool empty() const { return native_.empty(); }
  // The path in the ANSI code page, for messages; characters it lacks become '?'.
  std::string Text() const;

  // This path followed directly by suffix, an ANSI-code-page text.
  FilePath operator+(std::string_view suffix) const;
  // The file name, an ANSI-code-page text, inside this directory: a separator is put between
  // them unless the path is empty or already ends with one.
  FilePath Child(std::string_view name) const;
  // The part up to and including the last separator (backslash on Windows, '/' elsewhere);
  // empty when there is none.
  FilePath Directory() const;

 private:
  // The platform's conversions between the ANSI code page and the native encoding.
  static std::string NativeFromAnsi(std::string_view ansi);
  static std::string AnsiFromNative(std::string_view native);

  std::string native_;
};

}  // namespace qor
