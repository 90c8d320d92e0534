// The package fingerprint's hash: MD5 as RFC 1321 defines it, and the MD5 of a whole file as 32
// lower-case hexadecimal digits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/file_path.h"

namespace qor {

using TMD5Digest = std::array<std::uint8_t, 16>;

// An incremental MD5 hasher. Feed bytes with Update in pieces of any size, then call Final once;
// after Final the hasher starts over as if new.
class TMD5 {
 public:
  TMD5() { Reset(); }

  void Reset();
  void Update(const void* data, std::size_t size);
  // The digest of every byte fed since the last Reset, first digest byte first.
  TMD5Digest Final();

 private:
  void Transform(const std::uint8_t* blocks, std::size_t count);

  std::uint32_t state_[4];
  std::uint64_t length_;  // bytes fed so far
  std::uint8_t pending_[64];
  std::size_t pendingSize_;
};

// The digest as 32 digits, byte 0 first, high four bits first, written with the table
// "0123456789ABCDEF" and then lower-cased.
std::string MD5DigestHex(const TMD5Digest& digest);

// The MD5 of the whole named file as 32 lower-case hexadecimal digits. The file is opened for
// shared reading (others may read it, not write it) and read once, front to back, in blocks of
// a fixed size. Raises EFileOpenError when it cannot be opened and EReadError when a read falls
// short; the file is closed in every case.
std::string FileMD5Hex(const FilePath& fileName);

}  // namespace qor
