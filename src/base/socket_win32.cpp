// TSocket and TListener over Winsock 2. Sockets are non-blocking and every wait is a select() with
// the time left, so no call can outlast its time-limit.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <memory>

#include "base/socket.h"
#include "base/socket_platform.h"
#include "base/text.h"

namespace qor {

using socket_platform::Clock;
using socket_platform::MillisecondsLeft;
using socket_platform::WaitInSlices;

namespace {

// Winsock is started once for the process and left running until it ends; a failed start is tried
// again on the next use. The first use is on the thread that runs the windows, before any other
// thread uses a socket (src/runtime/README.md: statics).
void EnsureWinsock() {
  static bool started = false;
  if (started) return;
  WSADATA data;
  const int status = ::WSAStartup(MAKEWORD(2, 2), &data);
  if (status != 0) throw ESocketError("WSAStartup failed: error " + DecimalText(status));
  started = true;
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
      return "Winsock error " + DecimalText(error);
  }
}

enum class Wait { kRead, kWrite };

// Waits at most timeoutMs until s is readable or writable; false on time-out. A failed connect
// shows in the exception set, which counts as ready so that the caller reads the error.
bool SelectOnce(SOCKET s, Wait what, int timeoutMs) {
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

// Waits until s is ready or deadline passes; false on time-out.
bool WaitFor(SOCKET s, Wait what, Clock::time_point deadline,
             const TKeepWaiting& keepWaiting = {}) {
  return WaitInSlices(deadline, keepWaiting, [&](int ms) { return SelectOnce(s, what, ms); });
}

Clock::time_point After(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

void SetNonBlocking(SOCKET s) {
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
}

struct AddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

SOCKET AsSocket(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

}  // namespace

namespace socket_platform {

std::vector<TEndpoint> Resolve(const std::string& host, std::uint16_t port, bool numericOnly) {
  EnsureWinsock();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  addrinfo* found = nullptr;
  const std::string service = DecimalText(port);
  const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0) {
    if (numericOnly) return {};
    throw ESocketError("cannot resolve host \"" + host + "\": " + SystemText(status));
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> list(found);
  std::vector<TEndpoint> endpoints;
  for (const addrinfo* a = list.get(); a != nullptr; a = a->ai_next) {
    endpoints.push_back(
        TEndpoint{a->ai_family, a->ai_socktype, a->ai_protocol,
                  std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen)});
  }
  return endpoints;
}

std::intptr_t NewSignal() {
  return reinterpret_cast<std::intptr_t>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

void RaiseSignal(std::intptr_t signal) { ::SetEvent(reinterpret_cast<HANDLE>(signal)); }

bool WaitForSignal(std::intptr_t signal, int timeoutMs) {
  return !signal || ::WaitForSingleObject(reinterpret_cast<HANDLE>(signal),
                                          static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

void CloseSignal(std::intptr_t signal) { ::CloseHandle(reinterpret_cast<HANDLE>(signal)); }

namespace {

DWORD WINAPI LookupThread(void* job) {
  RunLookup(static_cast<TLookupJob*>(job));
  return 0;
}

}  // namespace

bool StartLookupThread(TLookupJob* job) {
  HANDLE thread = ::CreateThread(nullptr, 0, &LookupThread, job, 0, nullptr);
  if (!thread) return false;
  ::CloseHandle(thread);
  return true;
}

std::intptr_t StartConnect(const TEndpoint& endpoint, std::string& reason) {
  const SOCKET s = ::socket(endpoint.family, endpoint.socktype, endpoint.protocol);
  if (s == INVALID_SOCKET) {
    reason = "socket: " + SystemText(::WSAGetLastError());
    return -1;
  }
  SetNonBlocking(s);
  if (::connect(s, reinterpret_cast<const sockaddr*>(endpoint.address.data()),
                static_cast<int>(endpoint.address.size())) == SOCKET_ERROR) {
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      reason = SystemText(error);
      ::closesocket(s);
      return -1;
    }
  }
  return static_cast<std::intptr_t>(s);
}

int WaitForAnyAttempt(const std::vector<std::intptr_t>& pending, int timeoutMs) {
  fd_set connected;
  fd_set failed;
  FD_ZERO(&connected);
  FD_ZERO(&failed);
  for (std::intptr_t handle : pending) {
    FD_SET(AsSocket(handle), &connected);
    FD_SET(AsSocket(handle), &failed);
  }
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int n = ::select(0, nullptr, &connected, &failed, &limit);
  if (n == SOCKET_ERROR) throw ESocketError("select failed: " + SystemText(::WSAGetLastError()));
  if (n == 0) return -1;
  for (std::size_t i = 0; i < pending.size(); ++i) {
    const SOCKET s = AsSocket(pending[i]);
    if (FD_ISSET(s, &connected) || FD_ISSET(s, &failed)) return static_cast<int>(i);
  }
  return -1;
}

bool FinishConnect(std::intptr_t handle, std::string& reason) {
  const SOCKET s = AsSocket(handle);
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    error = ::WSAGetLastError();
  }
  if (error != 0) {
    reason = SystemText(error);
    return false;
  }
  // The request is one small block; send it at once rather than wait for an acknowledgement.
  BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return true;
}

void CloseHandle(std::intptr_t handle) { ::closesocket(AsSocket(handle)); }

}  // namespace socket_platform

void TSocket::SendAll(const void* data, std::size_t count, int timeoutMs,
                      const TKeepWaiting& keepWaiting) {
  if (!handle_) throw ESocketError("send on a closed socket");
  const SOCKET s = AsSocket(handle_.Get());
  const Clock::time_point deadline = After(timeoutMs);
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    if (!WaitFor(s, Wait::kWrite, deadline, keepWaiting)) {
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

std::size_t TSocket::Receive(void* buffer, std::size_t capacity, int timeoutMs,
                             const TKeepWaiting& keepWaiting) {
  if (!handle_) throw ESocketError("receive on a closed socket");
  const SOCKET s = AsSocket(handle_.Get());
  const Clock::time_point deadline = After(timeoutMs);
  const int piece = capacity > 65536 ? 65536 : static_cast<int>(capacity);
  for (;;) {
    if (!WaitFor(s, Wait::kRead, deadline, keepWaiting)) {
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

void TSocket::Close() { handle_.Reset(); }

void TSocket::Abort() {
  if (!handle_) return;
  linger hard{1, 0};
  ::setsockopt(AsSocket(handle_.Get()), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
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
  listener.handle_.Reset(static_cast<std::intptr_t>(s));
  // Exclusive use: on Windows SO_REUSEADDR would let another program take the port over.
  BOOL one = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
      ::listen(s, 16) == SOCKET_ERROR) {
    throw ESocketError("cannot listen on " + address + ":" + DecimalText(port) + ": " +
                       SystemText(::WSAGetLastError()));
  }
  return listener;
}

std::uint16_t TListener::Port() const {
  sockaddr_in local{};
  int length = sizeof local;
  if (::getsockname(AsSocket(handle_.Get()), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

TSocket TListener::Accept(int timeoutMs) {
  if (!handle_) throw ESocketError("accept on a closed listener");
  const SOCKET s = AsSocket(handle_.Get());
  if (!WaitFor(s, Wait::kRead, After(timeoutMs))) return TSocket();
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

void TListener::Close() { handle_.Reset(); }

}  // namespace qor
