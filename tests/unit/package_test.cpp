#include "extraction/package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "support/package_builder.h"
#include "support/temp_dir.h"

namespace qor {
namespace {

namespace fs = std::filesystem;
using testing::Entry;
using testing::EntryBytes;
using testing::Int32Bytes;
using testing::MixedBytes;
using testing::PackageBytes;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using testing::ZlibStream;

// An installer-like payload: "MZ" and then mixed bytes, several input buffers long.
std::string Installer(std::size_t size) { return "MZ" + MixedBytes(size - 2, 7); }

// Every file below root, as relative paths with '/' separators.
std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_directory()) files.insert(item.path().lexically_relative(root).generic_string());
  }
  return files;
}

// A package file and a target directory beside it, in a fresh temporary folder.
class UnpackTest : public ::testing::Test {
 protected:
  bool Unpack(const std::string& package_bytes) {
    WriteFileBytes(package_path_, package_bytes);
    return UnpackPackageFile(package_path_, target_);
  }
  std::string Target(const std::string& name) const { return target_ + PathSeparator() + name; }
  std::set<std::string> Written() const {
    return DirectoryExists(target_) ? FilesUnder(target_) : std::set<std::string>{};
  }

  TempDir dir_{"unpack"};
  std::string package_path_ = dir_.File("install.dat");
  std::string target_ = dir_.File("out");
};

TEST_F(UnpackTest, ShippedLayoutUnpacksToExactBytesAndReplacesOldFile) {
  const std::string installer = Installer(300000);
  const std::string package = PackageBytes(1, {Entry("instPG.exe", installer)});
  ASSERT_EQ(package.substr(0, 8), Int32Bytes(1) + Int32Bytes(10));
  ASSERT_EQ(package.substr(22, 2), "\x78\xDA");
  ForceDirectories(target_);
  WriteFileBytes(Target("instPG.exe"), std::string(500000, 'o'));

  EXPECT_TRUE(Unpack(package));
  EXPECT_EQ(ReadFileBytes(Target("instPG.exe")), installer);
  EXPECT_EQ(Written(), (std::set<std::string>{"instPG.exe"}));
}

TEST_F(UnpackTest, CountOfZeroOrLessWritesNothing) {
  for (std::int32_t count : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(count);
    EXPECT_TRUE(Unpack(PackageBytes(count, {Entry("a.exe", "data")})));
    EXPECT_TRUE(DirectoryExists(target_));
    EXPECT_TRUE(Written().empty());
  }
}

// The next header must be read right behind each trailer, wherever the 65,536-byte reads stop:
// the first stream is made to end on every byte position around the end of the first read.
TEST_F(UnpackTest, EntriesBackToBackWhateverTheBufferBoundary) {
  const std::string second = MixedBytes(1000, 2);
  const std::string third = Installer(70000);
  for (std::size_t stream_length = 65530; stream_length <= 65542; ++stream_length) {
    SCOPED_TRACE(stream_length);
    // Stored blocks grow the stream by exactly the bytes added.
    std::string first = MixedBytes(stream_length - 16, 3);
    std::string stream = ZlibStream(first, 0);
    first += std::string(stream_length - stream.size(), 'p');
    stream = ZlibStream(first, 0);
    ASSERT_EQ(stream.size(), stream_length);

    const std::string package =
        PackageBytes(3, {EntryBytes("one.bin", static_cast<std::int32_t>(first.size()), stream),
                         Entry("two.txt", second), Entry("three.exe", third)});
    EXPECT_TRUE(Unpack(package));
    EXPECT_EQ(ReadFileBytes(Target("one.bin")), first);
    EXPECT_EQ(ReadFileBytes(Target("two.txt")), second);
    EXPECT_EQ(ReadFileBytes(Target("three.exe")), third);
  }
}

TEST_F(UnpackTest, DeclaredSizeSmallerTruncatesAndNextEntryStillReads) {
  const std::string data = MixedBytes(150000);
  const std::string after = MixedBytes(500, 9);
  EXPECT_TRUE(Unpack(PackageBytes(
      2, {EntryBytes("short.bin", 100000, ZlibStream(data)), Entry("after.txt", after)})));
  EXPECT_EQ(ReadFileBytes(Target("short.bin")), data.substr(0, 100000));
  EXPECT_EQ(ReadFileBytes(Target("after.txt")), after);
}

TEST_F(UnpackTest, EmptyEntryGivesEmptyFileAndGoesOn) {
  EXPECT_TRUE(Unpack(
      PackageBytes(3, {Entry("empty.txt", ""), Entry("one.txt", "1"), Entry("also-empty", "")})));
  EXPECT_EQ(Written(), (std::set<std::string>{"empty.txt", "one.txt", "also-empty"}));
  EXPECT_EQ(ReadFileBytes(Target("one.txt")), "1");
  EXPECT_EQ(fs::file_size(Target("empty.txt")), 0u);
}

// Failures stop at the failing entry and report it; earlier entries stay complete, the failing
// entry keeps the whole 61,440-byte chunks copied before the fault.
TEST_F(UnpackTest, BrokenEntriesStopTheUnpacking) {
  const std::string first = MixedBytes(3000, 4);
  const std::string data = MixedBytes(200000, 5);
  const std::string stream = ZlibStream(data);
  std::string damaged = stream;
  damaged[stream.size() * 3 / 4] ^= 0x20;
  std::string bad_adler = stream;
  bad_adler[stream.size() - 2] ^= 1;
  const std::string ok = Entry("first.txt", first);
  const std::string later = Entry("later.txt", "never");
  const std::string header = Int32Bytes(8) + "data.bin";

  // What data.bin holds afterwards: nothing, whole 61,440-byte chunks (or all of it when inflate
  // found the fault only in the trailer), or exactly some size.
  constexpr std::int64_t kNoFile = -1;
  constexpr std::int64_t kChunkPrefix = -2;
  const struct {
    const char* name;
    std::string broken_entry;
    std::int64_t partial_size;
    bool more_follows;  // whether a sound entry comes after it in the package
  } cases[] = {
      {"declared size too large", EntryBytes("data.bin", 300000, stream), std::int64_t{3} * 61440,
       true},
      {"damaged deflate byte", EntryBytes("data.bin", 200000, damaged), kChunkPrefix, true},
      {"damaged adler-32", EntryBytes("data.bin", 200000, bad_adler), kChunkPrefix, true},
      {"stream cut short", EntryBytes("data.bin", 200000, stream.substr(0, 1000)), 0, false},
      {"stream missing", EntryBytes("data.bin", 200000, ""), 0, false},
      {"trailer cut", EntryBytes("data.bin", 200000, stream.substr(0, stream.size() - 1)),
       kChunkPrefix, false},
      {"negative name length", Int32Bytes(-8) + "data.bin" + Int32Bytes(10), kNoFile, true},
      {"huge name length", Int32Bytes(0x7FFFFFFF) + "data.bin", kNoFile, true},
      {"negative size", header + Int32Bytes(-1) + stream, kNoFile, true},
      {"cut in name length", Int32Bytes(8).substr(0, 3), kNoFile, false},
      {"cut in name", Int32Bytes(8) + "data", kNoFile, false},
      {"cut in size", header + "\x01\x02", kNoFile, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(target_);
    std::vector<std::string> entries = {ok, c.broken_entry};
    if (c.more_follows) entries.push_back(later);
    EXPECT_FALSE(Unpack(PackageBytes(3, entries)));
    EXPECT_EQ(ReadFileBytes(Target("first.txt")), first);
    EXPECT_FALSE(fs::exists(Target("later.txt")));
    if (c.partial_size == kNoFile) {
      EXPECT_FALSE(fs::exists(Target("data.bin")));
    } else if (c.partial_size == kChunkPrefix) {
      // A damaged byte may change output before inflate notices, so only the size is known.
      const auto size = fs::file_size(Target("data.bin"));
      EXPECT_TRUE(size % 61440 == 0 || size == data.size()) << size;
    } else {
      EXPECT_EQ(fs::file_size(Target("data.bin")), static_cast<std::uintmax_t>(c.partial_size));
    }
  }
}

TEST_F(UnpackTest, EntryCountLargerThanEntriesFails) {
  EXPECT_FALSE(Unpack(PackageBytes(2, {Entry("only.txt", "x")})));
  EXPECT_EQ(ReadFileBytes(Target("only.txt")), "x");
}

// An entry whose file would be the package being read is refused before the target is opened,
// whichever path reaches it; the package stays as it was.
TEST_F(UnpackTest, EntryThatIsThePackageIsRefused) {
  const std::string package =
      PackageBytes(2, {Entry("first.txt", "1"), Entry("install.dat", "replaced")});
  WriteFileBytes(package_path_, package);
  EXPECT_THROW(UnpackPackage(package_path_, dir_.Text()), EEntryRefused);
  EXPECT_THROW(UnpackPackage(package_path_, dir_.Text(true) + "." + PathSeparator()),
               EEntryRefused);
  EXPECT_EQ(ReadFileBytes(package_path_), package);
  EXPECT_EQ(ReadFileBytes(dir_.File("first.txt")), "1");

  // A hard link to the package under the entry's name in the target directory.
  ForceDirectories(target_);
  fs::create_hard_link(package_path_, Target("install.dat"));
  EXPECT_FALSE(UnpackPackageFile(package_path_, target_));
  EXPECT_EQ(ReadFileBytes(package_path_), package);
}

TEST_F(UnpackTest, TargetDirectoryForms) {
  const std::string package = PackageBytes(1, {Entry("f.txt", "content")});
  WriteFileBytes(package_path_, package);
  const std::string sep(1, PathSeparator());
  const struct {
    const char* name;
    std::string directory;
    std::string file;
  } cases[] = {
      {"no trailing separator", dir_.File("plain"), dir_.File("plain") + sep + "f.txt"},
      {"trailing separator", dir_.File("slash") + sep, dir_.File("slash") + sep + "f.txt"},
      {"missing parents", dir_.File("a") + sep + "b" + sep + "c",
       dir_.File("a") + sep + "b" + sep + "c" + sep + "f.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(UnpackPackageFile(package_path_, c.directory));
    EXPECT_EQ(ReadFileBytes(c.file), "content");
  }
  // The separator is not doubled: the folder holds exactly the one file.
  EXPECT_EQ(FilesUnder(dir_.File("slash")), (std::set<std::string>{"f.txt"}));
  EXPECT_FALSE(UnpackPackageFile(package_path_, ""));
  EXPECT_FALSE(UnpackPackageFile(dir_.File("missing.dat"), dir_.File("never")));
  EXPECT_TRUE(DirectoryExists(dir_.File("never")));  // created before the package is opened
}

// A hostile name stops the unpacking at its entry: nothing lands outside the target directory,
// which sits two levels below the temporary folder so that "../../x" still lands inside it.
struct HostileName {
  const char* label;
  std::string name;
  bool refused_posix;
  bool refused_windows;
};

class HostileNameTest : public ::testing::TestWithParam<HostileName> {};

TEST_P(HostileNameTest, RefusedWhereItWouldEscape) {
  const HostileName& c = GetParam();
  const bool windows = PathSeparator() == '\\';
  EXPECT_EQ(IsSafeEntryName(c.name, EntryNameRules::kPosix), !c.refused_posix);
  EXPECT_EQ(IsSafeEntryName(c.name, EntryNameRules::kWindows), !c.refused_windows);
  TempDir dir("hostile");
  const std::string sep(1, PathSeparator());
  const std::string package_path = dir.File("install.dat");
  const std::string target = dir.File("a") + sep + "b" + sep + "out";
  WriteFileBytes(package_path, PackageBytes(3, {Entry("first.txt", "1"), Entry(c.name, "evil"),
                                                Entry("last.txt", "3")}));
  const std::set<std::string> stopped = {"install.dat", "a/b/out/first.txt"};
  // The maker's tool judges by Windows rules on every host.
  if (c.refused_windows) {
    EXPECT_THROW(UnpackPackage(package_path, target, EntryNameRules::kWindows), EEntryRefused);
    EXPECT_EQ(FilesUnder(dir.path()), stopped);
  }
  const bool refused = windows ? c.refused_windows : c.refused_posix;
  if (!refused) return;  // an ordinary name here; the checks above are the point
  EXPECT_FALSE(UnpackPackageFile(package_path, target));
  EXPECT_EQ(FilesUnder(dir.path()), stopped);
}

// Under Windows rules a backslash separates on every host: the entry goes into an existing
// subfolder, and fails where that folder is missing, as on Windows. A backslash that is the
// second byte of a GBK character stays part of the name.
TEST(UnpackWindowsNamesTest, BackslashIsAFolderSeparatorEverywhere) {
  TempDir dir("backslash");
  const std::string package_path = dir.File("install.dat");
  const std::string gbk_name = "\x95\x5C.txt";  // one GBK character whose second byte is 0x5C
  WriteFileBytes(package_path,
                 PackageBytes(2, {Entry("sub\\inner.txt", "inner"), Entry(gbk_name, "gbk")}));
  EXPECT_THROW(UnpackPackage(package_path, dir.File("out"), EntryNameRules::kWindows),
               EFileOpenError);
  const std::string out = dir.File("out") + PathSeparator();
  ForceDirectories(out + "sub");
  UnpackPackage(package_path, out, EntryNameRules::kWindows);
  EXPECT_EQ(ReadFileBytes(out + "sub" + PathSeparator() + "inner.txt"), "inner");
  EXPECT_TRUE(FileExists(out + gbk_name));  // through the ANSI code page, as it was written
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostileNameTest,
    ::testing::Values(HostileName{"empty", "", true, true}, HostileName{"parent", "..", true, true},
                      HostileName{"parent slash", "../x", true, true},
                      HostileName{"two up", "../../x", true, true},
                      HostileName{"up inside", "sub/../../x", true, true},
                      HostileName{"parent backslash", "..\\x", false, true},
                      HostileName{"two up backslash", "..\\..\\x", false, true},
                      HostileName{"mixed up", "sub\\../..\\x", false, true},
                      HostileName{"absolute slash", "/tmp/x", true, true},
                      HostileName{"root backslash", "\\x", false, true},
                      HostileName{"unc", "\\\\server\\share\\x", false, true},
                      HostileName{"drive relative", "C:x", true, true},
                      HostileName{"drive absolute", "C:\\x", true, true},
                      HostileName{"data stream", "x.exe:hidden", true, true},
                      HostileName{"zero byte", std::string("x.exe\0.txt", 10), true, true},
                      HostileName{"three dots", "...", true, true},
                      HostileName{"dot", ".", true, true},
                      HostileName{"dots and space", ".. ", false, true},
                      HostileName{"plain", "instPG.exe", false, false},
                      HostileName{"gbk", "\xB0\xB2\xD7\xB0.exe", false, false},
                      HostileName{"dots inside", "a..b.txt", false, false},
                      HostileName{"leading dots", "..x", false, false}),
    [](const ::testing::TestParamInfo<HostileName>& info) {
      std::string label = info.param.label;
      std::replace(label.begin(), label.end(), ' ', '_');
      std::replace(label.begin(), label.end(), '-', '_');
      return label;
    });

TEST(PackageReaderTest, ListsEntriesWithStreamSizes) {
  const std::string a = MixedBytes(100000, 1);
  const std::string stream_a = ZlibStream(a);
  const std::string stream_b = ZlibStream("");
  TMemoryStream package(
      PackageBytes(2, {EntryBytes("a.bin", 100000, stream_a), EntryBytes("b.txt", 0, stream_b)}));
  PackageReader reader(package);
  EXPECT_EQ(reader.Count(), 2);
  PackageEntry entry;
  ASSERT_TRUE(reader.NextEntry(entry));
  EXPECT_EQ(entry.name, "a.bin");
  EXPECT_EQ(entry.size, 100000);
  EntryResult result = reader.SkipEntry();
  EXPECT_EQ(result.inflated, 100000);
  EXPECT_EQ(result.stream_size, static_cast<std::int64_t>(stream_a.size()));
  ASSERT_TRUE(reader.NextEntry(entry));
  EXPECT_EQ(entry.name, "b.txt");
  result = reader.SkipEntry();
  EXPECT_EQ(result.stream_size, static_cast<std::int64_t>(stream_b.size()));
  EXPECT_FALSE(reader.NextEntry(entry));
}

}  // namespace
}  // namespace qor
