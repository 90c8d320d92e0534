// What the stream tests share: a source that hands out a few bytes at a time, reading a stream to
// its end, and the message of the error an action raises.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/stream.h"

namespace qor::testing {

// A source that hands out at most `limit` bytes per Read, as pipes, sockets and inflaters do.
class TricklingStream : public TMemoryStream {
 public:
  TricklingStream(std::string bytes, std::size_t limit)
      : TMemoryStream(std::move(bytes)), limit_(limit) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    return TMemoryStream::Read(buffer, std::min(count, limit_));
  }

 private:
  std::size_t limit_;
};

// What stream yields until its Read returns 0.
inline std::string ReadAll(TStream& stream) {
  std::string out;
  std::vector<char> block(10000);
  while (std::size_t n = stream.Read(block.data(), block.size())) out.append(block.data(), n);
  return out;
}

// The message of the Error that action raises; "no error" when it returns. Another class of error
// passes through and fails the test.
template <typename Error>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace qor::testing
