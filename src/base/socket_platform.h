// The platform layer under the sockets: the few system calls in which POSIX sockets and Winsock
// differ, one page each (socket_posix.cpp, socket_win32.cpp), and the name look-up that runs on a
// thread of its own (name_lookup.cpp). It is plain C in what it takes and gives, and those three
// files are compiled without exceptions: a look-up's thread runs their code, and nothing may unwind
// there (the unwinder's tables of the 32-bit program are gone once its exit has begun). Failures
// come back as the system's error codes; socket.cpp turns them into exceptions. Besides src/base,
// only tests include it: the test servers listen through it, and tests put a resolver of their
// own in place of the system's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qor::socket_platform {

// A file descriptor or a SOCKET; kNoSocket when none.
using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

// The error of the last failed call on this thread.
int LastError();
// Whether error only means "not yet": would block, in progress, interrupted.
bool WouldBlock(int error);
// The system's words for error (a static text), or null when it has none for it.
const char* ErrorText(int error);

// One address to connect to, as the resolver gave it. The bytes belong to the look-up.
struct TAddress {
  int family = 0;
  int socktype = 0;
  int protocol = 0;
  const void* bytes = nullptr;  // the sockaddr
  int length = 0;
};

// Opens a non-blocking socket for address and starts connecting it. Returns the socket, or
// kNoSocket with error set. The caller closes it.
Handle StartConnect(const TAddress& address, int& error);
// For a started connect that WaitReady reported: 0 once connected (the socket then sends small
// writes at once), else the error it failed with.
int ConnectError(Handle socket);
void Close(Handle socket);

// Moves up to count bytes without waiting; returns how many, or -1 with error set (WouldBlock:
// none could move now). Receive returns 0 when the peer has closed its side.
long Send(Handle socket, const char* data, std::size_t count, int& error);
long Receive(Handle socket, char* buffer, std::size_t capacity, int& error);

// A socket to wait for: readable (or closed, or failed) unless write, then writable (or failed;
// a connect that failed counts as ready).
struct TWaitFor {
  Handle socket = kNoSocket;
  bool write = false;
  bool ready = false;  // set by WaitReady
};
// At most this many sockets per wait (Winsock's select takes 64).
inline constexpr std::size_t kMaxWaitSockets = 32;
// Waits at most timeoutMs (0: not at all) until one of the count sockets is ready, and marks every
// one that is. Returns how many are, 0 when none was in time, or -1 with error set.
int WaitReady(TWaitFor* sockets, std::size_t count, int timeoutMs, int& error);

// ---- Name look-ups (name_lookup.cpp over the functions below)

// The addresses of a host for a TCP connection to a port, looked up on a thread of its own. The
// thread and the caller hold a share each; the last to let go frees it, so a look-up given up by
// its caller leaves its thread nothing freed to write into.
struct TLookup;
// Starts looking host up (a numeric address is taken at once, without a thread; so is every name
// when no thread starts). Returns null when there is no memory for it.
TLookup* StartLookup(const char* host, std::uint16_t port);
// Waits at most timeoutMs for the look-up to end; true once it has.
bool LookupEnded(TLookup* lookup, int timeoutMs);
// Once ended: 0 with the addresses, or the resolver's error and its text (never null).
int LookupError(const TLookup* lookup, const char** text);
// The index-th address of an ended look-up, in the resolver's order; false past the last.
bool LookupAddress(const TLookup* lookup, std::size_t index, TAddress& address);
// Lets go of the caller's share.
void ReleaseLookup(TLookup* lookup);

// Tests only: answers look-ups of names in place of the system's resolver, on the look-up's
// thread: numeric addresses for host, separated by spaces (at most kMaxTestAddresses), or null for
// "no such name". Null: the system's resolver.
using TTestResolver = const char* (*)(const char* host) noexcept;
void SetTestResolver(TTestResolver resolver);
inline constexpr std::size_t kMaxTestAddresses = 4;

// What the look-up asks of the platform. Resolve: the addresses of host for service (a port in
// decimal), only when host is a numeric address if numericOnly, as a list to free with
// FreeAddresses; 0 or the resolver's error.
int Resolve(const char* host, const char* service, bool numericOnly, void** addresses);
void FreeAddresses(void* addresses);
// Reads the address of an entry of such a list; returns the next entry, null after the last.
const void* ReadAddress(const void* entry, TAddress& address);
const char* ResolveErrorText(int error);
// A signal raised once, from any thread; 0 when none can be made.
std::intptr_t NewSignal();
void RaiseSignal(std::intptr_t signal);
// Waits at most timeoutMs for the signal; true once it is raised.
bool WaitForSignal(std::intptr_t signal, int timeoutMs);
void CloseSignal(std::intptr_t signal);
// Runs RunLookup(lookup) on a new thread that nobody waits for; false when none starts.
bool StartLookupThread(TLookup* lookup);
// The body of a look-up's thread (name_lookup.cpp).
void RunLookup(TLookup* lookup);

// ---- Listening, for the test servers (socket_listen_*.cpp, which no setup program links)

// Listens on address (numeric IPv4) and port (0: one the system chooses). Returns the socket, or
// kNoSocket with error set.
Handle Listen(const char* address, std::uint16_t port, int& error);
// Takes a pending connection (non-blocking, small writes sent at once), or kNoSocket with error.
Handle Accept(Handle listener, int& error);
std::uint16_t LocalPort(Handle socket);
// Makes the socket's close a reset instead of an orderly close.
void ResetOnClose(Handle socket);

}  // namespace qor::socket_platform
