// Blocking TCP sockets with time-limits: the one networking interface of the program, with a POSIX
// and a Winsock implementation. Every wait takes a time-limit in milliseconds, so no caller can be
// held by a silent peer for longer than it chose, and may take a keep-waiting callback, so that a
// window's thread can go on handling its messages while it waits, and give the wait up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/unique_handle.h"

namespace qor {

namespace socket_platform {
struct TLookupJob;
}  // namespace socket_platform

// Base of every socket failure: name resolution, refused or broken connections, time-outs. The
// message says what failed and the system's reason.
class ESocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A wait that ran out of its time-limit (connect, send or receive).
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

// The addresses of a host, looked up on a thread of its own: waiting for them is sliced and can be
// given up like every other wait here, and several names can be looked up side by side. A numeric
// address is taken at once, without a thread. Move-only. Destroying it gives up a look-up still
// running; that one ends on its own, writes only into what its thread holds a share of, and does
// not hold up the process's exit.
class TNameLookup {
 public:
  // Starts looking up host (a name or a numeric address) for a TCP connection to port. Should no
  // thread start, the look-up runs here, blocking.
  TNameLookup(const std::string& host, std::uint16_t port);
  TNameLookup(TNameLookup&& other) noexcept;
  TNameLookup& operator=(TNameLookup&& other) noexcept;
  TNameLookup(const TNameLookup&) = delete;
  TNameLookup& operator=(const TNameLookup&) = delete;
  ~TNameLookup();

  const std::string& Host() const;
  std::uint16_t Port() const;

 private:
  friend class TSocket;
  socket_platform::TLookupJob* job_ = nullptr;
};

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
  TSocket(TSocket&& other) noexcept = default;
  TSocket& operator=(TSocket&& other) noexcept = default;
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;
  ~TSocket() = default;

  // Resolves host (a name or a numeric address, as TNameLookup does) and connects to port. The
  // addresses are tried as ConnectToAddresses does, the two address families taking turns. The
  // whole attempt, the look-up and all addresses, ends within timeoutMs. Raises ESocketError when
  // the name cannot be resolved or no address accepts, ESocketTimeout when the time ran out first,
  // ESocketCancelled when keepWaiting gave up.
  static TSocket Connect(const std::string& host, std::uint16_t port, int timeoutMs,
                         const TKeepWaiting& keepWaiting = {});

  // The same with a look-up started earlier. timeoutMs bounds the whole call, and the look-up
  // counts it from its own start: names looked up side by side for servers that are asked in turn
  // run out of time together, once, instead of once per server. Raises ESocketTimeout when the
  // look-up ran out of it first.
  static TSocket Connect(const TNameLookup& lookup, int timeoutMs,
                         const TKeepWaiting& keepWaiting = {});

  // Connects to port on the first of addresses (numeric, in that order) to accept: each attempt
  // starts kConnectAttemptDelayMs after the one before, or at once when that one has failed, and
  // the attempts run side by side, all within the one timeoutMs; the losers are closed. So an
  // address that never answers costs the others only the delay. Raises as Connect does.
  static TSocket ConnectToAddresses(const std::vector<std::string>& addresses, std::uint16_t port,
                                    int timeoutMs, const TKeepWaiting& keepWaiting = {});

  bool IsOpen() const;

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

  // Closes the connection in order; a closed socket stays closed. Never raises.
  void Close();

  // Closes the connection with a reset instead of an orderly close (test servers use it to
  // break a connection mid-response). Never raises.
  void Abort();

  // Used by TListener only: takes over an accepted connection.
  explicit TSocket(std::intptr_t handle) : handle_(handle) {}

 private:
  UniqueSocket handle_;
};

// A listening TCP socket on a loopback or other local address. Move-only.
class TListener {
 public:
  TListener() = default;
  TListener(TListener&& other) noexcept = default;
  TListener& operator=(TListener&& other) noexcept = default;
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;
  ~TListener() = default;

  // Listens on address:port; port 0 lets the system choose a free one (see Port). Raises
  // ESocketError when the address cannot be bound.
  static TListener Listen(const std::string& address, std::uint16_t port);

  bool IsOpen() const;
  // The port actually bound.
  std::uint16_t Port() const;

  // Waits at most timeoutMs for a connection. Returns it, or a socket that is not open when the
  // time ran out. Raises ESocketError when the listener failed.
  TSocket Accept(int timeoutMs);

  void Close();

 private:
  UniqueSocket handle_;
};

}  // namespace qor
