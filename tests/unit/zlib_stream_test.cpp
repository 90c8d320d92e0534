#include "extraction/zlib_stream.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "support/package_builder.h"
#include "support/test_streams.h"

namespace qor {
namespace {

using testing::MessageOf;
using testing::MixedBytes;
using testing::ReadAll;
using testing::TricklingStream;
using testing::ZlibStream;

// Streams of several lengths around the 65,536-byte input buffer, each placed behind a prefix
// and followed by more bytes: the reader delivers the data and, when released, leaves the source
// on the first byte behind the trailer.
TEST(DecompressionStreamTest, ReleaseLeavesSourceBehindTrailer) {
  struct Case {
    const char* name;
    std::size_t size;
    int level;
    std::size_t trickle;
  };
  const Case cases[] = {
      {"empty", 0, 9, 1 << 20},
      {"small", 100, 9, 1 << 20},
      {"stored near buffer", 65500, 0, 1 << 20},
      {"stored over buffer", 65600, 0, 1 << 20},
      {"mixed large", 400000, 9, 1 << 20},
      {"trickled", 30000, 6, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = MixedBytes(c.size);
    TricklingStream source("PREFIX" + ZlibStream(data, c.level) + "NEXT", c.trickle);
    source.SetPosition(6);
    {
      TDecompressionStream reader(source);
      EXPECT_EQ(ReadAll(reader), data);
      EXPECT_TRUE(reader.AtStreamEnd());
      EXPECT_EQ(reader.Produced(), static_cast<std::int64_t>(c.size));
      EXPECT_EQ(reader.Consumed(), static_cast<std::int64_t>(source.GetSize()) - 10);
    }
    EXPECT_EQ(ReadAll(source), "NEXT");
  }
}

// Stopping after the data but before the trailer was read still lets FinishStream reach it.
TEST(DecompressionStreamTest, FinishStreamReadsOnThroughTrailer) {
  const std::string data = MixedBytes(200000);
  TMemoryStream source(ZlibStream(data) + "NEXT");
  {
    TDecompressionStream reader(source);
    std::string head(1000, '\0');
    reader.ReadExactly(head.data(), head.size());
    EXPECT_EQ(reader.FinishStream(), 199000);
    EXPECT_EQ(reader.FinishStream(), 0);
  }
  EXPECT_EQ(ReadAll(source), "NEXT");
}

TEST(DecompressionStreamTest, SeekRules) {
  const std::string data = MixedBytes(20000);
  TMemoryStream source("xyz" + ZlibStream(data));
  source.SetPosition(3);
  TDecompressionStream reader(source);
  char block[100];

  EXPECT_EQ(reader.Seek(1000, SeekOrigin::Current), 1000);
  reader.ReadExactly(block, 100);
  EXPECT_EQ(std::string(block, 100), data.substr(1000, 100));
  EXPECT_EQ(reader.Seek(5000, SeekOrigin::Begin), 5000);
  EXPECT_EQ(reader.GetPosition(), 5000);
  reader.ReadExactly(block, 100);
  EXPECT_EQ(std::string(block, 100), data.substr(5000, 100));

  // Restarting begins again at the stream's own start, not at the source's.
  EXPECT_EQ(reader.Seek(0, SeekOrigin::Begin), 0);
  reader.ReadExactly(block, 100);
  EXPECT_EQ(std::string(block, 100), data.substr(0, 100));

  const std::pair<const char*, std::function<void()>> refused[] = {
      {"backward", [&] { reader.Seek(-1, SeekOrigin::Current); }},
      {"absolute behind", [&] { reader.Seek(50, SeekOrigin::Begin); }},
      {"absolute here", [&] { reader.Seek(100, SeekOrigin::Begin); }},
      {"from the end", [&] { reader.Seek(0, SeekOrigin::End); }},
      {"size", [&] { reader.GetSize(); }},
      {"write", [&] { reader.Write("a", 1); }},
  };
  for (const auto& [name, action] : refused) {
    SCOPED_TRACE(name);
    EXPECT_EQ(MessageOf<EDecompressionError>(action), "Invalid stream operation");
  }
  // Seeking past the end is a short read.
  EXPECT_THROW(reader.Seek(30000, SeekOrigin::Begin), EReadError);
}

TEST(DecompressionStreamTest, BrokenStreamsRaiseCompressionError) {
  const std::string good = ZlibStream(MixedBytes(5000));
  std::string bad_header = good;
  bad_header[0] = 0x79;
  std::string bad_data = good;
  bad_data[good.size() / 2] ^= 0x55;
  std::string bad_adler = good;
  bad_adler[good.size() - 1] ^= 1;
  // FDICT set: inflate waits for a dictionary that never comes, so it must not loop.
  const std::string wants_dictionary = std::string("\x78\xBB\x00\x00\x00\x01\x03\x00", 8);
  for (const auto& [name, bytes] : {std::pair{"header", bad_header},
                                    {"data", bad_data},
                                    {"adler-32", bad_adler},
                                    {"dictionary", wants_dictionary}}) {
    SCOPED_TRACE(name);
    TMemoryStream source(bytes);
    TDecompressionStream reader(source);
    EXPECT_EQ(MessageOf<ECompressionError>([&] { ReadAll(reader); }), "Error");
  }
}

TEST(DecompressionStreamTest, CutStreamReadsShortAndCannotFinish) {
  const std::string data = MixedBytes(100000);
  const std::string stream = ZlibStream(data);
  TMemoryStream source(stream.substr(0, stream.size() - 2));
  TDecompressionStream reader(source);
  EXPECT_EQ(ReadAll(reader), data);  // every byte, but the trailer is missing
  EXPECT_FALSE(reader.AtStreamEnd());
  EXPECT_THROW(reader.FinishStream(), EReadError);
}

TEST(DecompressionStreamTest, ProgressIsToldOfEveryRefill) {
  std::string noise = MixedBytes(300000);
  TMemoryStream source(ZlibStream(noise, 0));  // stored: 300,000 bytes and a little more
  TDecompressionStream reader(source);
  int refills = 0;
  reader.OnProgress = [&refills] { ++refills; };
  ReadAll(reader);
  EXPECT_EQ(refills, 5);
}

}  // namespace
}  // namespace qor
