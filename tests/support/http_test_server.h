// A fault-injecting HTTP server for tests: listens on 127.0.0.1, records every request's raw bytes,
// and answers each request as scripted: well-formed answers, redirects and error statuses, and
// faults (closing, resetting, stalling, trickling, lying about lengths, oversized parts). Runs on
// its own threads over the socket layer of src/base, natively and under Wine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/socket.h"

namespace qor::testing {

// A listening TCP socket on a local IPv4 address, over the socket layer's platform calls.
// Move-only.
class TListener {
 public:
  // Listens on address:port; port 0 lets the system choose a free one (see Port). Raises
  // ESocketError when the address cannot be bound.
  static TListener Listen(const std::string& address, std::uint16_t port);

  bool IsOpen() const { return static_cast<bool>(handle_); }
  // The port actually bound.
  std::uint16_t Port() const;
  // Waits at most timeoutMs for a connection. Returns it, or a socket that is not open when none
  // came in time.
  TSocket Accept(int timeoutMs);
  void Close() { handle_.Reset(); }

 private:
  UniqueSocket handle_;
};

// Closes socket with a reset instead of an orderly close (to break a connection mid-response).
void Abort(TSocket& socket);

// One thing the server does on a connection.
struct TServerStep {
  enum class Kind {
    kSend,     // send bytes at once
    kTrickle,  // send bytes one at a time, ms apart
    kPause,    // wait ms (cut short when the server stops)
    kClose,    // orderly close
    kReset,    // close with a reset
  };
  Kind kind;
  std::string bytes;
  int ms = 0;
};

// What the server does for one request. After the steps, unless one of them closed the connection,
// the connection stays open for the next request.
struct TServerBehaviour {
  bool readRequest = true;  // false: act at once after accepting, before any request arrives
  std::vector<TServerStep> steps;

  // Sends raw bytes as the response and keeps the connection open.
  static TServerBehaviour Raw(std::string bytes);
  // "200 OK" with Content-Length; extraHeaders are complete lines ("Name: value\r\n").
  static TServerBehaviour Ok(const std::string& body, const std::string& extraHeaders = "");
  // The status with a short text body and Content-Length.
  static TServerBehaviour Status(int code, const std::string& extraHeaders = "");
  static TServerBehaviour Redirect(int code, const std::string& location);
  static TServerBehaviour OkWithLocation(const std::string& body, const std::string& location);
  // "100 Continue", then "200 OK" with body.
  static TServerBehaviour ContinueThenOk(const std::string& body);
  // A chunked body, each chunk's size line carrying extension (e.g. ";name=value").
  static TServerBehaviour Chunked(const std::vector<std::string>& chunks,
                                  const std::string& extension = "");
  // Announces declared bytes, sends body (shorter), then closes.
  static TServerBehaviour ShortBody(std::size_t declared, const std::string& body);
  // No Content-Length: the body ends when the server closes.
  static TServerBehaviour UntilClose(const std::string& body);
  // A header line of lineBytes bytes.
  static TServerBehaviour OversizedHeaderLine(std::size_t lineBytes);
  // A body of bodyBytes bytes delimited by close, so only a cap can stop the reader.
  static TServerBehaviour OversizedBody(std::size_t bodyBytes);
  static TServerBehaviour SetCookie(const std::string& cookie, const std::string& body);
  // Accepts and closes without reading.
  static TServerBehaviour AcceptAndClose();
  // Announces a body, sends part of it, then resets the connection.
  static TServerBehaviour ResetMidBody();
  // Reads the request and sends nothing for ms, then closes.
  static TServerBehaviour Stall(int ms);
  // Reads the request, sends nothing for ms, then "200 OK" with body.
  static TServerBehaviour Late(int ms, const std::string& body);
  // Sends a complete response one byte per intervalMs.
  static TServerBehaviour Trickle(const std::string& body, int intervalMs);

  // One behaviour from a line of a script, e.g. "ok   ABC\r\n", "status 404", "redirect 301 URL",
  // "stall 5000"; see qor_test_server --help. Texts take the escapes \r \n \t \\ \xHH. Raises
  // std::invalid_argument for a line it does not know.
  static TServerBehaviour Parse(const std::string& line);
};

class THttpTestServer {
 public:
  // Listens on 127.0.0.1:port (0: a free port) and starts serving.
  explicit THttpTestServer(std::uint16_t port = 0);
  THttpTestServer(const THttpTestServer&) = delete;
  THttpTestServer& operator=(const THttpTestServer&) = delete;
  ~THttpTestServer();

  std::uint16_t Port() const { return port_; }
  // "http://" + host + ":" + port + "/".
  std::string BaseUrl(const std::string& host = "127.0.0.1") const;

  // Queues the behaviour for the next request not yet answered.
  void Enqueue(TServerBehaviour behaviour);
  // What requests get once the queue is empty (at first: a 500 saying so).
  void SetDefault(TServerBehaviour behaviour);

  // The raw bytes of every request received so far, in order.
  std::vector<std::string> Requests() const;
  int Connections() const { return connections_; }
  // Connections accepted and not yet closed.
  int OpenConnections() const { return connections_ - closed_; }

  // Stops accepting, cuts every pause short, closes every connection and joins the threads.
  void Stop();

  // A loopback port that nothing listens on, for refused connections.
  static std::uint16_t UnusedPort();

 private:
  void AcceptLoop();
  void Serve(TSocket socket);
  bool ReadRequest(TSocket& socket, std::string& pending);
  bool Perform(TSocket& socket, const TServerBehaviour& behaviour);  // false once closed
  bool Pause(int ms);                                                // false when stopped
  TServerBehaviour Next();

  TListener listener_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<int> closed_{0};
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TServerBehaviour> queue_;
  TServerBehaviour default_;
  std::vector<std::string> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// An address:port where connection attempts neither succeed nor fail: a listener whose accept
// queue is full and never drained, so that Linux drops further handshakes (as a route that
// swallows them would). Windows may refuse such attempts instead. Use another loopback address
// (127.0.0.2) than the live servers, at the same port if wanted.
class TUnansweringAddress {
 public:
  explicit TUnansweringAddress(const std::string& address, std::uint16_t port = 0);
  std::uint16_t Port() const { return listener_.Port(); }

 private:
  TListener listener_;
  std::vector<TSocket> filling_;
};

}  // namespace qor::testing
