// What socket.cpp needs from a platform file (socket_posix.cpp, socket_win32.cpp) to connect, and
// the sliced waiting that both platform files use. Private to src/base.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/socket.h"

namespace qor::socket_platform {

using Clock = std::chrono::steady_clock;

// One address to connect to, as the system's resolver gave it (sockaddr bytes kept opaque here).
struct TEndpoint {
  int family = 0;
  int socktype = 0;
  int protocol = 0;
  std::string address;  // the sockaddr, byte for byte
};

// Resolves host (numericOnly: a numeric address only, no name look-up) for a TCP connection to
// port, in the resolver's order. Raises ESocketError when there is no address, except that
// numericOnly gives none for a host that is not a numeric address.
std::vector<TEndpoint> Resolve(const std::string& host, std::uint16_t port, bool numericOnly);

// A name look-up (see TNameLookup), shared by the thread that runs it and the caller that waits for
// it: each holds a reference, and the last to let go frees it, so a look-up given up by its caller
// never writes into freed memory.
struct TLookupJob {
  std::string host;
  std::uint16_t port = 0;
  Clock::time_point started;
  long references = 1;
  std::intptr_t ended = 0;  // the signal raised once the addresses or the error are in; 0: none
  std::vector<TEndpoint> endpoints;  // in the order to try them
  std::string error;
};

// A signal raised once, from any thread: an event on Windows, an eventfd on Linux. 0 when none
// can be made.
std::intptr_t NewSignal();
void RaiseSignal(std::intptr_t signal);
// Waits at most timeoutMs for the signal; true once it is raised, or at once for signal 0.
bool WaitForSignal(std::intptr_t signal, int timeoutMs);
void CloseSignal(std::intptr_t signal);

// The body of a look-up's thread (socket.cpp): resolves job's host, raises its signal, lets go of
// its reference. Never raises.
void RunLookup(TLookupJob* job) noexcept;

// Runs RunLookup(job) on a new thread of its own; false when none could be started. (On Windows a
// plain Win32 thread: setup programs link no thread library.)
bool StartLookupThread(TLookupJob* job);

// Starts a non-blocking connect to endpoint. Returns the handle of the attempt, or -1 with the
// reason when it failed at once. The caller owns the handle (CloseHandle).
std::intptr_t StartConnect(const TEndpoint& endpoint, std::string& reason);

// Waits at most timeoutMs for one of the attempts in pending to finish (connected or failed);
// returns its index, or -1 when none finished in time. pending is not empty.
int WaitForAnyAttempt(const std::vector<std::intptr_t>& pending, int timeoutMs);

// For an attempt that WaitForAnyAttempt reported: true when it connected (the handle is then set
// up for TSocket), false with the reason when it failed.
bool FinishConnect(std::intptr_t handle, std::string& reason);

void CloseHandle(std::intptr_t handle);

// Milliseconds until deadline, 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline);

// Waits until waitOnce reports ready or deadline passes. waitOnce(ms) waits at most ms and
// returns whether the thing waited for happened. Without keepWaiting it is called once with all
// the time left; with it, in slices of at most kWaitSliceMs, calling keepWaiting before each
// slice. Returns false on time-out; raises ESocketCancelled when keepWaiting returned false.
bool WaitInSlices(Clock::time_point deadline, const TKeepWaiting& keepWaiting,
                  const std::function<bool(int)>& waitOnce);

}  // namespace qor::socket_platform
