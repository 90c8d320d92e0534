#include "base/stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "base/file_system.h"
#include "support/package_builder.h"
#include "support/temp_dir.h"
#include "support/test_streams.h"

namespace qor {
namespace {

using testing::MessageOf;
using testing::MixedBytes;
using testing::TricklingStream;

TEST(StreamTest, ReadExactlyGathersShortReadsAndFailsAtTheEnd) {
  TricklingStream source(MixedBytes(10), 3);
  std::string out(10, '\0');
  source.ReadExactly(out.data(), out.size());
  EXPECT_EQ(out, MixedBytes(10));
  char one;
  EXPECT_EQ(MessageOf<EReadError>([&] { source.ReadExactly(&one, 1); }), "Stream read error");
}

TEST(StreamTest, WriteExactlyOnReadOnlyRaisesWriteError) {
  const char data[] = "abc";
  TReadOnlyMemoryStream stream(data, 3);
  EXPECT_EQ(MessageOf<EWriteError>([&] { stream.WriteExactly("x", 1); }), "Stream write error");
}

TEST(StreamTest, CopyFromMovesChunksAtBlockBoundaries) {
  for (std::size_t size : {std::size_t{1}, kCopyChunkSize - 1, kCopyChunkSize, kCopyChunkSize + 1,
                           3 * kCopyChunkSize + 17}) {
    SCOPED_TRACE(size);
    TMemoryStream source(MixedBytes(size));
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, static_cast<std::int64_t>(size)),
              static_cast<std::int64_t>(size));
    EXPECT_EQ(target.Bytes(), MixedBytes(size));
  }
}

TEST(StreamTest, CopyFromCountZeroCopiesWholeSourceFromItsStart) {
  TMemoryStream source(MixedBytes(100));
  source.SetPosition(60);
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 100);
  EXPECT_EQ(target.Bytes(), MixedBytes(100));
}

TEST(StreamTest, CopyFromShortSourceKeepsOnlyWholeChunks) {
  TMemoryStream source(MixedBytes(kCopyChunkSize + 10));
  TMemoryStream target;
  EXPECT_THROW(target.CopyFrom(source, 2 * static_cast<std::int64_t>(kCopyChunkSize)), EReadError);
  EXPECT_EQ(target.Bytes().size(), kCopyChunkSize);
}

TEST(StreamTest, MemoryStreamSeeksAndRefusesNegativePositions) {
  TMemoryStream stream(MixedBytes(8));
  EXPECT_EQ(stream.Seek(-2, SeekOrigin::End), 6);
  EXPECT_EQ(stream.Seek(1, SeekOrigin::Current), 7);
  EXPECT_THROW(stream.Seek(-1, SeekOrigin::Begin), EStreamError);
  EXPECT_EQ(stream.GetPosition(), 7);
}

TEST(StreamTest, FileStreamCreateReplacesAndReadsBack) {
  testing::TempDir dir;
  const std::string path = dir.File("data.bin");
  testing::WriteFileBytes(path, std::string(1000, 'x'));
  {
    TFileStream out(path, FileMode::kCreate);
    out.WriteExactly("hello", 5);
  }
  TFileStream in(path, FileMode::kOpenReadShared);
  EXPECT_EQ(in.GetSize(), 5);
  char buffer[5];
  in.ReadExactly(buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(in.Read(buffer, 5), 0u);
}

TEST(StreamTest, FileStreamOpenFailuresRaise) {
  testing::TempDir dir;
  EXPECT_THROW(TFileStream(dir.File("missing"), FileMode::kOpenReadShared), EFileOpenError);
  EXPECT_THROW(TFileStream(dir.Text(), FileMode::kOpenReadExclusive), EFileOpenError);
  // A read the system fails (offset 0 of a process's memory file) is an error, never the end.
  if (FileExists("/proc/self/mem")) {
    TFileStream memory("/proc/self/mem", FileMode::kOpenReadShared);
    char byte;
    EXPECT_THROW(memory.Read(&byte, 1), EReadError);
  }
}

TEST(FileSystemTest, ForceDirectoriesCreatesParents) {
  testing::TempDir dir;
  const std::string deep = dir.File("a") + PathSeparator() + "b" + PathSeparator() + "c";
  ForceDirectories(deep + PathSeparator());
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_FALSE(FileExists(deep));
  ForceDirectories(deep);  // already there: no error
  // Names ending in a GBK character whose trail byte is a backslash (乗 81 5C, 俓 82 5C): the
  // backslash is part of the name, not a trailing separator to strip.
  for (const std::string name : {"a\x81\x5C", "\x82\x5C"}) {
    SCOPED_TRACE(name);
    ForceDirectories(dir.File(name));
    EXPECT_TRUE(DirectoryExists(dir.File(name)));
    EXPECT_FALSE(DirectoryExists(dir.File(name.substr(0, name.size() - 1))));
  }
}

// A failed file operation names its path and then the system's own words, never a bare number.
TEST(FileSystemTest, FailuresSayTheSystemsReason) {
  testing::TempDir dir;
  const std::string sep(1, PathSeparator());
  testing::WriteFileBytes(dir.File("file"), "x");
  const struct {
    const char* name;
    std::function<void()> fail;
    std::string message_start;
  } cases[] = {
      {"a folder under a file", [&] { ForceDirectories(dir.File("file") + sep + "sub"); },
       "Cannot create directory \"" + dir.File("file") + sep + "sub\": "},
      {"a move from nothing", [&] { MoveFileReplacing(dir.File("missing"), dir.File("to")); },
       "Cannot write \"" + dir.File("to") + "\": "},
      {"a move into a missing folder",
       [&] { MoveFileReplacing(dir.File("file"), dir.File("none") + sep + "to"); },
       "Cannot write \"" + dir.File("none") + sep + "to\": "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string what = MessageOf<EStreamError>(c.fail);
    EXPECT_EQ(what.rfind(c.message_start, 0), 0u) << what;
    EXPECT_GT(what.size(), c.message_start.size()) << what;
    EXPECT_EQ(what.find("error "), std::string::npos) << what;
  }
  EXPECT_TRUE(FileExists(dir.File("file")));  // a failed move leaves its source
}

// A move replaces what is there, under a name the ANSI code page cannot spell too (Korean on a
// Chinese system), as qor pack's rename of a finished package does.
TEST(FileSystemTest, MoveReplacesAndRemoveIgnoresWhatIsNotThere) {
  testing::TempDir dir;
  const FilePath korean = FilePath::FromNative(dir.Text(true) + "\xED\x95\x9C.dat");
  testing::WriteFileBytes(dir.File("new"), "new");
  testing::WriteFileBytes(dir.File("old"), "old");
  MoveFileReplacing(dir.File("new"), dir.File("old"));
  EXPECT_FALSE(FileExists(dir.File("new")));
  EXPECT_EQ(testing::ReadFileBytes(dir.File("old")), "new");
  MoveFileReplacing(dir.File("old"), korean);
  EXPECT_TRUE(FileExists(korean));
  RemoveFileQuietly(korean);
  EXPECT_FALSE(FileExists(korean));
  RemoveFileQuietly(korean);  // nothing there: no error
}

TEST(FileSystemTest, FilePathJoinsAndSplitsAtSeparators) {
  // Under GBK (the tests' code page) the 5C trail byte of 乗 is no separator.
  const std::string folder = "d" + std::string(1, PathSeparator());
  EXPECT_EQ(FilePath(folder + "\x81\x5C.exe").Directory().Text(), folder);
  EXPECT_EQ(FilePath("setup.exe").Directory().Text(), "");
  // A folder given with a trailing separator gets no second one; on Windows '/' is one too.
  const std::string slash = PathSeparator() == '\\' ? "out/" : "out//";
  EXPECT_EQ(FilePath(folder).Child("a").Text(), folder + "a");
  EXPECT_EQ(FilePath(slash).Child("a").Text(), slash + "a");
  EXPECT_EQ(FilePath(slash + "a").Directory().Text(), slash);
}

// One file reached by several paths has one identity; another file, even a copy, has its own.
TEST(FileSystemTest, FileIdentityFollowsTheFileNotThePath) {
  testing::TempDir dir;
  const std::string sep(1, PathSeparator());
  testing::WriteFileBytes(dir.File("a"), "same");
  testing::WriteFileBytes(dir.File("copy"), "same");
  std::filesystem::create_hard_link(dir.File("a"), dir.File("link"));
  const std::optional<FileIdentity> a = GetFileIdentity(dir.File("a"));
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(GetFileIdentity(dir.File("link")), a);
  EXPECT_EQ(GetFileIdentity(dir.Text(true) + "." + sep + "a"), a);
  EXPECT_NE(GetFileIdentity(dir.File("copy")), a);
  EXPECT_NE(GetFileIdentity(dir.Text()), a);
  EXPECT_EQ(GetFileIdentity(dir.File("missing")), std::nullopt);
}

}  // namespace
}  // namespace qor
