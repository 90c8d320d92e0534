// TSocket and TListener over POSIX sockets. Waits use poll(); connecting is non-blocking so that
// its time-limit holds and several attempts can run at once.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "base/socket.h"
#include "base/socket_platform.h"
#include "base/text.h"

namespace qor {

using socket_platform::Clock;
using socket_platform::MillisecondsLeft;
using socket_platform::WaitInSlices;

namespace {

std::string SystemText(int error) { return std::strerror(error); }

// Waits at most timeoutMs for events on fd; returns the revents, 0 on time-out.
short PollOnce(int fd, short events, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd entry{fd, events, 0};
    const int n = ::poll(&entry, 1, MillisecondsLeft(deadline));
    if (n > 0) return entry.revents;
    if (n == 0) return 0;
    if (errno != EINTR) throw ESocketError("poll failed: " + SystemText(errno));
  }
}

// Waits for events on fd until deadline; returns the revents, 0 on time-out.
short WaitFor(int fd, short events, Clock::time_point deadline,
              const TKeepWaiting& keepWaiting = {}) {
  short revents = 0;
  WaitInSlices(deadline, keepWaiting, [&](int ms) {
    revents = PollOnce(fd, events, ms);
    return revents != 0;
  });
  return revents;
}

Clock::time_point After(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

void SetNonBlocking(int fd, bool on) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

struct AddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

}  // namespace

namespace socket_platform {

std::vector<TEndpoint> Resolve(const std::string& host, std::uint16_t port, bool numericOnly) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  addrinfo* found = nullptr;
  const std::string service = DecimalText(port);
  const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0) {
    if (numericOnly) return {};
    throw ESocketError("cannot resolve host \"" + host + "\": " + ::gai_strerror(status));
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
  const int fd = ::eventfd(0, EFD_CLOEXEC);
  return fd > 0 ? fd : 0;
}

void RaiseSignal(std::intptr_t signal) {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(static_cast<int>(signal), &one, sizeof one);
}

bool WaitForSignal(std::intptr_t signal, int timeoutMs) {
  return !signal || PollOnce(static_cast<int>(signal), POLLIN, timeoutMs) != 0;
}

void CloseSignal(std::intptr_t signal) { ::close(static_cast<int>(signal)); }

bool StartLookupThread(TLookupJob* job) {
  try {
    std::thread(RunLookup, job).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

std::intptr_t StartConnect(const TEndpoint& endpoint, std::string& reason) {
  const int fd = ::socket(endpoint.family, endpoint.socktype | SOCK_CLOEXEC, endpoint.protocol);
  if (fd < 0) {
    reason = "socket: " + SystemText(errno);
    return -1;
  }
  SetNonBlocking(fd, true);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(endpoint.address.data()),
                static_cast<socklen_t>(endpoint.address.size())) != 0 &&
      errno != EINPROGRESS) {
    reason = SystemText(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

int WaitForAnyAttempt(const std::vector<std::intptr_t>& pending, int timeoutMs) {
  std::vector<pollfd> entries;
  for (std::intptr_t handle : pending)
    entries.push_back(pollfd{static_cast<int>(handle), POLLOUT, 0});
  const Clock::time_point deadline = After(timeoutMs);
  for (;;) {
    const int n = ::poll(entries.data(), entries.size(), MillisecondsLeft(deadline));
    if (n == 0) return -1;
    if (n > 0) break;
    if (errno != EINTR) throw ESocketError("poll failed: " + SystemText(errno));
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].revents != 0) return static_cast<int>(i);
  }
  return -1;
}

bool FinishConnect(std::intptr_t handle, std::string& reason) {
  const int fd = static_cast<int>(handle);
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    reason = SystemText(error);
    return false;
  }
  SetNonBlocking(fd, false);
  // The request is one small block; send it at once rather than wait for an acknowledgement.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return true;
}

void CloseHandle(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

}  // namespace socket_platform

void TSocket::SendAll(const void* data, std::size_t count, int timeoutMs,
                      const TKeepWaiting& keepWaiting) {
  if (!handle_) throw ESocketError("send on a closed socket");
  const int fd = static_cast<int>(handle_.Get());
  const Clock::time_point deadline = After(timeoutMs);
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    if (WaitFor(fd, POLLOUT, deadline, keepWaiting) == 0) {
      throw ESocketTimeout("send timed out");
    }
    const ssize_t n = ::send(fd, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      throw ESocketError("send failed: " + SystemText(errno));
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

std::size_t TSocket::Receive(void* buffer, std::size_t capacity, int timeoutMs,
                             const TKeepWaiting& keepWaiting) {
  if (!handle_) throw ESocketError("receive on a closed socket");
  const int fd = static_cast<int>(handle_.Get());
  const Clock::time_point deadline = After(timeoutMs);
  for (;;) {
    if (WaitFor(fd, POLLIN, deadline, keepWaiting) == 0) {
      throw ESocketTimeout("receive timed out");
    }
    const ssize_t n = ::recv(fd, buffer, capacity, MSG_DONTWAIT);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    throw ESocketError("receive failed: " + SystemText(errno));
  }
}

void TSocket::Close() { handle_.Reset(); }

void TSocket::Abort() {
  if (!handle_) return;
  linger hard{1, 0};
  ::setsockopt(static_cast<int>(handle_.Get()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  Close();
}

TListener TListener::Listen(const std::string& address, std::uint16_t port) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
    throw ESocketError("not an IPv4 address: " + address);
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ESocketError("socket: " + SystemText(errno));
  TListener listener;
  listener.handle_.Reset(fd);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(fd, 16) != 0) {
    throw ESocketError("cannot listen on " + address + ":" + DecimalText(port) + ": " +
                       SystemText(errno));
  }
  return listener;
}

std::uint16_t TListener::Port() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(static_cast<int>(handle_.Get()), reinterpret_cast<sockaddr*>(&local),
                    &length) != 0) {
    return 0;
  }
  return ntohs(local.sin_port);
}

TSocket TListener::Accept(int timeoutMs) {
  if (!handle_) throw ESocketError("accept on a closed listener");
  const int fd = static_cast<int>(handle_.Get());
  if (WaitFor(fd, POLLIN, After(timeoutMs)) == 0) return TSocket();
  const int accepted = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (accepted < 0) {
    if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED) return TSocket();
    throw ESocketError("accept failed: " + SystemText(errno));
  }
  int one = 1;
  ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return TSocket(accepted);
}

void TListener::Close() { handle_.Reset(); }

}  // namespace qor
