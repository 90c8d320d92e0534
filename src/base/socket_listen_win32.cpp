// Listening for the test servers over Winsock (socket_platform.h). A file of its own, so that the
// setup programs, which never listen, import none of it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "base/socket_platform.h"

namespace qor::socket_platform {

namespace {

SOCKET AsSocket(Handle handle) { return static_cast<SOCKET>(handle); }

// Non-blocking, as the sockets of the connecting side are; small writes sent at once.
Handle NonBlocking(SOCKET s) {
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
  BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  return static_cast<Handle>(s);
}

}  // namespace

Handle Listen(const char* address, std::uint16_t port, int& error) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  WSADATA data;  // Winsock counts its starts; a test server's is never undone
  error = ::WSAStartup(MAKEWORD(2, 2), &data);
  if (error != 0) return kNoSocket;
  if (::inet_pton(AF_INET, address, &local.sin_addr) != 1) {
    error = WSAEINVAL;
    return kNoSocket;
  }
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  // Exclusive use: on Windows SO_REUSEADDR would let another program take the port over.
  BOOL one = TRUE;
  if (s == INVALID_SOCKET ||
      ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one),
                   sizeof one) != 0 ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(s, 16) != 0) {
    error = ::WSAGetLastError();
    if (s != INVALID_SOCKET) ::closesocket(s);
    return kNoSocket;
  }
  return NonBlocking(s);
}

Handle Accept(Handle listener, int& error) {
  const SOCKET s = ::accept(AsSocket(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    error = ::WSAGetLastError();
    return kNoSocket;
  }
  return NonBlocking(s);
}

std::uint16_t LocalPort(Handle socket) {
  sockaddr_in local{};
  int length = sizeof local;
  if (::getsockname(AsSocket(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

void ResetOnClose(Handle socket) {
  linger hard{1, 0};
  ::setsockopt(AsSocket(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
               sizeof hard);
}

}  // namespace qor::socket_platform
