// TCP connections with time-limits: the one networking interface of the program, written once over
// the platform layer of socket_platform.h. Every wait takes a time-limit in milliseconds, so no
// caller can be held by a silent peer for longer than it chose, and may take a keep-waiting
// callback, so that a window's thread can go on handling its messages while it waits, and give the
// wait up. Connections can be opened ahead, several side by side (TPendingConnection).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/unique_handle.h"

namespace qor {

namespace socket_platform {
struct TLookup;
struct TAddress;
}  // namespace socket_platform

// Base of every socket failure: name resolution, refused or broken connections, time-outs. The
// message says what failed and the system's reason.
class ESocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A wait that ran out of its time-limit (look-up, connect, send or receive).
class ESocketTimeout : public ESocketError {
 public:
  using ESocketError::ESocketError;
};

// A wait given up because its keep-waiting callback said so. Not an ESocketError: the operation
// was abandoned by its caller, not failed, and must not be taken for a reason to try elsewhere.
class ESocketCancelled : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Called on the waiting thread before every wait and between its slices, so at most kWaitSliceMs
// apart while a call waits; it may handle window messages. Returning false gives the wait up: the
// call raises ESocketCancelled. An empty callback waits in one piece.
using TKeepWaiting = std::function<bool()>;
inline constexpr int kWaitSliceMs = 50;

// A host's next address is tried this long after the one before if that has not connected yet,
// while the earlier attempts go on (RFC 8305, "Happy Eyeballs"); the first to connect wins.
inline constexpr int kConnectAttemptDelayMs = 250;

// A socket of the platform: a file descriptor or a SOCKET; -1 when none.
struct SocketTraits {
  using Type = std::intptr_t;
  static Type Empty() { return -1; }
  static bool IsValid(Type handle) { return handle != -1; }
  static void Free(Type handle);
};
using UniqueSocket = UniqueHandle<SocketTraits>;

// One TCP connection, or none (the default). Move-only; the destructor closes it.
class TSocket {
 public:
  TSocket() = default;
  // Takes over a connected, non-blocking socket of the platform (socket_platform.h).
  explicit TSocket(std::intptr_t handle) : handle_(handle) {}

  // Looks host up (a name or a numeric address; a name on a thread of its own) and connects to
  // port, as TPendingConnection does, all within timeoutMs. Raises ESocketError when the name
  // cannot be resolved or no address accepts, ESocketTimeout when the time ran out first,
  // ESocketCancelled when keepWaiting gave up.
  static TSocket Connect(const std::string& host, std::uint16_t port, int timeoutMs,
                         const TKeepWaiting& keepWaiting = {});

  bool IsOpen() const { return static_cast<bool>(handle_); }
  std::intptr_t Handle() const { return handle_.Get(); }

  // Sends all count bytes of data, waiting at most timeoutMs in all. Raises ESocketError on a
  // broken connection, ESocketTimeout when the peer does not take the bytes in time,
  // ESocketCancelled when keepWaiting gave up.
  void SendAll(const void* data, std::size_t count, int timeoutMs,
               const TKeepWaiting& keepWaiting = {});

  // Waits at most timeoutMs for bytes and moves up to capacity of them into buffer. Returns how
  // many arrived, 0 when the peer has closed its side in order. Raises ESocketTimeout when
  // nothing arrived in time, ESocketError when the connection broke (a reset, for one),
  // ESocketCancelled when keepWaiting gave up.
  std::size_t Receive(void* buffer, std::size_t capacity, int timeoutMs,
                      const TKeepWaiting& keepWaiting = {});

  // Whether bytes, the peer's close or a failure wait to be read, without waiting.
  bool Readable() const;

  // Closes the connection in order; a closed socket stays closed. Never raises.
  void Close() { handle_.Reset(); }

 private:
  UniqueSocket handle_;
};

// A connection being opened: its host looked up on a thread of its own (a numeric address at once),
// then its addresses tried side by side, each kConnectAttemptDelayMs after the one before or at
// once when that one failed, the two address families taking turns (RFC 8305); the first to connect
// wins and the others are closed. Nothing here blocks but Await, so connections to several servers
// can be opened at once and taken in turn. Not copied or moved (hold several by pointer);
// destroying it closes what it opened and gives its look-up up (whose thread ends on its own and
// holds up nothing).
class TPendingConnection {
 public:
  using List = std::vector<std::unique_ptr<TPendingConnection>>;

  // Starts looking host up for port. connectTimeoutMs is the limit of connecting, counted from the
  // moment the addresses are in.
  TPendingConnection(const std::string& host, std::uint16_t port, int connectTimeoutMs);
  TPendingConnection(const TPendingConnection&) = delete;
  TPendingConnection& operator=(const TPendingConnection&) = delete;
  ~TPendingConnection();

  const std::string& Host() const { return host_; }
  std::uint16_t Port() const { return port_; }
  // Whether it has connected and is waiting to be taken.
  bool Connected() const { return static_cast<bool>(connected_); }

  // Moves it on without waiting: takes the addresses once they are in, starts the attempts that
  // are due, notes those that connected or failed, gives up once the connect limit has passed.
  // Never raises for a failure of the connection; Await reports it.
  void Advance();

  // Waits until it has connected and returns the connection, advancing alongside (other pending
  // connections) at least every kWaitSliceMs. Raises ESocketTimeout when the look-up has not
  // ended within lookupLimitMs or the whole wait not within limitMs (both counted from now) or the
  // connect limit ran out; ESocketError when the name has no address or no address accepts;
  // ESocketCancelled when keepWaiting gave up. Once it has raised, it raises the same again.
  TSocket Await(int lookupLimitMs, int limitMs, const TKeepWaiting& keepWaiting = {},
                const List* alongside = nullptr);

  // Opens it again to the addresses it already has, with a new connect limit: for a connection
  // taken from it that the server had closed while it waited to be taken. Only after Await
  // succeeded.
  void Reopen();

 private:
  struct LookupRelease {
    void operator()(socket_platform::TLookup* lookup) const;
  };
  using Clock = std::chrono::steady_clock;

  // Gives up, the reason being what, host and port, and the detail if any.
  void Fail(const char* what, const std::string& detail = "", bool timedOut = false);

  std::string host_;
  std::uint16_t port_ = 0;
  int connectTimeoutMs_ = 0;
  std::unique_ptr<socket_platform::TLookup, LookupRelease> lookup_;
  bool lookedUp_ = false;
  std::vector<socket_platform::TAddress> addresses_;  // in the order to try them
  std::size_t next_ = 0;                              // the next address to try
  std::vector<UniqueSocket> attempts_;
  UniqueSocket connected_;
  Clock::time_point nextStart_;
  Clock::time_point connectDeadline_;
  std::string reason_;       // why it failed; empty while it may still connect
  std::string lastRefusal_;  // why the last attempt failed
  bool timedOut_ = false;
};

}  // namespace qor
