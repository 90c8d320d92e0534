#include "extraction/zlib_stream.h"

#include <algorithm>

namespace qor {

namespace {

// zlib counts in uInt; larger requests are served in pieces of this size.
constexpr std::size_t kLargestInflateStep = std::size_t{1} << 30;

// Forward seeks inflate and discard in blocks of this size.
constexpr std::size_t kSkipBlockSize = 4096;

}  // namespace

TCustomZlibStream::TCustomZlibStream(TStream& stream)
    : stream_(stream), streamPosition_(stream.GetPosition()), buffer_(kBufferSize) {}

TDecompressionStream::TDecompressionStream(TStream& source)
    : TCustomZlibStream(source), startPosition_(streamPosition_) {
  zstream_.next_in = buffer_.data();
  zstream_.avail_in = 0;
  if (inflateInit(&zstream_) != Z_OK) throw EDecompressionError("Error");
}

TDecompressionStream::~TDecompressionStream() {
  // Hand the source back standing on the first byte inflate has not consumed: behind the trailer
  // when the stream has ended. A failing seek cannot be reported from here.
  try {
    stream_.SetPosition(streamPosition_ - static_cast<std::int64_t>(zstream_.avail_in));
  } catch (...) {
  }
  inflateEnd(&zstream_);
}

std::size_t TDecompressionStream::Read(void* buffer, std::size_t count) {
  return Inflate(static_cast<unsigned char*>(buffer), count);
}

std::size_t TDecompressionStream::Write(const void*, std::size_t) {
  throw EDecompressionError("Invalid stream operation");
}

std::int64_t TDecompressionStream::Seek(std::int64_t offset, SeekOrigin origin) {
  if (offset == 0 && origin == SeekOrigin::Begin) {
    // Restart at the beginning of this zlib stream, which need not be the source's start.
    if (inflateReset(&zstream_) != Z_OK) throw EDecompressionError("Error");
    zstream_.next_in = buffer_.data();
    zstream_.avail_in = 0;
    stream_.SetPosition(startPosition_);
    streamPosition_ = startPosition_;
    produced_ = 0;
    atEnd_ = false;
    return 0;
  }
  const bool forward_from_here = origin == SeekOrigin::Current && offset >= 0;
  const bool beyond_produced = origin == SeekOrigin::Begin && offset > produced_;
  if (!forward_from_here && !beyond_produced) {
    throw EDecompressionError("Invalid stream operation");
  }
  std::int64_t skip = forward_from_here ? offset : offset - produced_;
  std::vector<unsigned char> scratch(kSkipBlockSize);  // frames stay under a page (CompilerFlags)
  while (skip > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(skip, kSkipBlockSize));
    ReadExactly(scratch.data(), n);
    skip -= static_cast<std::int64_t>(n);
  }
  return produced_;
}

std::int64_t TDecompressionStream::FinishStream() {
  std::vector<unsigned char> scratch(16384);
  std::int64_t discarded = 0;
  while (!atEnd_) {
    const std::size_t n = Inflate(scratch.data(), scratch.size());
    discarded += static_cast<std::int64_t>(n);
    if (!atEnd_ && n < scratch.size()) throw EReadError();  // the source ended first
  }
  return discarded;
}

std::int64_t TDecompressionStream::Consumed() const {
  return streamPosition_ - static_cast<std::int64_t>(zstream_.avail_in) - startPosition_;
}

std::size_t TDecompressionStream::Inflate(unsigned char* out, std::size_t count) {
  if (atEnd_) return 0;
  if (stream_.GetPosition() != streamPosition_) stream_.SetPosition(streamPosition_);
  std::size_t left = count;
  while (left > 0) {
    if (zstream_.avail_in == 0) {
      const std::size_t got = stream_.Read(buffer_.data(), buffer_.size());
      if (got == 0) break;
      zstream_.next_in = buffer_.data();
      zstream_.avail_in = static_cast<uInt>(got);
      streamPosition_ += static_cast<std::int64_t>(got);
      if (OnProgress) OnProgress();
    }
    const std::size_t room = std::min(left, kLargestInflateStep);
    zstream_.next_out = out + (count - left);
    zstream_.avail_out = static_cast<uInt>(room);
    const int result = inflate(&zstream_, Z_NO_FLUSH);
    const std::size_t made = room - zstream_.avail_out;
    left -= made;
    produced_ += static_cast<std::int64_t>(made);
    // A stream that asks for a preset dictionary would make no progress ever again; the package
    // format has no dictionaries, so it counts as corrupt.
    if (result < 0 || result == Z_NEED_DICT) throw ECompressionError("Error");
    if (result == Z_STREAM_END) {
      atEnd_ = true;
      break;
    }
  }
  return count - left;
}

}  // namespace qor
