// The install package and its unpacker.
//
// Layout, all integers 32-bit little-endian signed: an entry count, then that many entries, each
// a name length N, N name bytes (ANSI code page, no terminating zero), an unpacked size S and one
// zlib stream that inflates to S bytes. The next entry begins directly behind the stream's
// Adler-32 trailer; stream lengths are stored nowhere and found only by inflating.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/file_path.h"
#include "base/stream.h"

namespace qor {

// A package that breaks the format: a header cut short, a negative length or size, or an entry
// name that would place a file outside the target directory. The message says which entry.
class EPackageError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// An entry the unpacker will not write, though the package may be sound: its name would place the
// file outside the target directory, or its file would be the package being read.
class EEntryRefused : public EPackageError {
 public:
  using EPackageError::EPackageError;
};

// Which separators an entry name is checked against.
enum class EntryNameRules {
  kPosix,    // '/' separates; a backslash is an ordinary byte
  kWindows,  // '\\' and '/' both separate (every such byte, whatever the code page)
  kNative,   // the rules of the platform this program runs on
};

// True when name may be appended to a target directory: it is not empty, not absolute, has no
// drive or root part, no colon (drive letters, alternate data streams), no zero byte, and no
// component made only of dots: "." and ".." name directories, and Windows drops trailing dots
// from longer runs. Under kWindows dots and spaces count together, as Windows drops both.
bool IsSafeEntryName(std::string_view name, EntryNameRules rules = EntryNameRules::kNative);

// The longest entry name accepted; Windows paths cannot be longer anyway.
inline constexpr std::int32_t kMaxEntryNameLength = 32767;

// The header of one entry as stored.
struct PackageEntry {
  std::string name;
  std::int32_t size = 0;  // the unpacked size S
};

// What inflating one entry found.
struct EntryResult {
  std::int64_t inflated = 0;     // bytes the zlib stream holds
  std::int64_t stream_size = 0;  // bytes of the zlib stream in the package, trailer included
};

// Walks the entries of a package, one after the other, over a stream it does not own. Used by
// the unpacker and by the maker's tool, so both read exactly the same way.
//
// Each entry is read with NextEntry and then inflated by exactly one call of CopyEntry or
// SkipEntry, which always inflate the zlib stream through its trailer (checking its Adler-32) so
// that the next header is read directly behind it.
class PackageReader {
 public:
  // Reads the entry count; a count of 0 or less means no entries. Raises EPackageError when the
  // package is shorter than the count field.
  explicit PackageReader(TStream& package);

  std::int32_t Count() const { return count_; }

  // Reads the next entry's header into entry; false when every entry has been read. Raises
  // EPackageError on a short header or a negative length or size, EEntryRefused on a name
  // refused under rules.
  bool NextEntry(PackageEntry& entry, EntryNameRules rules = EntryNameRules::kNative);

  // Inflates the current entry: its first entry.size bytes go to target in chunks of 61,440
  // bytes, the rest of the stream is discarded. Raises EPackageError when the stream is corrupt
  // (bad header, data or Adler-32), holds fewer than entry.size bytes, or is cut short; target
  // then holds the whole chunks copied before. Errors of target pass through.
  EntryResult CopyEntry(TStream& target);

  // Inflates the current entry and discards it, whatever its declared size. Raises
  // EPackageError when the stream is corrupt or cut short.
  EntryResult SkipEntry();

 private:
  EntryResult Inflate(TStream* target);

  TStream& package_;
  std::int32_t count_ = 0;
  std::int32_t index_ = 0;  // entries whose header has been read
  std::int32_t size_ = 0;   // unpacked size of the current entry
};

// Unpacks the package file at packagePath into targetDirectory, which is created with its parents
// when missing. Each entry becomes the file targetDirectory + separator + name (backslash on
// Windows, '/' elsewhere; not doubled when the directory already ends with one), created or
// replaced before its stream is inflated. Entry names are checked under rules; under kWindows on
// a host whose separator is '/', each backslash that separates (GBK-aware) becomes '/', so an
// entry lands where Windows would put it. No directory is created for a name's folder part.
//
// Stops at the first failure, by raising: EEntryRefused for a refused name or a target that is
// the package file itself (checked by file identity before the target is opened, so the package
// stays untouched), EPackageError for a damaged package, and the stream errors of the files.
// Earlier files stay complete, the failing entry's file holds what was copied, later entries are
// not touched, and no file is written outside targetDirectory.
void UnpackPackage(const FilePath& packagePath, const FilePath& targetDirectory,
                   EntryNameRules rules = EntryNameRules::kNative);

// UnpackPackage under the native rules, as setup.exe runs it. Raises nothing. Returns true only
// when every entry was written whole and its stream was intact.
bool UnpackPackageFile(const FilePath& packagePath, const FilePath& targetDirectory);

}  // namespace qor
