// Blocking TCP sockets with time-limits: the one networking interface of the program, with a POSIX
// and a Winsock implementation. Every wait takes a time-limit in milliseconds, so no caller can be
// held by a silent peer for longer than it chose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace qor {

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

// One TCP connection, or none (the default). Move-only; the destructor closes it.
class TSocket {
 public:
  TSocket() = default;
  TSocket(TSocket&& other) noexcept;
  TSocket& operator=(TSocket&& other) noexcept;
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;
  ~TSocket();

  // Resolves host (a name or a numeric address, through getaddrinfo) and connects to port, trying
  // each address in turn until one accepts. The whole attempt, over all addresses, ends within
  // timeoutMs. Raises ESocketError when the name cannot be resolved or no address accepts,
  // ESocketTimeout when the time ran out first.
  static TSocket Connect(const std::string& host, std::uint16_t port, int timeoutMs);

  bool IsOpen() const;

  // Sends all count bytes of data, waiting at most timeoutMs in all. Raises ESocketError on a
  // broken connection, ESocketTimeout when the peer does not take the bytes in time.
  void SendAll(const void* data, std::size_t count, int timeoutMs);

  // Waits at most timeoutMs for bytes and moves up to capacity of them into buffer. Returns how
  // many arrived, 0 when the peer has closed its side in order. Raises ESocketTimeout when
  // nothing arrived in time, ESocketError when the connection broke (a reset, for one).
  std::size_t Receive(void* buffer, std::size_t capacity, int timeoutMs);

  // Closes the connection in order; a closed socket stays closed. Never raises.
  void Close();

  // Closes the connection with a reset instead of an orderly close (test servers use it to
  // break a connection mid-response). Never raises.
  void Abort();

  // Used by TListener only: takes over an accepted connection.
  explicit TSocket(std::intptr_t handle) : handle_(handle) {}

 private:
  std::intptr_t handle_ = -1;  // a file descriptor or a SOCKET, by platform; -1 when none
};

// A listening TCP socket on a loopback or other local address. Move-only.
class TListener {
 public:
  TListener() = default;
  TListener(TListener&& other) noexcept;
  TListener& operator=(TListener&& other) noexcept;
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;
  ~TListener();

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
  std::intptr_t handle_ = -1;
};

}  // namespace qor
