#include "base/stream.h"

#include <algorithm>
#include <vector>

namespace qor {

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

}  // namespace qor
