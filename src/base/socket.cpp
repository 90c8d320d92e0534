// What TSocket and TListener do alike on every platform: ownership of the handle, sliced waiting
// and the race of connection attempts over a host's addresses. The platform files
// (socket_posix.cpp, socket_win32.cpp) hold the system calls.
#include "base/socket.h"

#include <algorithm>

#include "base/socket_platform.h"
#include "base/text.h"

namespace qor {

namespace socket_platform {

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, 0x7fffffff)) : 0;
}

bool WaitInSlices(Clock::time_point deadline, const TKeepWaiting& keepWaiting,
                  const std::function<bool(int)>& waitOnce) {
  if (!keepWaiting) return waitOnce(MillisecondsLeft(deadline));
  for (;;) {
    // Also before the first slice: a peer that trickles keeps every slice short, and the caller
    // must still be called while the bytes come in.
    if (!keepWaiting()) throw ESocketCancelled("wait given up");
    if (waitOnce(std::min(MillisecondsLeft(deadline), kWaitSliceMs))) return true;
    if (MillisecondsLeft(deadline) == 0) return false;
  }
}

void ResolveQuietly(const std::string& host, std::uint16_t port, std::vector<TEndpoint>& endpoints,
                    std::string& error) noexcept {
  try {
    try {
      endpoints = Resolve(host, port, false);
    } catch (const std::exception& e) {
      error = e.what();
    }
  } catch (...) {
    // Out of memory for the reason itself: no addresses says enough.
  }
}

}  // namespace socket_platform

namespace {

using socket_platform::Clock;
using socket_platform::TEndpoint;

// Windows waits on at most 64 sockets at once; attempts beyond this many wait for one to end.
constexpr std::size_t kMaxPendingAttempts = 32;

// The attempts not yet decided; closed unless one of them is taken.
class PendingAttempts {
 public:
  PendingAttempts() = default;
  PendingAttempts(const PendingAttempts&) = delete;
  PendingAttempts& operator=(const PendingAttempts&) = delete;
  ~PendingAttempts() {
    for (std::intptr_t handle : handles_) socket_platform::CloseHandle(handle);
  }
  std::vector<std::intptr_t>& Handles() { return handles_; }
  std::intptr_t Take(std::size_t index) {
    const std::intptr_t handle = handles_[index];
    handles_.erase(handles_.begin() + static_cast<std::ptrdiff_t>(index));
    return handle;
  }

 private:
  std::vector<std::intptr_t> handles_;
};

// Address families take turns, starting with the resolver's first choice (RFC 8305, 4), so that
// a family without a working route holds up at most every other attempt.
std::vector<TEndpoint> Interleaved(std::vector<TEndpoint> endpoints) {
  if (endpoints.empty()) return endpoints;
  const int first = endpoints.front().family;
  std::vector<TEndpoint> preferred, other, result;
  for (TEndpoint& e : endpoints) (e.family == first ? preferred : other).push_back(std::move(e));
  for (std::size_t i = 0; i < preferred.size() || i < other.size(); ++i) {
    if (i < preferred.size()) result.push_back(std::move(preferred[i]));
    if (i < other.size()) result.push_back(std::move(other[i]));
  }
  return result;
}

TSocket Race(const std::vector<TEndpoint>& endpoints, const std::string& target,
             Clock::time_point deadline, const TKeepWaiting& keepWaiting) {
  PendingAttempts attempts;
  std::vector<std::intptr_t>& pending = attempts.Handles();
  std::string reason = "no address";
  std::size_t next = 0;
  Clock::time_point nextStart = Clock::now();
  for (;;) {
    const bool more = next < endpoints.size() && pending.size() < kMaxPendingAttempts;
    if (more && (pending.empty() || Clock::now() >= nextStart)) {
      const std::intptr_t handle = socket_platform::StartConnect(endpoints[next++], reason);
      if (handle != -1) {
        pending.push_back(handle);
        nextStart = Clock::now() + std::chrono::milliseconds(kConnectAttemptDelayMs);
      }
      continue;
    }
    if (pending.empty()) {
      throw ESocketError("cannot connect to " + target + ": " + reason);
    }
    if (socket_platform::MillisecondsLeft(deadline) == 0) {
      throw ESocketTimeout("connect to " + target + " timed out");
    }
    int finished = -1;
    socket_platform::WaitInSlices(more ? std::min(deadline, nextStart) : deadline, keepWaiting,
                                  [&](int ms) {
                                    finished = socket_platform::WaitForAnyAttempt(pending, ms);
                                    return finished >= 0;
                                  });
    if (finished < 0) continue;
    const std::intptr_t handle = attempts.Take(static_cast<std::size_t>(finished));
    if (socket_platform::FinishConnect(handle, reason)) return TSocket(handle);
    socket_platform::CloseHandle(handle);
    nextStart = Clock::now();  // a refusal need not wait for the delay
  }
}

Clock::time_point After(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

TNameLookup::TNameLookup(const std::string& host, std::uint16_t port)
    : host_(host), port_(port), started_(Clock::now()) {
  try {
    numeric_ = socket_platform::Resolve(host, port, true);
  } catch (const ESocketError&) {
    job_ = socket_platform::StartLookup(host, port);  // a name: the resolver may take its time
  }
}

TNameLookup::TNameLookup(TNameLookup&& other) noexcept
    : host_(std::move(other.host_)),
      port_(other.port_),
      started_(other.started_),
      numeric_(std::move(other.numeric_)),
      job_(other.job_) {
  other.job_ = nullptr;
}

TNameLookup& TNameLookup::operator=(TNameLookup&& other) noexcept {
  if (this != &other) {
    if (job_) socket_platform::ReleaseLookup(job_);
    host_ = std::move(other.host_);
    port_ = other.port_;
    started_ = other.started_;
    numeric_ = std::move(other.numeric_);
    job_ = other.job_;
    other.job_ = nullptr;
  }
  return *this;
}

TNameLookup::~TNameLookup() {
  if (job_) socket_platform::ReleaseLookup(job_);
}

TSocket TSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs,
                         const TKeepWaiting& keepWaiting) {
  return Connect(TNameLookup(host, port), timeoutMs, keepWaiting);
}

TSocket TSocket::Connect(const TNameLookup& lookup, int timeoutMs,
                         const TKeepWaiting& keepWaiting) {
  const Clock::time_point deadline = After(timeoutMs);
  const std::string target = lookup.host_ + ":" + DecimalText(lookup.port_);
  std::vector<TEndpoint> endpoints = lookup.numeric_;
  if (lookup.job_) {
    // started_ is never later than now, so the look-up's own limit ends first.
    if (!socket_platform::WaitInSlices(lookup.started_ + std::chrono::milliseconds(timeoutMs),
                                       keepWaiting, [&](int ms) {
                                         return socket_platform::WaitForLookup(lookup.job_, ms);
                                       })) {
      throw ESocketTimeout("no address for " + target + " in time");
    }
    endpoints = socket_platform::LookupResult(lookup.job_);
  }
  return Race(Interleaved(std::move(endpoints)), target, deadline, keepWaiting);
}

TSocket TSocket::ConnectToAddresses(const std::vector<std::string>& addresses, std::uint16_t port,
                                    int timeoutMs, const TKeepWaiting& keepWaiting) {
  std::vector<TEndpoint> endpoints;
  for (const std::string& address : addresses) {
    for (TEndpoint& e : socket_platform::Resolve(address, port, true)) {
      endpoints.push_back(std::move(e));
    }
  }
  const std::string target = addresses.empty() ? std::string("no address") : addresses.front();
  return Race(endpoints, target + ":" + DecimalText(port), After(timeoutMs), keepWaiting);
}

TSocket::TSocket(TSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TSocket& TSocket::operator=(TSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

TSocket::~TSocket() { Close(); }

bool TSocket::IsOpen() const { return handle_ != -1; }

TListener::TListener(TListener&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TListener& TListener::operator=(TListener&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

TListener::~TListener() { Close(); }

bool TListener::IsOpen() const { return handle_ != -1; }

}  // namespace qor
