// Reading one HTTP/1.1 response from a byte source: status line, headers, and the body by
// Content-Length, by chunks, or until the peer closes. Kept apart from the sockets so that it can
// be driven by memory (fuzzing, tests) as well as by a connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace qor {

// An HTTP failure that is not a socket failure: a malformed or oversized response, a status that
// is not success, a redirect, an unsupported URL. StatusCode() is the response's status, or 0
// when there was no usable status.
class EHttpError : public std::runtime_error {
 public:
  explicit EHttpError(const std::string& message, int statusCode = 0)
      : std::runtime_error(message), statusCode_(statusCode) {}
  int StatusCode() const { return statusCode_; }

 private:
  int statusCode_;
};

// The bounds within which a response must arrive. Defaults() gives the build-time settings; tests
// pass small ones.
struct THttpLimits {
  int connectTimeoutMs;              // connecting, over all addresses of the host
  int readTimeoutMs;                 // the whole response, from the request sent to the body's end
  std::size_t maxBodyBytes;          // a longer body is a failure, read no further
  std::size_t maxHeaderBytes;        // status lines and header lines together, per response
  std::size_t maxHeaderCount;        // header lines per response
  std::size_t maxLineBytes = 16384;  // one status, header or chunk-size line

  static THttpLimits Defaults();
};

// Work events, as the verification window's progress bar takes them. Only the reading of a body
// reports: begin with the expected count (Content-Length; 0 when read until close; the chunk's
// size for each chunk of a chunked body), progress with the bytes read so far (of the chunk, for a
// chunked body), end when it is done and also when reading it failed. Empty members are skipped.
enum class TWorkMode { kRead, kWrite };

struct THttpWorkEvents {
  std::function<void(TWorkMode mode, std::int64_t expectedCount)> OnWorkBegin;
  std::function<void(TWorkMode mode, std::int64_t count)> OnWork;
  std::function<void(TWorkMode mode)> OnWorkEnd;
};

// Where response bytes come from. Receive waits for some bytes and returns how many it put in
// buffer (at most capacity), 0 once the peer has closed; it raises on a time-out or a broken
// connection.
class THttpByteSource {
 public:
  virtual ~THttpByteSource() = default;
  virtual std::size_t Receive(char* buffer, std::size_t capacity) = 0;
};

struct THttpResponseHead {
  std::string statusLine;
  int statusCode = 0;
  bool http10 = false;
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order, names as sent

  // The value of the first header of that name (compared without case), or nullptr.
  const std::string* Find(const std::string& name) const;
};

// How the body of a response is framed.
enum class TBodyFraming { kNone, kLength, kChunked, kUntilClose };

// Reads responses from one source. Raises EHttpError for malformed or oversized input and lets the
// source's own errors through. Holds at most one receive buffer beyond the limits.
class THttpResponseReader {
 public:
  THttpResponseReader(THttpByteSource& source, const THttpLimits& limits);

  // Reads a status line and its headers; interim 100 responses are read and skipped. A
  // connection closed before the head is complete raises EHttpError.
  THttpResponseHead ReadHead();

  // How the body of head is framed, with the declared length for kLength. Raises EHttpError for a
  // bad Content-Length or a declared length over the body cap. Status 204 has no body.
  TBodyFraming Framing(const THttpResponseHead& head, std::uint64_t& contentLength) const;

  // Reads the body that head announces and returns its bytes unchanged, firing the work events.
  std::string ReadBody(const THttpResponseHead& head, const THttpWorkEvents& events);

  // True once any byte has arrived; a reused connection that closes before that was stale.
  bool ReceivedAny() const { return receivedAny_; }
  // True when bytes arrived beyond the response just read (the connection is out of step).
  bool HasSurplus() const { return begin_ < buffer_.size(); }

 private:
  bool Fill();  // one Receive into the buffer; false at close
  std::string ReadLine(std::size_t& budget);
  void ReadHeaderBlock(THttpResponseHead& head, std::size_t& budget);
  void ReadExactly(std::string& body, std::uint64_t count, const THttpWorkEvents& events);
  void ReadChunked(std::string& body, const THttpWorkEvents& events);
  void ReadUntilClose(std::string& body, const THttpWorkEvents& events);

  THttpByteSource& source_;
  THttpLimits limits_;
  std::string buffer_;
  std::size_t begin_ = 0;  // first unread byte of buffer_
  bool receivedAny_ = false;
};

}  // namespace qor
