// The decompressing reader: a read-only stream that inflates one zlib stream (RFC 1950) pulled
// from a source stream. The package unpacker reads every entry through it.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "base/stream.h"

namespace qor {

// Base of the inflation failures.
class EZlibError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Inflate itself failed (corrupt data, wrong header, Adler-32 mismatch): message "Error".
class ECompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// The reader cannot be set up ("Error") or was asked for something it cannot do, a backward seek
// or a write ("Invalid stream operation").
class EDecompressionError : public EZlibError {
 public:
  using EZlibError::EZlibError;
};

// The base of the decompressing reader: the source stream, which the zlib stream does not own; the
// position in it where the next read must begin; a buffer of 65,536 bytes; zlib's state; and an
// optional notification after every refill.
class TCustomZlibStream : public TStream {
 public:
  static constexpr std::size_t kBufferSize = 65536;

  // Called after every refill of the buffer from the source; none by default.
  std::function<void()> OnProgress;

 protected:
  explicit TCustomZlibStream(TStream& stream);

  TStream& stream_;
  std::int64_t streamPosition_;
  std::vector<unsigned char> buffer_;  // kBufferSize bytes, on the heap: readers live on stacks
  z_stream zstream_{};
};

// Inflates the zlib stream that starts at the source's position when the reader is created.
//
// Read delivers inflated bytes and returns fewer than asked only at the end of the zlib stream or
// of the source. Seek may restart (position 0 from the beginning) or move forward by inflating
// and discarding; every other seek, and Write, raise EDecompressionError "Invalid stream
// operation", so the reader has no size. Inflate errors raise ECompressionError "Error".
//
// The destructor moves the source back over the buffered input that inflate has not consumed, so
// once the stream has ended the source stands on the first byte behind its Adler-32 trailer.
class TDecompressionStream : public TCustomZlibStream {
 public:
  // Raises EDecompressionError "Error" when inflate cannot be initialised.
  explicit TDecompressionStream(TStream& source);
  ~TDecompressionStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

  // Inflates and discards whatever the zlib stream still holds, through its Adler-32 trailer.
  // Returns the count of bytes discarded. Raises ECompressionError on corrupt data and EReadError
  // when the source ends before the stream does.
  std::int64_t FinishStream();

  // True once inflate has checked the stream's trailer.
  bool AtStreamEnd() const { return atEnd_; }
  // Bytes inflated since the start (or the last restart).
  std::int64_t Produced() const { return produced_; }
  // Source bytes that inflate has consumed since the start of the zlib stream.
  std::int64_t Consumed() const;

 private:
  // Inflates into [out, out + count) until it is full or the stream ends; returns the count.
  std::size_t Inflate(unsigned char* out, std::size_t count);

  std::int64_t startPosition_;  // where the zlib stream begins in the source
  std::int64_t produced_ = 0;
  bool atEnd_ = false;
};

}  // namespace qor
