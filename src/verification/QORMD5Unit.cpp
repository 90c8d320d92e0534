#include "verification/QORMD5Unit.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/stream.h"
#include "base/text.h"

namespace qor {

namespace {

// Bytes read from a file at once: large enough that the system call cost vanishes, small
// enough to stay in the cache.
constexpr std::size_t kFileBlockSize = 64 * 1024;

inline std::uint32_t RotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The four auxiliary functions of RFC 1321 in forms with fewer operations: F and G select bits,
// so d ^ (b & (c ^ d)) equals (b & c) | (~b & d), and G's two terms never overlap, so they may
// be added.
inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return z ^ (x & (y ^ z));
}
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return (x & z) + (y & ~z);
}
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

}  // namespace

#define QOR_MD5_STEP(f, a, b, c, d, x, s, t) \
  (a) += f(b, c, d) + (x) + (t);             \
  (a) = RotateLeft(a, s) + (b)

void TMD5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  length_ = 0;
  pendingSize_ = 0;
}

void TMD5::Transform(const std::uint8_t* blocks, std::size_t count) {
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (; count > 0; --count, blocks += 64) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(blocks + 4 * i);
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;

    QOR_MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);
    QOR_MD5_STEP(F, d, a, b, c, x[1], 12, 0xe8c7b756);
    QOR_MD5_STEP(F, c, d, a, b, x[2], 17, 0x242070db);
    QOR_MD5_STEP(F, b, c, d, a, x[3], 22, 0xc1bdceee);
    QOR_MD5_STEP(F, a, b, c, d, x[4], 7, 0xf57c0faf);
    QOR_MD5_STEP(F, d, a, b, c, x[5], 12, 0x4787c62a);
    QOR_MD5_STEP(F, c, d, a, b, x[6], 17, 0xa8304613);
    QOR_MD5_STEP(F, b, c, d, a, x[7], 22, 0xfd469501);
    QOR_MD5_STEP(F, a, b, c, d, x[8], 7, 0x698098d8);
    QOR_MD5_STEP(F, d, a, b, c, x[9], 12, 0x8b44f7af);
    QOR_MD5_STEP(F, c, d, a, b, x[10], 17, 0xffff5bb1);
    QOR_MD5_STEP(F, b, c, d, a, x[11], 22, 0x895cd7be);
    QOR_MD5_STEP(F, a, b, c, d, x[12], 7, 0x6b901122);
    QOR_MD5_STEP(F, d, a, b, c, x[13], 12, 0xfd987193);
    QOR_MD5_STEP(F, c, d, a, b, x[14], 17, 0xa679438e);
    QOR_MD5_STEP(F, b, c, d, a, x[15], 22, 0x49b40821);

    QOR_MD5_STEP(G, a, b, c, d, x[1], 5, 0xf61e2562);
    QOR_MD5_STEP(G, d, a, b, c, x[6], 9, 0xc040b340);
    QOR_MD5_STEP(G, c, d, a, b, x[11], 14, 0x265e5a51);
    QOR_MD5_STEP(G, b, c, d, a, x[0], 20, 0xe9b6c7aa);
    QOR_MD5_STEP(G, a, b, c, d, x[5], 5, 0xd62f105d);
    QOR_MD5_STEP(G, d, a, b, c, x[10], 9, 0x02441453);
    QOR_MD5_STEP(G, c, d, a, b, x[15], 14, 0xd8a1e681);
    QOR_MD5_STEP(G, b, c, d, a, x[4], 20, 0xe7d3fbc8);
    QOR_MD5_STEP(G, a, b, c, d, x[9], 5, 0x21e1cde6);
    QOR_MD5_STEP(G, d, a, b, c, x[14], 9, 0xc33707d6);
    QOR_MD5_STEP(G, c, d, a, b, x[3], 14, 0xf4d50d87);
    QOR_MD5_STEP(G, b, c, d, a, x[8], 20, 0x455a14ed);
    QOR_MD5_STEP(G, a, b, c, d, x[13], 5, 0xa9e3e905);
    QOR_MD5_STEP(G, d, a, b, c, x[2], 9, 0xfcefa3f8);
    QOR_MD5_STEP(G, c, d, a, b, x[7], 14, 0x676f02d9);
    QOR_MD5_STEP(G, b, c, d, a, x[12], 20, 0x8d2a4c8a);

    QOR_MD5_STEP(H, a, b, c, d, x[5], 4, 0xfffa3942);
    QOR_MD5_STEP(H, d, a, b, c, x[8], 11, 0x8771f681);
    QOR_MD5_STEP(H, c, d, a, b, x[11], 16, 0x6d9d6122);
    QOR_MD5_STEP(H, b, c, d, a, x[14], 23, 0xfde5380c);
    QOR_MD5_STEP(H, a, b, c, d, x[1], 4, 0xa4beea44);
    QOR_MD5_STEP(H, d, a, b, c, x[4], 11, 0x4bdecfa9);
    QOR_MD5_STEP(H, c, d, a, b, x[7], 16, 0xf6bb4b60);
    QOR_MD5_STEP(H, b, c, d, a, x[10], 23, 0xbebfbc70);
    QOR_MD5_STEP(H, a, b, c, d, x[13], 4, 0x289b7ec6);
    QOR_MD5_STEP(H, d, a, b, c, x[0], 11, 0xeaa127fa);
    QOR_MD5_STEP(H, c, d, a, b, x[3], 16, 0xd4ef3085);
    QOR_MD5_STEP(H, b, c, d, a, x[6], 23, 0x04881d05);
    QOR_MD5_STEP(H, a, b, c, d, x[9], 4, 0xd9d4d039);
    QOR_MD5_STEP(H, d, a, b, c, x[12], 11, 0xe6db99e5);
    QOR_MD5_STEP(H, c, d, a, b, x[15], 16, 0x1fa27cf8);
    QOR_MD5_STEP(H, b, c, d, a, x[2], 23, 0xc4ac5665);

    QOR_MD5_STEP(I, a, b, c, d, x[0], 6, 0xf4292244);
    QOR_MD5_STEP(I, d, a, b, c, x[7], 10, 0x432aff97);
    QOR_MD5_STEP(I, c, d, a, b, x[14], 15, 0xab9423a7);
    QOR_MD5_STEP(I, b, c, d, a, x[5], 21, 0xfc93a039);
    QOR_MD5_STEP(I, a, b, c, d, x[12], 6, 0x655b59c3);
    QOR_MD5_STEP(I, d, a, b, c, x[3], 10, 0x8f0ccc92);
    QOR_MD5_STEP(I, c, d, a, b, x[10], 15, 0xffeff47d);
    QOR_MD5_STEP(I, b, c, d, a, x[1], 21, 0x85845dd1);
    QOR_MD5_STEP(I, a, b, c, d, x[8], 6, 0x6fa87e4f);
    QOR_MD5_STEP(I, d, a, b, c, x[15], 10, 0xfe2ce6e0);
    QOR_MD5_STEP(I, c, d, a, b, x[6], 15, 0xa3014314);
    QOR_MD5_STEP(I, b, c, d, a, x[13], 21, 0x4e0811a1);
    QOR_MD5_STEP(I, a, b, c, d, x[4], 6, 0xf7537e82);
    QOR_MD5_STEP(I, d, a, b, c, x[11], 10, 0xbd3af235);
    QOR_MD5_STEP(I, c, d, a, b, x[2], 15, 0x2ad7d2bb);
    QOR_MD5_STEP(I, b, c, d, a, x[9], 21, 0xeb86d391);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state_[0] = a;
  state_[1] = b;
  state_[2] = c;
  state_[3] = d;
}

#undef QOR_MD5_STEP

void TMD5::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (pendingSize_ > 0) {
    const std::size_t take = std::min(size, sizeof(pending_) - pendingSize_);
    std::memcpy(pending_ + pendingSize_, bytes, take);
    pendingSize_ += take;
    bytes += take;
    size -= take;
    if (pendingSize_ < sizeof(pending_)) return;
    Transform(pending_, 1);
    pendingSize_ = 0;
  }
  // Whole blocks straight from the caller's memory, no copy.
  Transform(bytes, size / 64);
  bytes += size / 64 * 64;
  size %= 64;
  if (size > 0) std::memcpy(pending_, bytes, size);
  pendingSize_ = size;
}

TMD5Digest TMD5::Final() {
  // Padding: one 0x80 byte, zeros up to 56 mod 64, then the bit length as 64 bits little-endian.
  const std::uint64_t bit_length = length_ * 8;
  std::uint8_t padding[72] = {0x80};
  const std::size_t pad_size = (pendingSize_ < 56 ? 56 : 120) - pendingSize_;
  for (int i = 0; i < 8; ++i)
    padding[pad_size + i] = static_cast<std::uint8_t>(bit_length >> 8 * i);
  Update(padding, pad_size + 8);

  TMD5Digest digest;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> 8 * j);
  }
  Reset();
  return digest;
}

std::string MD5DigestHex(const TMD5Digest& digest) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(2 * digest.size());
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return AsciiLowerCase(hex);
}

std::string FileMD5Hex(const FilePath& fileName) {
  TFileStream file(fileName, FileMode::kOpenReadShared);
  TMD5 hasher;
  // The size is taken once up front, so a read that falls short is an error (EReadError) rather
  // than a silent early end.
  std::int64_t remaining = file.GetSize();
  const auto block = std::make_unique<std::uint8_t[]>(kFileBlockSize);
  while (remaining > 0) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::int64_t>(remaining, kFileBlockSize));
    file.ReadExactly(block.get(), count);
    hasher.Update(block.get(), count);
    remaining -= static_cast<std::int64_t>(count);
  }
  return MD5DigestHex(hasher.Final());
}

}  // namespace qor
