// TSocket and TListener over Winsock 2. Sockets are non-blocking and every wait is a select() with
// the time left, so no call can outlast its time-limit.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <memory>

#include "base/socket.h"

namespace qor {

namespace {

using Clock = std::chrono::steady_clock;

// Winsock is started once for the process and left running until it ends.
void EnsureWinsock() {
  static const bool started = [] {
    WSADATA data;
    const int status = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (status != 0) throw ESocketError("WSAStartup failed: error " + std::to_string(status));
    return true;
  }();
  (void)started;
}

std::string SystemText(int error) {
  switch (error) {
    case WSAECONNREFUSED:
      return "connection refused";
    case WSAECONNRESET:
      return "connection reset by peer";
    case WSAECONNABORTED:
      return "connection aborted";
    case WSAETIMEDOUT:
      return "timed out";
    case WSAENETUNREACH:
      return "network unreachable";
    case WSAEHOSTUNREACH:
      return "host unreachable";
    case WSAHOST_NOT_FOUND:
      return "host not found";
    case WSATRY_AGAIN:
      return "temporary failure in name resolution";
    case WSANO_DATA:
      return "no address for the name";
    default:
      return "Winsock error " + std::to_string(error);
  }
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

enum class Wait { kRead, kWrite };

// Waits until s is readable or writable; false on time-out. A failed connect shows in the
// exception set, which counts as ready so that the caller reads the error.
bool WaitFor(SOCKET s, Wait what, int timeoutMs) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int n = ::select(0, what == Wait::kRead ? &ready : nullptr,
                         what == Wait::kWrite ? &ready : nullptr, &failed, &limit);
  if (n == SOCKET_ERROR) throw ESocketError("select failed: " + SystemText(::WSAGetLastError()));
  return n > 0;
}

void SetNonBlocking(SOCKET s) {
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
}

struct AddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

// Connects one address within the deadline; returns the socket or INVALID_SOCKET with the reason,
// and sets timedOut when the deadline passed.
SOCKET ConnectOne(const addrinfo& address, Clock::time_point deadline, std::string& reason,
                  bool& timedOut) {
  const SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
  if (s == INVALID_SOCKET) {
    reason = "socket: " + SystemText(::WSAGetLastError());
    return INVALID_SOCKET;
  }
  SetNonBlocking(s);
  int error = 0;
  if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
      if (!WaitFor(s, Wait::kWrite, MillisecondsLeft(deadline))) {
        ::closesocket(s);
        timedOut = true;
        reason = "timed out";
        return INVALID_SOCKET;
      }
      int length = sizeof error;
      if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        error = ::WSAGetLastError();
      }
    }
  }
  if (error != 0) {
    ::closesocket(s);
    reason = SystemText(error);
    return INVALID_SOCKET;
  }
  // The request is one small block; send it at once rather than wait for an acknowledgement.
  BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return s;
}

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

TSocket TSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs) {
  EnsureWinsock();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0) {
    throw ESocketError("cannot resolve host \"" + host + "\": " + SystemText(status));
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> list(found);
  std::string reason = "no address";
  for (const addrinfo* address = list.get(); address != nullptr; address = address->ai_next) {
    bool timedOut = false;
    const SOCKET s = ConnectOne(*address, deadline, reason, timedOut);
    if (s != INVALID_SOCKET) return TSocket(static_cast<std::intptr_t>(s));
    if (timedOut || MillisecondsLeft(deadline) == 0) {
      throw ESocketTimeout("connect to " + host + ":" + service + " timed out");
    }
  }
  throw ESocketError("cannot connect to " + host + ":" + service + ": " + reason);
}

void TSocket::SendAll(const void* data, std::size_t count, int timeoutMs) {
  if (handle_ == -1) throw ESocketError("send on a closed socket");
  const SOCKET s = AsSocket(handle_);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    if (!WaitFor(s, Wait::kWrite, MillisecondsLeft(deadline))) {
      throw ESocketTimeout("send timed out");
    }
    const int piece = count > 65536 ? 65536 : static_cast<int>(count);
    const int n = ::send(s, bytes, piece, 0);
    if (n == SOCKET_ERROR) {
      const int error = ::WSAGetLastError();
      if (error == WSAEWOULDBLOCK || error == WSAEINTR) continue;
      throw ESocketError("send failed: " + SystemText(error));
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

std::size_t TSocket::Receive(void* buffer, std::size_t capacity, int timeoutMs) {
  if (handle_ == -1) throw ESocketError("receive on a closed socket");
  const SOCKET s = AsSocket(handle_);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const int piece = capacity > 65536 ? 65536 : static_cast<int>(capacity);
  for (;;) {
    if (!WaitFor(s, Wait::kRead, MillisecondsLeft(deadline))) {
      throw ESocketTimeout("receive timed out");
    }
    const int n = ::recv(s, static_cast<char*>(buffer), piece, 0);
    if (n != SOCKET_ERROR) return static_cast<std::size_t>(n);
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR) {
      if (MillisecondsLeft(deadline) == 0) throw ESocketTimeout("receive timed out");
      continue;
    }
    throw ESocketError("receive failed: " + SystemText(error));
  }
}

void TSocket::Close() {
  if (handle_ == -1) return;
  ::closesocket(AsSocket(handle_));
  handle_ = -1;
}

void TSocket::Abort() {
  if (handle_ == -1) return;
  linger hard{1, 0};
  ::setsockopt(AsSocket(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
               sizeof hard);
  Close();
}

TListener TListener::Listen(const std::string& address, std::uint16_t port) {
  EnsureWinsock();
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    throw ESocketError("not an IPv4 address: " + address);
  }
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw ESocketError("socket: " + SystemText(::WSAGetLastError()));
  TListener listener;
  listener.handle_ = static_cast<std::intptr_t>(s);
  // Exclusive use: on Windows SO_REUSEADDR would let another program take the port over.
  BOOL one = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
      ::listen(s, 16) == SOCKET_ERROR) {
    throw ESocketError("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                       SystemText(::WSAGetLastError()));
  }
  return listener;
}

std::uint16_t TListener::Port() const {
  sockaddr_in local{};
  int length = sizeof local;
  if (::getsockname(AsSocket(handle_), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

TSocket TListener::Accept(int timeoutMs) {
  if (handle_ == -1) throw ESocketError("accept on a closed listener");
  const SOCKET s = AsSocket(handle_);
  if (!WaitFor(s, Wait::kRead, timeoutMs)) return TSocket();
  const SOCKET accepted = ::accept(s, nullptr, nullptr);
  if (accepted == INVALID_SOCKET) {
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAECONNRESET || error == WSAEINTR) return TSocket();
    throw ESocketError("accept failed: " + SystemText(error));
  }
  SetNonBlocking(accepted);
  BOOL one = TRUE;
  ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return TSocket(static_cast<std::intptr_t>(accepted));
}

void TListener::Close() {
  if (handle_ == -1) return;
  ::closesocket(AsSocket(handle_));
  handle_ = -1;
}

}  // namespace qor
