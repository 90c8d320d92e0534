// A temporary folder that exists for the lifetime of the object and is removed with everything in
// it afterwards. Works natively and under Wine.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qor::testing {

class TempDir {
 public:
  // Creates a fresh folder under the system's temporary folder; name_hint becomes part of it.
  explicit TempDir(std::string_view name_hint = "qor");
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  // The folder as a native ANSI path text, with or without a trailing separator.
  std::string Text(bool trailing_separator = false) const;
  // The native path text of name inside the folder.
  std::string File(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// Writes bytes to path, replacing the file.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
// The whole content of path; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

}  // namespace qor::testing
