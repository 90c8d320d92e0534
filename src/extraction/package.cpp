#include "extraction/package.h"

#include <exception>
#include <optional>

#include "base/file_system.h"
#include "base/text.h"
#include "extraction/zlib_stream.h"

namespace qor {

namespace {

bool IsSeparator(char c, EntryNameRules rules) {
  return c == '/' || (rules == EntryNameRules::kWindows && c == '\\');
}

// A component that resolves to the directory itself or its parent: only dots, and under Windows
// also trailing spaces, which Windows removes along with trailing dots.
bool IsDotComponent(std::string_view component, EntryNameRules rules) {
  if (component.empty()) return false;
  for (char c : component) {
    if (c != '.' && !(rules == EntryNameRules::kWindows && c == ' ')) return false;
  }
  return true;
}

// Reads a little-endian signed 32-bit field; a field cut short is an EPackageError naming what.
std::int32_t ReadInt32(TStream& stream, const std::string& what) {
  unsigned char bytes[4];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const std::size_t n = stream.Read(bytes + got, sizeof bytes - got);
    if (n == 0) throw EPackageError("the package ends inside " + what);
    got += n;
  }
  const std::uint32_t value = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                              std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
  return static_cast<std::int32_t>(value);
}

// The name with each backslash that Windows would take for a separator turned into '/'. The name
// is walked as GBK (LastDelimiter), so the second byte of a double-byte character stays.
std::string WindowsNameAsPosixPath(std::string name) {
  for (std::size_t end = name.size();;) {
    const std::size_t at = LastDelimiter(std::string_view(name).substr(0, end), "\\");
    if (at == std::string::npos) return name;
    name[at] = '/';
    end = at;
  }
}

}  // namespace

bool IsSafeEntryName(std::string_view name, EntryNameRules rules) {
  if (rules == EntryNameRules::kNative) {
    rules = PathSeparator() == '\\' ? EntryNameRules::kWindows : EntryNameRules::kPosix;
  }
  if (name.empty() || IsSeparator(name.front(), rules)) return false;
  if (name.find(':') != std::string_view::npos) return false;
  if (name.find('\0') != std::string_view::npos) return false;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || IsSeparator(name[i], rules)) {
      if (IsDotComponent(name.substr(begin, i - begin), rules)) return false;
      begin = i + 1;
    }
  }
  return true;
}

PackageReader::PackageReader(TStream& package) : package_(package) {
  count_ = ReadInt32(package_, "its entry count");
  if (count_ < 0) count_ = 0;
}

bool PackageReader::NextEntry(PackageEntry& entry, EntryNameRules rules) {
  if (index_ >= count_) return false;
  ++index_;
  const std::string which = "entry " + DecimalText(index_);
  const std::int32_t length = ReadInt32(package_, "the name length of " + which);
  if (length < 0 || length > kMaxEntryNameLength) {
    throw EPackageError(which + " has a name length of " + DecimalText(length));
  }
  entry.name.assign(static_cast<std::size_t>(length), '\0');
  std::size_t got = 0;
  while (got < entry.name.size()) {
    const std::size_t n = package_.Read(entry.name.data() + got, entry.name.size() - got);
    if (n == 0) throw EPackageError("the package ends inside the name of " + which);
    got += n;
  }
  entry.size = ReadInt32(package_, "the unpacked size of " + which);
  if (entry.size < 0) {
    throw EPackageError(which + " has an unpacked size of " + DecimalText(entry.size));
  }
  if (!IsSafeEntryName(entry.name, rules)) {
    throw EEntryRefused(which + " has a name that would be written outside the directory: \"" +
                        entry.name + "\"");
  }
  size_ = entry.size;
  return true;
}

EntryResult PackageReader::CopyEntry(TStream& target) { return Inflate(&target); }

EntryResult PackageReader::SkipEntry() { return Inflate(nullptr); }

EntryResult PackageReader::Inflate(TStream* target) {
  TDecompressionStream reader(package_);
  const std::string which = "entry " + DecimalText(index_);
  try {
    // CopyFrom takes a count of 0 for "the whole source", so an empty entry copies nothing.
    if (target && size_ > 0) target->CopyFrom(reader, size_);
    // Inflating on to the trailer tests the Adler-32 and leaves the package on the next header,
    // wherever the 65,536-byte reads happened to stop.
    reader.FinishStream();
  } catch (const EZlibError&) {
    throw EPackageError("the zlib stream of " + which + " is damaged");
  } catch (const EReadError&) {
    if (!reader.AtStreamEnd())
      throw EPackageError("the package ends inside the stream of " + which);
    throw EPackageError("the stream of " + which + " holds " + DecimalText(reader.Produced()) +
                        " bytes, fewer than the " + DecimalText(size_) + " declared");
  }
  return EntryResult{reader.Produced(), reader.Consumed()};
}

void UnpackPackage(const FilePath& packagePath, const FilePath& targetDirectory,
                   EntryNameRules rules) {
  // An empty directory would make the prefix the root of the file system.
  if (targetDirectory.empty()) throw EStreamError("no target directory");
  if (!DirectoryExists(targetDirectory)) ForceDirectories(targetDirectory);
  const bool windows_names_here = rules == EntryNameRules::kWindows && PathSeparator() == '/';

  const std::optional<FileIdentity> package_identity = GetFileIdentity(packagePath);
  TFileStream package(packagePath, FileMode::kOpenReadExclusive);
  PackageReader reader(package);
  PackageEntry entry;
  while (reader.NextEntry(entry, rules)) {
    const FilePath target_path =
        targetDirectory.Child(windows_names_here ? WindowsNameAsPosixPath(entry.name) : entry.name);
    // Creating the target empties it; on POSIX nothing else stops that from emptying the package.
    if (package_identity && GetFileIdentity(target_path) == package_identity) {
      throw EEntryRefused("entry \"" + entry.name + "\" would overwrite the package being read");
    }
    TFileStream target(target_path, FileMode::kCreate);
    reader.CopyEntry(target);
  }
}

bool UnpackPackageFile(const FilePath& packagePath, const FilePath& targetDirectory) {
  try {
    UnpackPackage(packagePath, targetDirectory);
    return true;
  } catch (const std::exception&) {
    return false;
  } catch (...) {
    return false;
  }
}

}  // namespace qor
