// The HTTP client of the verification window (its IdHTTP1): one GET at a time over a direct TCP
// connection, the request fixed byte for byte, the body returned as raw bytes. Used by setup.exe
// and by "qor check", so both fetch answers the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/socket.h"
#include "verification/http_response.h"

namespace qor {

// The parts of an "http://host[:port]/path" URL. Raises EHttpError for any other scheme or a
// malformed URL.
struct THttpUrl {
  std::string host;  // as written, brackets kept for an IPv6 literal
  std::uint16_t port = 80;
  std::string path;  // from the first "/" on, unchanged; "/" when the URL has none

  static THttpUrl Parse(const std::string& url);
};

class THttpClient {
 public:
  // Work events of the response body; see THttpWorkEvents. They run on the calling thread, inside
  // Get.
  std::function<void(TWorkMode mode, std::int64_t expectedCount)> OnWorkBegin;
  std::function<void(TWorkMode mode, std::int64_t count)> OnWork;
  std::function<void(TWorkMode mode)> OnWorkEnd;

  // Called before every wait inside Get (connecting, sending, reading) and between its slices, so
  // at most kWaitSliceMs apart, on the calling thread; a window passes one that handles its
  // messages. Returning false abandons the request: the connection is closed and Get raises
  // ESocketCancelled, which no retry swallows. Empty: Get waits in one piece.
  TKeepWaiting KeepWaiting;

  // Uses the build-time limits, or the given ones (tests use small ones).
  THttpClient();
  explicit THttpClient(const THttpLimits& limits);

  // Sends one GET for url and returns the response body, byte for byte. Success is a status in
  // the 200s without a Location header; anything else raises EHttpError (with the status when
  // there was one). Connection faults, refusals and time-outs raise ESocketError; a request given
  // up by KeepWaiting raises ESocketCancelled. A connection to the same host and port is kept open
  // and reused; one to another host is closed first. Cookies set by any response are kept per host
  // name for the client's lifetime and sent back only to that host.
  //
  // A host that ConnectAhead is opening a connection to takes that one: its look-up gets the
  // connect limit counted from now, its connect the limit counted from when its addresses came
  // in, so each server has limits of its own however long the ones before it took. Once a
  // response has been read, the connections opened ahead for other hosts are closed unused.
  std::string Get(const std::string& url);

  // Starts opening a connection to the host of every URL at once (a name looked up on a thread of
  // its own), sending nothing, for the Gets that follow in turn: servers that drop connection
  // attempts, or a resolver that is slow, then cost the check their limits once, side by side,
  // not once per server. One connection per host and port; a host the kept connection goes to
  // keeps that one. Replaces the connections of an earlier call; URLs that cannot be parsed are
  // left to Get to report. Never raises for a host.
  void ConnectAhead(const std::vector<std::string>& urls);

  // The status code of the last response whose head was read, or 0.
  int LastStatusCode() const { return lastStatusCode_; }

  // The exact bytes Get would send for url now (cookies included).
  std::string BuildRequest(const THttpUrl& url) const;

  // Closes the kept connection, if any, and those opened ahead.
  void Disconnect();

 private:
  std::string Exchange(const THttpUrl& url, const TKeepWaiting& keepWaiting, bool& staleConnection);
  void CloseKept();
  void StoreCookies(const std::string& host, const THttpResponseHead& head);

  using CookieJar = std::vector<std::pair<std::string, std::string>>;  // name and value

  THttpLimits limits_;
  TSocket connection_;
  std::string connectedHost_;
  std::uint16_t connectedPort_ = 0;
  int lastStatusCode_ = 0;
  // Host name (lower-case) and its cookies in the order first set. A client talks to a few hosts,
  // so a list searched in turn (no std::map in setup code: src/runtime/README.md).
  std::vector<std::pair<std::string, CookieJar>> cookies_;
  TPendingConnection::List ahead_;  // from ConnectAhead, not yet taken
};

}  // namespace qor
