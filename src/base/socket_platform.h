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
// port, in the resolver's order. Raises ESocketError when there is no address.
std::vector<TEndpoint> Resolve(const std::string& host, std::uint16_t port, bool numericOnly);

// Resolves host for port as Resolve does, for a look-up thread: never raises. Leaves the addresses
// in endpoints, or none and the reason in error.
void ResolveQuietly(const std::string& host, std::uint16_t port, std::vector<TEndpoint>& endpoints,
                    std::string& error) noexcept;

// A name look-up on a thread of its own (see TNameLookup), defined by the platform file. The thread
// and the caller each hold a reference and the last to let go frees it, so a look-up given up by
// its caller never writes into freed memory.
struct TLookupJob;

// Starts resolving host for port on a new thread. Raises ESocketError when no thread can start.
TLookupJob* StartLookup(const std::string& host, std::uint16_t port);

// Waits at most timeoutMs for the look-up to end; true once it has.
bool WaitForLookup(TLookupJob* job, int timeoutMs);

// The addresses of an ended look-up; raises ESocketError with the resolver's reason when none.
std::vector<TEndpoint> LookupResult(TLookupJob* job);

// Lets go of the caller's reference. The thread may go on and frees the job when it ends.
void ReleaseLookup(TLookupJob* job);

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
