#include "extraction/zlib_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/package_builder.h"

namespace qor {
namespace {

using testing::MixedBytes;
using testing::ZlibStream;

// A source that hands out at most `limit` bytes per Read, as pipes and sockets do.
class TricklingStream : public TMemoryStream {
 public:
  TricklingStream(std::string bytes, std::size_t limit)
      : TMemoryStream(std::move(bytes)), limit_(limit) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    return TMemoryStream::Read(buffer, std::min(count, limit_));
  }

 private:
  std::size_t limit_;
};

std::string ReadAll(TStream& stream) {
  std::string out;
  std::vector<char> block(10000);
  while (std::size_t n = stream.Read(block.data(), block.size())) out.append(block.data(), n);
  return out;
}

template <typename Error>
void ExpectError(const char* message, const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), message);
  }
}

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
    char next[4];
    source.ReadExactly(next, 4);
    EXPECT_EQ(std::string(next, 4), "NEXT");
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
  char next[4];
  source.ReadExactly(next, 4);
  EXPECT_EQ(std::string(next, 4), "NEXT");
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

  const struct {
    const char* name;
    std::int64_t offset;
    SeekOrigin origin;
  } refused[] = {
      {"backward", -1, SeekOrigin::Current},
      {"absolute behind", 50, SeekOrigin::Begin},
      {"absolute here", 100, SeekOrigin::Begin},
      {"from the end", 0, SeekOrigin::End},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.name);
    ExpectError<EDecompressionError>("Invalid stream operation",
                                     [&] { reader.Seek(r.offset, r.origin); });
  }
  ExpectError<EDecompressionError>("Invalid stream operation", [&] { reader.GetSize(); });
  ExpectError<EDecompressionError>("Invalid stream operation", [&] { reader.Write("a", 1); });
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
    ExpectError<ECompressionError>("Error", [&] { ReadAll(reader); });
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
