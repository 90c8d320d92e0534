// The memory streams, apart from the stream base (stream.cpp): a setup program reads only files,
// and an archive member is linked whole.
#include "base/stream.h"

#include <algorithm>
#include <cstring>

namespace qor {

namespace {

// Resolves a seek request against a current position and a size; negative results are refused.
std::int64_t ResolveSeek(std::int64_t offset, SeekOrigin origin, std::int64_t current,
                         std::int64_t size) {
  std::int64_t base = 0;
  if (origin == SeekOrigin::Current) base = current;
  if (origin == SeekOrigin::End) base = size;
  const std::int64_t target = base + offset;
  if (target < 0) throw EStreamError("Invalid stream position");
  return target;
}

}  // namespace

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t n = std::min(count, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  std::memcpy(bytes_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  position_ = static_cast<std::size_t>(
      ResolveSeek(offset, origin, static_cast<std::int64_t>(position_), GetSize()));
  return static_cast<std::int64_t>(position_);
}

std::size_t TReadOnlyMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= size_) return 0;
  const std::size_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

std::size_t TReadOnlyMemoryStream::Write(const void*, std::size_t) { throw EWriteError(); }

std::int64_t TReadOnlyMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  position_ = static_cast<std::size_t>(
      ResolveSeek(offset, origin, static_cast<std::int64_t>(position_), GetSize()));
  return static_cast<std::int64_t>(position_);
}

}  // namespace qor
