#include "base/stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

std::int64_t TStream::GetSize() {
  const std::int64_t saved = GetPosition();
  const std::int64_t size = Seek(0, SeekOrigin::End);
  Seek(saved, SeekOrigin::Begin);
  return size;
}

void TStream::ReadExactly(void* buffer, std::size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    const std::size_t got = Read(out, count);
    if (got == 0) throw EReadError();
    out += got;
    count -= got;
  }
}

void TStream::WriteExactly(const void* buffer, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    const std::size_t put = Write(in, count);
    if (put == 0) throw EWriteError();
    in += put;
    count -= put;
  }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (count <= 0) return 0;
  std::vector<unsigned char> chunk(
      static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyChunkSize)));
  std::int64_t left = count;
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, kCopyChunkSize));
    source.ReadExactly(chunk.data(), n);
    WriteExactly(chunk.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

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
