// The response reader fed from memory in small pieces: framing, limits and malformed input, with
// no sockets involved.
#include "verification/http_response.h"

#include <gtest/gtest.h>

#include <string>

#include "support/piece_source.h"

namespace qor {
namespace {

using namespace std::string_literals;

using testing::PieceSource;

THttpLimits Limits() {
  THttpLimits limits = THttpLimits::Defaults();
  limits.maxBodyBytes = 64;
  limits.maxHeaderBytes = 256;
  limits.maxHeaderCount = 4;
  limits.maxLineBytes = 100;
  return limits;
}

std::string ReadAll(const std::string& bytes, std::size_t piece, int* status = nullptr) {
  PieceSource source(bytes, piece);
  THttpResponseReader reader(source, Limits());
  const THttpResponseHead head = reader.ReadHead();
  if (status != nullptr) *status = head.statusCode;
  return reader.ReadBody(head, THttpWorkEvents{});
}

TEST(HttpResponseTest, ReadsTheSameWhateverThePieceSize) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string body;
  };
  const Case cases[] = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcEXTRA", "abc"},
      {"bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nab", "ab"},
      {"chunked, extensions, trailer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
       "3;a=b\r\nabc\r\n1A \r\n" +
           std::string(26, 'z') + "\r\n0\r\nX-Trailer: 1\r\n\r\n",
       "abc" + std::string(26, 'z')},
      {"chunked wins over length",
       "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nTransfer-Encoding: "
       "chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n",
       "ab"},
      {"until close", "HTTP/1.0 200 OK\r\n\r\n  ABC\r\n", "  ABC\r\n"},
      {"two interim responses",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nA: b\r\n\r\n"
       "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz",
       "z"},
      {"status without reason", "HTTP/1.1 200\r\nContent-Length: 1\r\n\r\nq", "q"},
      {"zero bytes kept", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\na\0b"s, "a\0b"s},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {1u, 2u, 7u, 4096u}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      EXPECT_EQ(ReadAll(c.bytes, piece), c.body);
    }
  }
}

TEST(HttpResponseTest, RefusesMalformedAndOversizedResponses) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"no status code", "HTTP/1.1 OK\r\n\r\n"},
      {"four-digit status", "HTTP/1.1 2000 OK\r\n\r\n"},
      {"not HTTP", "ICY 200 OK\r\n\r\n"},
      {"closed in the head", ok + "Content-Length: 3\r\n"},
      {"header without colon", ok + "Bogus\r\n\r\n"},
      {"folded header", ok + "A: b\r\n  c\r\n\r\n"},
      {"signed length", ok + "Content-Length: -1\r\n\r\n"},
      {"length with junk", ok + "Content-Length: 3x\r\n\r\nabc"},
      {"lengths disagree", ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"},
      {"huge length", ok + "Content-Length: 99999999999999999999\r\n\r\n"},
      {"length over the cap", ok + "Content-Length: 65\r\n\r\n" + std::string(65, 'x')},
      {"line over the limit", ok + "A: " + std::string(98, 'x') + "\r\n\r\n"},
      {"line over the limit, never ended", ok + std::string(500, 'x')},
      {"too many headers", ok + "A: 1\r\nB: 2\r\nC: 3\r\nD: 4\r\nE: 5\r\n\r\n"},
      {"head over its budget", ok + "A: " + std::string(90, 'x') +
                                   "\r\nB: " + std::string(90, 'x') +
                                   "\r\nC: " + std::string(90, 'x') + "\r\n\r\n"},
      {"chunk size not hex", ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"},
      {"chunk size empty", ok + "Transfer-Encoding: chunked\r\n\r\n;x\r\n"},
      {"chunk size overflow", ok + "Transfer-Encoding: chunked\r\n\r\nffffffffffffffffff1\r\n"},
      {"chunk without line end", ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nabX\r\n0\r\n\r\n"},
      {"chunked, closed early", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nab"},
      {"chunked, no last chunk", ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nab\r\n"},
      {"until close over the cap", "HTTP/1.0 200 OK\r\n\r\n" + std::string(65, 'x')},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {1u, 4096u}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      EXPECT_THROW(ReadAll(c.bytes, piece), EHttpError);
    }
  }
}

TEST(HttpResponseTest, InterimResponsesCountAgainstTheHeadBudget) {
  std::string bytes;
  for (int i = 0; i < 20; ++i) bytes += "HTTP/1.1 100 Continue\r\n\r\n";
  bytes += "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
  EXPECT_THROW(ReadAll(bytes, 4096), EHttpError);
}

}  // namespace
}  // namespace qor
