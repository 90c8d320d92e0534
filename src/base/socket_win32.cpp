// The socket platform layer over Winsock 2: sockets are non-blocking from the start, waits are
// select(), a look-up's signal is an event and its thread a plain Win32 one (setup programs link
// no thread library). Compiled without exceptions (socket_platform.h).
#include <winsock2.h>
#include <ws2tcpip.h>

#include "base/socket_platform.h"

namespace qor::socket_platform {

namespace {

// Winsock is started once for the process and left running until it ends; a failed start is tried
// again on the next use. The first use is on the thread that runs the windows, before any look-up
// thread exists (src/runtime/README.md: statics).
int StartWinsock() {
  static bool started = false;
  if (started) return 0;
  WSADATA data;
  const int status = ::WSAStartup(MAKEWORD(2, 2), &data);
  started = status == 0;
  return status;
}

SOCKET AsSocket(Handle handle) { return static_cast<SOCKET>(handle); }

// A socket that does not block, sending small writes at once (the request is one small block).
Handle Prepared(SOCKET s, bool noDelay) {
  u_long on = 1;
  ::ioctlsocket(s, FIONBIO, &on);
  BOOL one = TRUE;
  if (noDelay) {
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  }
  return static_cast<Handle>(s);
}

DWORD WINAPI LookupThread(void* lookup) {
  RunLookup(static_cast<TLookup*>(lookup));
  return 0;
}

}  // namespace

int LastError() { return ::WSAGetLastError(); }

bool WouldBlock(int error) {
  return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR;
}

const char* ErrorText(int error) {
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
      return nullptr;
  }
}

Handle StartConnect(const TAddress& address, int& error) {
  error = StartWinsock();
  const SOCKET s =
      error ? INVALID_SOCKET : ::socket(address.family, address.socktype, address.protocol);
  if (s == INVALID_SOCKET) {
    if (!error) error = ::WSAGetLastError();
    return kNoSocket;
  }
  Prepared(s, false);
  if (::connect(s, static_cast<const sockaddr*>(address.bytes), address.length) == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) {
      ::closesocket(s);
      return kNoSocket;
    }
  }
  return static_cast<Handle>(s);
}

int ConnectError(Handle socket) {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(AsSocket(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                   &length) != 0) {
    error = ::WSAGetLastError();
  }
  if (error == 0) Prepared(AsSocket(socket), true);
  return error;
}

void Close(Handle socket) { ::closesocket(AsSocket(socket)); }

long Send(Handle socket, const char* data, std::size_t count, int& error) {
  const int n = ::send(AsSocket(socket), data, count > 65536 ? 65536 : static_cast<int>(count), 0);
  if (n == SOCKET_ERROR) error = ::WSAGetLastError();
  return n;
}

long Receive(Handle socket, char* buffer, std::size_t capacity, int& error) {
  const int n =
      ::recv(AsSocket(socket), buffer, capacity > 65536 ? 65536 : static_cast<int>(capacity), 0);
  if (n == SOCKET_ERROR) error = ::WSAGetLastError();
  return n;
}

int WaitReady(TWaitFor* sockets, std::size_t count, int timeoutMs, int& error) {
  fd_set readable, writable, failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  if (count > kMaxWaitSockets) count = kMaxWaitSockets;
  for (std::size_t i = 0; i < count; ++i) {
    FD_SET(AsSocket(sockets[i].socket), sockets[i].write ? &writable : &readable);
    FD_SET(AsSocket(sockets[i].socket), &failed);
  }
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int n = ::select(0, &readable, &writable, &failed, &limit);
  if (n == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    return -1;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const SOCKET s = AsSocket(sockets[i].socket);
    sockets[i].ready = FD_ISSET(s, &readable) || FD_ISSET(s, &writable) || FD_ISSET(s, &failed);
  }
  return n;
}

int Resolve(const char* host, const char* service, bool numericOnly, void** addresses) {
  *addresses = nullptr;
  if (const int status = StartWinsock()) return status;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host, service, &hints, &found);
  if (status == 0) *addresses = found;
  return status;
}

void FreeAddresses(void* addresses) { ::freeaddrinfo(static_cast<addrinfo*>(addresses)); }

const void* ReadAddress(const void* entry, TAddress& address) {
  const auto* a = static_cast<const addrinfo*>(entry);
  address = TAddress{a->ai_family, a->ai_socktype, a->ai_protocol, a->ai_addr,
                     static_cast<int>(a->ai_addrlen)};
  return a->ai_next;
}

const char* ResolveErrorText(int error) {
  const char* text = ErrorText(error);
  return text ? text : "no address for the name";
}

std::intptr_t NewSignal() {
  return reinterpret_cast<std::intptr_t>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

void RaiseSignal(std::intptr_t signal) { ::SetEvent(reinterpret_cast<HANDLE>(signal)); }

bool WaitForSignal(std::intptr_t signal, int timeoutMs) {
  return ::WaitForSingleObject(reinterpret_cast<HANDLE>(signal), static_cast<DWORD>(timeoutMs)) ==
         WAIT_OBJECT_0;
}

void CloseSignal(std::intptr_t signal) { ::CloseHandle(reinterpret_cast<HANDLE>(signal)); }

bool StartLookupThread(TLookup* lookup) {
  HANDLE thread = ::CreateThread(nullptr, 0, &LookupThread, lookup, 0, nullptr);
  if (!thread) return false;
  ::CloseHandle(thread);
  return true;
}

}  // namespace qor::socket_platform
