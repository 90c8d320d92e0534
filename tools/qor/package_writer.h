// Writes install packages: the maker's side of the format that the unpacker reads. Only the
// release tool links this; setup.exe carries no writer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/stream.h"

namespace qor {

// Writes a package to a stream it does not own: the entry count first, then each entry as it is
// added, its data compressed as one zlib stream at level 9 (header 78 DA). The same inputs always
// give the same bytes.
class PackageWriter {
 public:
  // Told the count of input bytes compressed so far for the current entry.
  using Progress = std::function<void(std::int64_t done)>;

  // Writes the entry count. Raises EPackageError when count is negative.
  PackageWriter(TStream& out, std::int32_t count);

  // Appends one entry of size bytes read from source. Raises EPackageError when the name is not
  // IsPackableEntryName, when size does not fit the format, or when more entries are added than
  // announced; EReadError when source holds fewer than size bytes.
  // Returns the length of the zlib stream written.
  std::int64_t AddEntry(std::string_view name, TStream& source, std::int64_t size,
                        const Progress& progress = {});

  // Raises EPackageError unless exactly the announced count of entries was added.
  void Finish() const;

 private:
  TStream& out_;
  std::int32_t count_;
  std::int32_t added_ = 0;
};

// True when name is a plain file name that the unpacker accepts on every platform and that
// Windows gives back unchanged: no separator, colon or other character Windows refuses in a file
// name (< > " | ? * and bytes below 32), no trailing dot or space (Windows drops them), and no
// device name such as CON, NUL or COM1, with or without an extension. GBK-aware: the second byte
// of a double-byte character is never taken for one of those characters.
bool IsPackableEntryName(std::string_view name);

// The entry name for a file path: the part after the last separator ('/' natively; also '\\' and
// ':' under Windows).
std::string EntryNameForPath(std::string_view path);

}  // namespace qor
