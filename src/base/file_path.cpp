#include "base/file_path.h"

#include <utility>

#include "base/file_system.h"

namespace qor {

namespace {

// Windows takes '/' as a separator too, as a maker's "out/" on qor's command line.
bool IsSeparator(char c) { return c == PathSeparator() || (PathSeparator() == '\\' && c == '/'); }

}  // namespace

FilePath::FilePath(const std::string& ansi) : native_(NativeFromAnsi(ansi)) {}

FilePath::FilePath(const char* ansi) : native_(NativeFromAnsi(ansi)) {}

FilePath FilePath::FromNative(std::string native) {
  FilePath path;
  path.native_ = std::move(native);
  return path;
}

std::string FilePath::Text() const { return AnsiFromNative(native_); }

FilePath FilePath::operator+(std::string_view suffix) const {
  return FromNative(native_ + NativeFromAnsi(suffix));
}

FilePath FilePath::Child(std::string_view name) const {
  std::string native = native_;
  if (!native.empty() && !IsSeparator(native.back())) native += PathSeparator();
  return FromNative(native + NativeFromAnsi(name));
}

FilePath FilePath::Directory() const {
  std::size_t end = native_.size();
  while (end > 0 && !IsSeparator(native_[end - 1])) --end;
  return FromNative(native_.substr(0, end));
}

}  // namespace qor
