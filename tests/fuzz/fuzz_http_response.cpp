// The HTTP response reader fed arbitrary bytes in pieces of varying size: status lines, headers,
// chunked framing. Any input must end in a body within the cap or an EHttpError, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "verification/http_response.h"

namespace {

// The first input byte sets the piece size; the source then hands out the rest in such pieces.
class PieceSource : public qor::THttpByteSource {
 public:
  PieceSource(const std::uint8_t* data, std::size_t size, std::size_t piece)
      : data_(data), size_(size), piece_(piece) {}
  std::size_t Receive(char* buffer, std::size_t capacity) override {
    std::size_t n = size_ - at_;
    if (n > piece_) n = piece_;
    if (n > capacity) n = capacity;
    for (std::size_t i = 0; i < n; ++i) buffer[i] = static_cast<char>(data_[at_ + i]);
    at_ += n;
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  qor::THttpLimits limits = qor::THttpLimits::Defaults();
  limits.maxBodyBytes = 512;
  limits.maxHeaderBytes = 1024;
  limits.maxHeaderCount = 16;
  limits.maxLineBytes = 256;
  PieceSource source(data + 1, size - 1, 1 + data[0] % 64);
  qor::THttpResponseReader reader(source, limits);
  int begins = 0;
  int ends = 0;
  qor::THttpWorkEvents events;
  events.OnWorkBegin = [&](qor::TWorkMode, std::int64_t) { ++begins; };
  events.OnWorkEnd = [&](qor::TWorkMode) { ++ends; };
  try {
    const qor::THttpResponseHead head = reader.ReadHead();
    if (head.statusCode < 0 || head.statusCode > 999) std::abort();
    const std::string body = reader.ReadBody(head, events);
    if (body.size() > limits.maxBodyBytes) std::abort();
  } catch (const qor::EHttpError&) {
    // A refused response is a normal outcome.
  }
  if (begins != ends) std::abort();
  return 0;
}
