// The socket platform layer over POSIX: sockets are non-blocking from the start, waits are poll(),
// a look-up's signal is an eventfd. Compiled without exceptions (socket_platform.h).
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/socket_platform.h"

namespace qor::socket_platform {

namespace {

void SetNoDelay(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// A socket that neither blocks nor is inherited by programs this one starts.
int NewSocket(int family, int socktype, int protocol) {
  return ::socket(family, socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
}

void* LookupThread(void* lookup) {
  RunLookup(static_cast<TLookup*>(lookup));
  return nullptr;
}

}  // namespace

int LastError() { return errno; }

bool WouldBlock(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS || error == EINTR;
}

const char* ErrorText(int error) { return std::strerror(error); }

Handle StartConnect(const TAddress& address, int& error) {
  const int fd = NewSocket(address.family, address.socktype, address.protocol);
  if (fd < 0) {
    error = errno;
    return kNoSocket;
  }
  if (::connect(fd, static_cast<const sockaddr*>(address.bytes),
                static_cast<socklen_t>(address.length)) != 0 &&
      errno != EINPROGRESS) {
    error = errno;
    ::close(fd);
    return kNoSocket;
  }
  return fd;
}

int ConnectError(Handle socket) {
  const int fd = static_cast<int>(socket);
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error == 0) SetNoDelay(fd);
  return error;
}

void Close(Handle socket) { ::close(static_cast<int>(socket)); }

long Send(Handle socket, const char* data, std::size_t count, int& error) {
  const ssize_t n = ::send(static_cast<int>(socket), data, count, MSG_NOSIGNAL);
  if (n < 0) error = errno;
  return n;
}

long Receive(Handle socket, char* buffer, std::size_t capacity, int& error) {
  const ssize_t n = ::recv(static_cast<int>(socket), buffer, capacity, 0);
  if (n < 0) error = errno;
  return n;
}

int WaitReady(TWaitFor* sockets, std::size_t count, int timeoutMs, int& error) {
  pollfd entries[kMaxWaitSockets];
  if (count > kMaxWaitSockets) count = kMaxWaitSockets;
  for (std::size_t i = 0; i < count; ++i) {
    entries[i] = pollfd{static_cast<int>(sockets[i].socket),
                        static_cast<short>(sockets[i].write ? POLLOUT : POLLIN), 0};
  }
  const int n = ::poll(entries, count, timeoutMs);
  if (n < 0) {
    error = errno;
    return error == EINTR ? 0 : -1;
  }
  for (std::size_t i = 0; i < count; ++i) sockets[i].ready = entries[i].revents != 0;
  return n;
}

int Resolve(const char* host, const char* service, bool numericOnly, void** addresses) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host, service, &hints, &found);
  *addresses = status == 0 ? found : nullptr;
  return status;
}

void FreeAddresses(void* addresses) { ::freeaddrinfo(static_cast<addrinfo*>(addresses)); }

const void* ReadAddress(const void* entry, TAddress& address) {
  const auto* a = static_cast<const addrinfo*>(entry);
  address = TAddress{a->ai_family, a->ai_socktype, a->ai_protocol, a->ai_addr,
                     static_cast<int>(a->ai_addrlen)};
  return a->ai_next;
}

const char* ResolveErrorText(int error) { return ::gai_strerror(error); }

std::intptr_t NewSignal() {
  const int fd = ::eventfd(0, EFD_CLOEXEC);
  return fd > 0 ? fd : 0;
}

void RaiseSignal(std::intptr_t signal) {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(static_cast<int>(signal), &one, sizeof one);
}

bool WaitForSignal(std::intptr_t signal, int timeoutMs) {
  pollfd entry{static_cast<int>(signal), POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) > 0;
}

void CloseSignal(std::intptr_t signal) { ::close(static_cast<int>(signal)); }

bool StartLookupThread(TLookup* lookup) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const bool started = pthread_create(&thread, &attributes, &LookupThread, lookup) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

}  // namespace qor::socket_platform
