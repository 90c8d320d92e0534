// The HTTP response reader fed arbitrary bytes in pieces of varying size: status lines, headers,
// chunked framing. Any input must end in a body within the cap or an EHttpError, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "support/piece_source.h"
#include "verification/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  qor::THttpLimits limits = qor::THttpLimits::Defaults();
  limits.maxBodyBytes = 512;
  limits.maxHeaderBytes = 1024;
  limits.maxHeaderCount = 16;
  limits.maxLineBytes = 256;
  // The first input byte sets the piece size; the source then hands out the rest in such pieces.
  qor::testing::PieceSource source(std::string(reinterpret_cast<const char*>(data) + 1, size - 1),
                                   1 + data[0] % 64);
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
