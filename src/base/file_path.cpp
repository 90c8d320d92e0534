#include "base/file_path.h"

#include <utility>

#include "base/file_system.h"

namespace qor {

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
  if (!native.empty() && native.back() != PathSeparator()) native += PathSeparator();
  return FromNative(native + NativeFromAnsi(name));
}

FilePath FilePath::Directory() const {
  const std::size_t at = native_.rfind(PathSeparator());
  return FromNative(at == std::string::npos ? std::string() : native_.substr(0, at + 1));
}

}  // namespace qor
