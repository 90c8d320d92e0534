// Listening for the test servers over POSIX sockets (socket_platform.h). A file of its own, so that
// the setup programs, which never listen, link none of it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "base/socket_platform.h"

namespace qor::socket_platform {

Handle Listen(const char* address, std::uint16_t port, int& error) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (::inet_pton(AF_INET, address, &local.sin_addr) != 1) {
    error = EINVAL;
    return kNoSocket;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  int one = 1;
  if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(fd, 16) != 0) {
    error = errno;
    if (fd >= 0) ::close(fd);
    return kNoSocket;
  }
  return fd;
}

Handle Accept(Handle listener, int& error) {
  const int fd =
      ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return kNoSocket;
  }
  int one = 1;  // small writes sent at once
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

std::uint16_t LocalPort(Handle socket) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

void ResetOnClose(Handle socket) {
  linger hard{1, 0};
  ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

}  // namespace qor::socket_platform
