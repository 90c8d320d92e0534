// Byte streams: one abstraction for files, memory blocks, the embedded resource and the
// decompressing reader. Read and Write move what they can and return the count; the Exactly forms
// and CopyFrom raise the named stream errors on a short transfer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_path.h"
#include "base/unique_handle.h"

namespace qor {

// Base of every stream failure.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A short read in ReadExactly or CopyFrom, or a read the system failed: message "Stream read
// error".
class EReadError : public EStreamError {
 public:
  EReadError() : EStreamError("Stream read error") {}
};

// A short write in WriteExactly or CopyFrom: message "Stream write error".
class EWriteError : public EStreamError {
 public:
  EWriteError() : EStreamError("Stream write error") {}
};

// A file that cannot be opened or created; the message names the path and the system's reason.
class EFileOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum class SeekOrigin { Begin, Current, End };

// The largest chunk CopyFrom moves at once.
inline constexpr std::size_t kCopyChunkSize = 61440;

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Moves up to count bytes into buffer; returns how many arrived (0 only at the end). A read that
  // fails raises EReadError, so that an error never passes for the end of the data.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Moves up to count bytes from buffer; returns how many were taken.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  // Moves the position; returns the new position from the start.
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;

  std::int64_t GetPosition() { return Seek(0, SeekOrigin::Current); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Begin); }
  // The length in bytes; the default seeks to the end and back.
  virtual std::int64_t GetSize();

  // Reads exactly count bytes or raises EReadError.
  void ReadExactly(void* buffer, std::size_t count);
  // Writes exactly count bytes or raises EWriteError.
  void WriteExactly(const void* buffer, std::size_t count);
  // Copies count bytes from source in chunks of at most kCopyChunkSize, each read in full from the
  // source and written in full here (EReadError, EWriteError otherwise). A count of 0 means the
  // whole source from its start: source is moved to position 0 and its size is asked for. Returns
  // the count copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A growable stream over memory that it owns.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t GetSize() override { return static_cast<std::int64_t>(bytes_.size()); }

  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};

// A read-only stream over bytes that somebody else owns and keeps alive (a locked resource).
// Write raises EWriteError.
class TReadOnlyMemoryStream : public TStream {
 public:
  TReadOnlyMemoryStream(const void* data, std::size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  std::int64_t GetSize() override { return static_cast<std::int64_t>(size_); }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// How a file stream opens its file. The sharing rules matter on Windows only.
enum class FileMode {
  kOpenReadShared,     // existing file, read access, others may read but not write
  kOpenReadExclusive,  // existing file, read access, no sharing
  kCreate,             // created new or emptied, read and write access, no sharing
};

// A stream over a file. Raises EFileOpenError when the file cannot be opened. The file is closed
// by the destructor.
// An open file of the platform: a file descriptor or a HANDLE; -1 when none.
struct FileHandleTraits {
  using Type = std::intptr_t;
  static Type Empty() { return -1; }
  static bool IsValid(Type handle) { return handle != -1; }
  static void Free(Type handle);
};

class TFileStream : public TStream {
 public:
  TFileStream(const FilePath& path, FileMode mode);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

 private:
  UniqueHandle<FileHandleTraits> handle_;
};

}  // namespace qor
