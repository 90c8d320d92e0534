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

namespace {

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

void Release(TLookupJob* job) {
  if (__atomic_sub_fetch(&job->references, 1, __ATOMIC_ACQ_REL) != 0) return;
  if (job->ended) CloseSignal(job->ended);
  delete job;
}

}  // namespace

void RunLookup(TLookupJob* job) noexcept {
  try {
    try {
      job->endpoints = Interleaved(Resolve(job->host, job->port, false));
    } catch (const std::exception& e) {
      job->error = e.what();
    }
  } catch (...) {
    // No memory for the reason: no addresses says enough.
  }
  if (job->ended) RaiseSignal(job->ended);
  Release(job);
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
    : job_(new socket_platform::TLookupJob) {
  job_->host = host;
  job_->port = port;
  job_->started = Clock::now();
  job_->endpoints = socket_platform::Resolve(host, port, true);
  if (job_->endpoints.empty()) {
    // A name: the resolver may take its time.
    job_->references = 2;
    job_->ended = socket_platform::NewSignal();
    if (!job_->ended || !socket_platform::StartLookupThread(job_)) socket_platform::RunLookup(job_);
  }
}

TNameLookup::TNameLookup(TNameLookup&& other) noexcept : job_(other.job_) { other.job_ = nullptr; }

TNameLookup& TNameLookup::operator=(TNameLookup&& other) noexcept {
  std::swap(job_, other.job_);
  return *this;
}

TNameLookup::~TNameLookup() {
  if (job_) socket_platform::Release(job_);
}

const std::string& TNameLookup::Host() const { return job_->host; }

std::uint16_t TNameLookup::Port() const { return job_->port; }

TSocket TSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs,
                         const TKeepWaiting& keepWaiting) {
  return Connect(TNameLookup(host, port), timeoutMs, keepWaiting);
}

TSocket TSocket::Connect(const TNameLookup& lookup, int timeoutMs,
                         const TKeepWaiting& keepWaiting) {
  const Clock::time_point deadline = After(timeoutMs);
  const socket_platform::TLookupJob* job = lookup.job_;
  // The look-up holds a share of its job until it is destroyed; the analyzer does not count the
  // shares through the atomic built-ins.
  // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDelete)
  const std::string target = job->host + ":" + DecimalText(job->port);
  // The look-up started no later than now, so its own limit ends first.
  if (!socket_platform::WaitInSlices(
          job->started + std::chrono::milliseconds(timeoutMs), keepWaiting,
          [job](int ms) { return socket_platform::WaitForSignal(job->ended, ms); })) {
    throw ESocketTimeout("name look-up timed out");
  }
  if (job->endpoints.empty()) throw ESocketError(job->error);
  return Race(job->endpoints, target, deadline, keepWaiting);
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

void SocketTraits::Free(std::intptr_t handle) { socket_platform::CloseHandle(handle); }

bool TSocket::IsOpen() const { return static_cast<bool>(handle_); }

bool TListener::IsOpen() const { return static_cast<bool>(handle_); }

}  // namespace qor
