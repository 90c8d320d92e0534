#include "verification/QORMD5Unit.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/stream.h"
#include "support/temp_dir.h"

namespace qor {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

std::string MD5Hex(const std::string& bytes) {
  TMD5 hasher;
  hasher.Update(bytes.data(), bytes.size());
  return MD5DigestHex(hasher.Final());
}

// Bytes with no period that lines up with the 64-byte block.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + (i >> 8) * 7);
  return bytes;
}

struct KnownAnswer {
  const char* name;
  std::string message;
  const char* digest;
};

// The RFC 1321 suite, then the sizes around the padding boundaries (55 is the longest message
// whose length fits in its last block, 56 the shortest that needs another).
const KnownAnswer kKnownAnswers[] = {
    {"rfc empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"rfc a", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"rfc abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"rfc message digest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"rfc alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"rfc alphanumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"rfc digits",
     "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {"55 bytes", std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {"56 bytes", std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {"63 bytes", std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
    {"64 bytes", std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {"65 bytes", std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    {"119 bytes", std::string(119, 'a'), "8a7bd0732ed6a28ce75f6dabc90e1613"},
    {"120 bytes", std::string(120, 'a'), "5f61c0ccad4cac44c75ff505e1f1e537"},
    {"3 MB pattern", Pattern(3 * 1024 * 1024 + 17), "9f379307a97b01166e729e0db3598f5b"},
};

TEST(MD5Test, KnownAnswersInOnePieceAndFromAFile) {
  TempDir dir("md5");
  for (const KnownAnswer& known : kKnownAnswers) {
    SCOPED_TRACE(known.name);
    EXPECT_EQ(MD5Hex(known.message), known.digest);
    const std::string path = dir.File("message.bin");
    WriteFileBytes(path, known.message);
    EXPECT_EQ(FileMD5Hex(path), known.digest);
  }
}

TEST(MD5Test, PiecesOfAnySizeGiveTheSameDigest) {
  const std::string message = Pattern(5000);
  const std::string expected = MD5Hex(message);
  std::mt19937 random(20110425);
  for (std::size_t piece : {1u, 3u, 55u, 63u, 64u, 65u, 1000u, 0u}) {
    SCOPED_TRACE(piece);
    TMD5 hasher;
    for (std::size_t at = 0; at < message.size();) {
      // Piece 0 stands for random sizes, empty pieces included.
      const std::size_t size =
          std::min(message.size() - at, piece ? piece : std::size_t{random() % 200});
      hasher.Update(message.data() + at, size);
      at += size;
    }
    EXPECT_EQ(MD5DigestHex(hasher.Final()), expected);
  }
}

TEST(MD5Test, FileThatCannotBeOpenedRaises) {
  TempDir dir("md5");
  EXPECT_THROW(FileMD5Hex(dir.File("missing.exe")), EFileOpenError);
  EXPECT_THROW(FileMD5Hex(dir.Text()), EFileOpenError);  // a folder is no file
}

}  // namespace
}  // namespace qor
