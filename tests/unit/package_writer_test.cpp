#include "package_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "extraction/package.h"
#include "support/package_builder.h"

namespace qor {
namespace {

using testing::MixedBytes;

std::string Pack(const std::vector<std::pair<std::string, std::string>>& files) {
  TMemoryStream out;
  PackageWriter writer(out, static_cast<std::int32_t>(files.size()));
  for (const auto& [name, data] : files) {
    TMemoryStream source(data);
    writer.AddEntry(name, source, static_cast<std::int64_t>(data.size()));
  }
  writer.Finish();
  return out.Bytes();
}

// What the writer produces reads back through the unpacker's reader, for sizes around the
// writer's and the reader's block sizes; and the same input gives the same bytes.
TEST(PackageWriterTest, RoundTripsThroughTheReaderAndIsDeterministic) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty", ""},
      {"one", "x"},
      {"block", MixedBytes(65536, 2)},
      {"several blocks", MixedBytes(3 * 65536 + 11, 3)},
  };
  const std::string package = Pack(files);
  EXPECT_EQ(package, Pack(files));
  EXPECT_EQ(package.substr(0, 4), testing::Int32Bytes(4));
  EXPECT_EQ(package.substr(17, 2), "\x78\xDA");  // behind count, length, "empty" and size

  TMemoryStream source(package);
  PackageReader reader(source);
  PackageEntry entry;
  for (const auto& [name, data] : files) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(reader.NextEntry(entry));
    EXPECT_EQ(entry.name, name);
    TMemoryStream target;
    reader.CopyEntry(target);
    EXPECT_EQ(target.Bytes(), data);
  }
  EXPECT_FALSE(reader.NextEntry(entry));
  EXPECT_EQ(source.GetPosition(), source.GetSize());
}

TEST(PackageWriterTest, RefusesWhatWindowsWouldNotUnpackUnderThatName) {
  for (const char* name :
       {"",     "..",     "a\\b.exe", "a/b.exe", "C:x",      "x:y",  "...",
        "a<b",  "a>b",    "a\"b",     "a|b",     "a?b",      "a*b",  "tab\there",
        "dot.", "space ", "CON",      "nul.txt", "Com1.log", "LPT0", "aux .dat"}) {
    SCOPED_TRACE(name);
    TMemoryStream out;
    PackageWriter writer(out, 1);
    TMemoryStream source("data");
    EXPECT_THROW(writer.AddEntry(name, source, 4), EPackageError);
  }
  TMemoryStream out;
  PackageWriter writer(out, 1);
  TMemoryStream source("data");
  EXPECT_THROW(writer.AddEntry("big", source, std::int64_t{1} << 31), EPackageError);
  EXPECT_THROW(writer.AddEntry("short", source, 5), EReadError);
  EXPECT_THROW(writer.Finish(), EPackageError);
}

// Near misses of the refused names, and GBK characters whose second byte is '\\' or '|'.
TEST(PackageWriterTest, AcceptsPlainWindowsNames) {
  for (const char* name : {"instPG.exe", "a..b", ".hidden", "console.txt", "COM10", "LPT",
                           "\x95\x5C.txt", "\x81\x7C.exe", "\xB0\xB2\xD7\xB0.exe"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsPackableEntryName(name));
  }
}

TEST(PackageWriterTest, EntryNameIsTheFileName) {
  EXPECT_EQ(EntryNameForPath("dir/sub/instPG.exe"), "instPG.exe");
  EXPECT_EQ(EntryNameForPath("instPG.exe"), "instPG.exe");
  EXPECT_EQ(EntryNameForPath("dir/"), "");
}

}  // namespace
}  // namespace qor
