#include "verification/http_response.h"

#include <algorithm>
#include <exception>

#include "base/text.h"

namespace qor {

namespace {

constexpr std::size_t kReceiveChunk = 4096;

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses a Content-Length value: decimal digits only, no sign, no overflow.
bool ParseLength(const std::string& text, std::uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

// Calls OnWorkEnd when a body (or one chunk of it) is left, whether it was read or failed.
class WorkScope {
 public:
  WorkScope(const THttpWorkEvents& events, std::int64_t expected) : events_(events) {
    if (events_.OnWorkBegin) events_.OnWorkBegin(TWorkMode::kRead, expected);
  }
  WorkScope(const WorkScope&) = delete;
  WorkScope& operator=(const WorkScope&) = delete;
  // The end of a read that failed: the end handler still runs, and whatever it throws is dropped,
  // since the read's own error is already on its way.
  ~WorkScope() {
    if (ended_ || !events_.OnWorkEnd) return;
    try {
      events_.OnWorkEnd(TWorkMode::kRead);
    } catch (...) {
    }
  }
  void Progress(std::int64_t count) {
    if (events_.OnWork) events_.OnWork(TWorkMode::kRead, count);
  }
  // The end of a read that succeeded: an error of the end handler reaches the caller.
  void End() {
    ended_ = true;
    if (events_.OnWorkEnd) events_.OnWorkEnd(TWorkMode::kRead);
  }

 private:
  const THttpWorkEvents& events_;
  bool ended_ = false;
};

}  // namespace

THttpLimits THttpLimits::Defaults() {
  THttpLimits limits{};
  limits.connectTimeoutMs = QOR_HTTP_CONNECT_TIMEOUT_MS;
  limits.readTimeoutMs = QOR_HTTP_READ_TIMEOUT_MS;
  limits.maxBodyBytes = QOR_HTTP_MAX_BODY;
  limits.maxHeaderBytes = QOR_HTTP_MAX_HEADER_BYTES;
  limits.maxHeaderCount = QOR_HTTP_MAX_HEADERS;
  return limits;
}

const std::string* THttpResponseHead::Find(const std::string& name) const {
  const std::string wanted = AsciiLowerCase(name);
  for (const auto& header : headers) {
    if (AsciiLowerCase(header.first) == wanted) return &header.second;
  }
  return nullptr;
}

THttpResponseReader::THttpResponseReader(THttpByteSource& source, const THttpLimits& limits)
    : source_(source), limits_(limits) {}

bool THttpResponseReader::Fill() {
  if (begin_ == buffer_.size()) {
    buffer_.clear();
    begin_ = 0;
  } else if (begin_ > kReceiveChunk) {
    buffer_.erase(0, begin_);
    begin_ = 0;
  }
  const std::size_t old = buffer_.size();
  buffer_.resize(old + kReceiveChunk);
  std::size_t n = 0;
  try {
    n = source_.Receive(&buffer_[old], kReceiveChunk);
  } catch (...) {
    buffer_.resize(old);
    throw;
  }
  buffer_.resize(old + std::min(n, kReceiveChunk));
  if (n > 0) receivedAny_ = true;
  return n > 0;
}

std::string THttpResponseReader::ReadLine(std::size_t& budget) {
  std::size_t scanned = begin_;
  for (;;) {
    const std::size_t end = buffer_.find('\n', scanned);
    if (end != std::string::npos) {
      std::size_t length = end - begin_;
      const std::size_t consumed = length + 1;
      if (length > 0 && buffer_[end - 1] == '\r') --length;
      if (length > limits_.maxLineBytes) throw EHttpError("response line too long");
      if (consumed > budget) throw EHttpError("response headers too large");
      budget -= consumed;
      std::string line = buffer_.substr(begin_, length);
      begin_ = end + 1;
      return line;
    }
    // The line may still end in a CR, so allow for it before calling the line too long.
    if (buffer_.size() - begin_ > limits_.maxLineBytes + 1) {
      throw EHttpError("response line too long");
    }
    if (buffer_.size() - begin_ > budget) throw EHttpError("response headers too large");
    // Fill may move the unread bytes to the front; keep the scan position relative to them.
    const std::size_t already = buffer_.size() - begin_;
    if (!Fill()) throw EHttpError("connection closed before the response was complete");
    scanned = begin_ + already;
  }
}

void THttpResponseReader::ReadHeaderBlock(THttpResponseHead& head, std::size_t& budget) {
  for (;;) {
    std::string line = ReadLine(budget);
    if (line.empty()) return;
    if (head.headers.size() >= limits_.maxHeaderCount) throw EHttpError("too many header lines");
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0 || IsSpace(line[0])) {
      throw EHttpError("malformed header line");
    }
    std::string name = line.substr(0, colon);
    if (std::any_of(name.begin(), name.end(), IsSpace)) throw EHttpError("malformed header line");
    head.headers.emplace_back(std::move(name), TrimSpaces(line.substr(colon + 1)));
  }
}

THttpResponseHead THttpResponseReader::ReadHead() {
  std::size_t budget = limits_.maxHeaderBytes;
  for (;;) {
    THttpResponseHead head;
    head.statusLine = ReadLine(budget);
    const std::string& line = head.statusLine;
    // "HTTP/x.y" SP three digits, then a space and the reason or nothing.
    const std::size_t space = line.find(' ');
    if (line.compare(0, 5, "HTTP/") != 0 || space == std::string::npos || line.size() < space + 4 ||
        (line.size() > space + 4 && line[space + 4] != ' ')) {
      throw EHttpError("malformed status line");
    }
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
      if (line[i] < '0' || line[i] > '9') throw EHttpError("malformed status line");
      code = code * 10 + (line[i] - '0');
    }
    head.statusCode = code;
    head.http10 = line.compare(0, space, "HTTP/1.0") == 0;
    ReadHeaderBlock(head, budget);
    if (code != 100) return head;
  }
}

TBodyFraming THttpResponseReader::Framing(const THttpResponseHead& head,
                                          std::uint64_t& contentLength) const {
  contentLength = 0;
  const int code = head.statusCode;
  if (code == 204 || code == 304 || (code >= 100 && code < 200)) return TBodyFraming::kNone;
  for (const auto& header : head.headers) {
    if (AsciiLowerCase(header.first) == "transfer-encoding" &&
        AsciiLowerCase(header.second).find("chunked") != std::string::npos) {
      return TBodyFraming::kChunked;
    }
  }
  bool seen = false;
  for (const auto& header : head.headers) {
    if (AsciiLowerCase(header.first) != "content-length") continue;
    std::uint64_t value = 0;
    if (!ParseLength(header.second, value) || (seen && value != contentLength)) {
      throw EHttpError("bad Content-Length", code);
    }
    contentLength = value;
    seen = true;
  }
  if (!seen) return TBodyFraming::kUntilClose;
  if (contentLength > limits_.maxBodyBytes) {
    throw EHttpError("body of " + DecimalText(contentLength) + " bytes is over the cap of " +
                         DecimalText(limits_.maxBodyBytes),
                     code);
  }
  return contentLength == 0 ? TBodyFraming::kNone : TBodyFraming::kLength;
}

void THttpResponseReader::ReadExactly(std::string& body, std::uint64_t count,
                                      const THttpWorkEvents& events) {
  WorkScope work(events, static_cast<std::int64_t>(count));
  std::uint64_t done = 0;
  while (done < count) {
    if (begin_ == buffer_.size() && !Fill()) {
      throw EHttpError("connection closed after " + DecimalText(done) + " of " +
                       DecimalText(count) + " body bytes");
    }
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(count - done, buffer_.size() - begin_));
    body.append(buffer_, begin_, piece);
    begin_ += piece;
    done += piece;
    work.Progress(static_cast<std::int64_t>(done));
  }
  work.End();
}

void THttpResponseReader::ReadChunked(std::string& body, const THttpWorkEvents& events) {
  for (;;) {
    std::size_t lineBudget = limits_.maxLineBytes + 2;
    const std::string line = ReadLine(lineBudget);
    // Hexadecimal size, then the end of the line, a space or a chunk extension.
    std::uint64_t size = 0;
    std::size_t i = 0;
    for (; i < line.size() && HexDigit(line[i]) >= 0; ++i) {
      size = size * 16 + static_cast<std::uint64_t>(HexDigit(line[i]));
      if (size > limits_.maxBodyBytes) throw EHttpError("chunked body over the cap");
    }
    if (i == 0 || (i < line.size() && !IsSpace(line[i]) && line[i] != ';')) {
      throw EHttpError("malformed chunk size line");
    }
    if (size == 0) break;
    if (size > limits_.maxBodyBytes - body.size()) throw EHttpError("chunked body over the cap");
    std::string chunk;
    ReadExactly(chunk, size, events);
    body += chunk;
    std::size_t endBudget = limits_.maxLineBytes + 2;
    if (!ReadLine(endBudget).empty()) throw EHttpError("chunk not followed by a line end");
  }
  // Trailer headers, read and dropped.
  THttpResponseHead trailers;
  std::size_t budget = limits_.maxHeaderBytes;
  ReadHeaderBlock(trailers, budget);
}

void THttpResponseReader::ReadUntilClose(std::string& body, const THttpWorkEvents& events) {
  WorkScope work(events, 0);
  for (;;) {
    const std::size_t available = buffer_.size() - begin_;
    if (available > limits_.maxBodyBytes - body.size()) {
      throw EHttpError("body over the cap of " + DecimalText(limits_.maxBodyBytes) + " bytes");
    }
    if (available > 0) {
      body.append(buffer_, begin_, available);
      begin_ = buffer_.size();
      work.Progress(static_cast<std::int64_t>(body.size()));
    }
    if (!Fill()) break;
  }
  work.End();
}

std::string THttpResponseReader::ReadBody(const THttpResponseHead& head,
                                          const THttpWorkEvents& events) {
  std::uint64_t length = 0;
  std::string body;
  switch (Framing(head, length)) {
    case TBodyFraming::kNone:
      break;
    case TBodyFraming::kLength:
      body.reserve(static_cast<std::size_t>(length));
      ReadExactly(body, length, events);
      break;
    case TBodyFraming::kChunked:
      ReadChunked(body, events);
      break;
    case TBodyFraming::kUntilClose:
      ReadUntilClose(body, events);
      break;
  }
  return body;
}

}  // namespace qor
