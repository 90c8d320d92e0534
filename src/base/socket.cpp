// TSocket and TPendingConnection, once for every platform: the waits, their slices and deadlines,
// the race of connection attempts over a host's addresses, and the errors raised. The system calls
// are in the platform layer (socket_platform.h).
#include "base/socket.h"

#include <algorithm>

#include "base/socket_platform.h"
#include "base/text.h"

namespace qor {

namespace sp = socket_platform;
using Clock = std::chrono::steady_clock;

namespace {

Clock::time_point After(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Milliseconds until deadline, rounded up (a wait must not end short of it and spin), 0 once it
// has passed.
int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, 0x7fffffff)) : 0;
}

std::string SystemText(int error) {
  const char* text = sp::ErrorText(error);
  return text ? std::string(text) : "error " + DecimalText(error);
}

// Waits until socket is ready (readable, or writable if write) or deadline passes; false on
// time-out. With keepWaiting, in slices of at most kWaitSliceMs, calling it before each one, also
// before the first: a peer that trickles keeps every slice short, and the caller must still be
// called while the bytes come in.
bool WaitFor(sp::Handle socket, bool write, Clock::time_point deadline,
             const TKeepWaiting& keepWaiting) {
  for (;;) {
    if (keepWaiting && !keepWaiting()) throw ESocketCancelled("wait given up");
    const int left = MillisecondsLeft(deadline);
    sp::TWaitFor item{socket, write, false};
    int error = 0;
    const int ready =
        sp::WaitReady(&item, 1, keepWaiting ? std::min(left, kWaitSliceMs) : left, error);
    if (ready < 0) throw ESocketError("wait failed: " + SystemText(error));
    if (ready > 0) return true;
    if (MillisecondsLeft(deadline) == 0) return false;
  }
}

}  // namespace

void SocketTraits::Free(std::intptr_t handle) { sp::Close(handle); }

TSocket TSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs,
                         const TKeepWaiting& keepWaiting) {
  return TPendingConnection(host, port, timeoutMs).Await(timeoutMs, timeoutMs, keepWaiting);
}

void TSocket::SendAll(const void* data, std::size_t count, int timeoutMs,
                      const TKeepWaiting& keepWaiting) {
  if (!handle_) throw ESocketError("send on a closed socket");
  const Clock::time_point deadline = After(timeoutMs);
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    if (!WaitFor(handle_.Get(), true, deadline, keepWaiting))
      throw ESocketTimeout("send timed out");
    int error = 0;
    const long sent = sp::Send(handle_.Get(), bytes, count, error);
    if (sent < 0 && !sp::WouldBlock(error)) throw ESocketError("send failed: " + SystemText(error));
    if (sent > 0) {
      bytes += sent;
      count -= static_cast<std::size_t>(sent);
    }
  }
}

std::size_t TSocket::Receive(void* buffer, std::size_t capacity, int timeoutMs,
                             const TKeepWaiting& keepWaiting) {
  if (!handle_) throw ESocketError("receive on a closed socket");
  const Clock::time_point deadline = After(timeoutMs);
  for (;;) {
    if (!WaitFor(handle_.Get(), false, deadline, keepWaiting)) {
      throw ESocketTimeout("receive timed out");
    }
    int error = 0;
    const long received = sp::Receive(handle_.Get(), static_cast<char*>(buffer), capacity, error);
    if (received >= 0) return static_cast<std::size_t>(received);
    if (!sp::WouldBlock(error)) throw ESocketError("receive failed: " + SystemText(error));
  }
}

bool TSocket::Readable() const {
  sp::TWaitFor item{handle_.Get(), false, false};
  int error = 0;
  return handle_ && sp::WaitReady(&item, 1, 0, error) != 0;
}

// ---- TPendingConnection

void TPendingConnection::LookupRelease::operator()(sp::TLookup* lookup) const {
  sp::ReleaseLookup(lookup);
}

TPendingConnection::TPendingConnection(const std::string& host, std::uint16_t port,
                                       int connectTimeoutMs)
    : host_(host),
      port_(port),
      connectTimeoutMs_(connectTimeoutMs),
      lookup_(sp::StartLookup(host.c_str(), port)) {
  if (!lookup_) Fail("no memory to look up " + host, false);
  Advance();  // a numeric address starts connecting at once
}

TPendingConnection::TPendingConnection(TPendingConnection&& other) noexcept = default;
TPendingConnection& TPendingConnection::operator=(TPendingConnection&& other) noexcept = default;
TPendingConnection::~TPendingConnection() = default;

void TPendingConnection::Fail(std::string reason, bool timedOut) {
  reason_ = std::move(reason);
  timedOut_ = timedOut;
  attempts_.clear();
}

std::string TPendingConnection::Target() const { return host_ + ":" + DecimalText(port_); }

void TPendingConnection::Advance() {
  if (connected_ || !reason_.empty()) return;
  if (!lookedUp_) {
    if (!sp::LookupEnded(lookup_.get(), 0)) return;
    lookedUp_ = true;
    const char* text = nullptr;
    if (sp::LookupError(lookup_.get(), &text) != 0) {
      return Fail("cannot resolve host \"" + host_ + "\": " + text, false);
    }
    // The address families take turns, the resolver's first choice first (RFC 8305, 4), so that
    // a family without a working route holds up at most every other attempt.
    std::vector<sp::TAddress> found;
    sp::TAddress address;
    while (sp::LookupAddress(lookup_.get(), found.size(), address)) found.push_back(address);
    const int first = found.empty() ? 0 : found.front().family;
    std::size_t preferred = 0, other = 0;
    auto takeNext = [&](std::size_t& at, bool firstFamily) {
      while (at < found.size() && (found[at].family == first) != firstFamily) ++at;
      if (at < found.size()) addresses_.push_back(found[at++]);
    };
    while (addresses_.size() < found.size()) {
      takeNext(preferred, true);
      takeNext(other, false);
    }
    nextStart_ = Clock::now();
    connectDeadline_ = After(connectTimeoutMs_);
  }
  if (!attempts_.empty()) {
    sp::TWaitFor waits[sp::kMaxWaitSockets];
    for (std::size_t i = 0; i < attempts_.size(); ++i) {
      waits[i] = sp::TWaitFor{attempts_[i].Get(), true, false};
    }
    int error = 0;
    if (sp::WaitReady(waits, attempts_.size(), 0, error) < 0) {
      return Fail("cannot wait for " + Target() + ": " + SystemText(error), false);
    }
    for (std::size_t i = attempts_.size(); i-- > 0;) {
      if (!waits[i].ready) continue;
      const int refusal = sp::ConnectError(attempts_[i].Get());
      if (refusal == 0) {
        connected_ = std::move(attempts_[i]);
        attempts_.clear();
        return;
      }
      lastRefusal_ = SystemText(refusal);
      attempts_.erase(attempts_.begin() + static_cast<std::ptrdiff_t>(i));
      nextStart_ = Clock::now();  // a refusal need not wait for the delay
    }
  }
  const Clock::time_point now = Clock::now();
  if (now >= connectDeadline_) return Fail("connect to " + Target() + " timed out", true);
  while (next_ < addresses_.size() && attempts_.size() < sp::kMaxWaitSockets &&
         (attempts_.empty() || now >= nextStart_)) {
    int error = 0;
    const sp::Handle attempt = sp::StartConnect(addresses_[next_++], error);
    if (attempt == sp::kNoSocket) {
      lastRefusal_ = SystemText(error);
      continue;
    }
    attempts_.emplace_back(attempt);
    nextStart_ = now + std::chrono::milliseconds(kConnectAttemptDelayMs);
  }
  if (attempts_.empty()) {
    Fail("cannot connect to " + Target() + ": " +
             (lastRefusal_.empty() ? "no address" : lastRefusal_),
         false);
  }
}

TSocket TPendingConnection::Await(int lookupLimitMs, int limitMs, const TKeepWaiting& keepWaiting,
                                  std::vector<TPendingConnection>* alongside) {
  const Clock::time_point lookupDeadline = After(lookupLimitMs);
  const Clock::time_point deadline = After(limitMs);
  for (;;) {
    Advance();
    if (alongside) {
      for (TPendingConnection& other : *alongside) other.Advance();
    }
    if (connected_ || !reason_.empty()) break;
    const Clock::time_point until = lookedUp_ ? deadline : std::min(lookupDeadline, deadline);
    if (Clock::now() >= until) {
      Fail(lookedUp_ ? "connect to " + Target() + " timed out"
                     : "looking up " + host_ + " timed out",
           true);
      break;
    }
    if (keepWaiting && !keepWaiting()) throw ESocketCancelled("wait given up");
    int waitMs = MillisecondsLeft(until);
    if (keepWaiting || alongside) waitMs = std::min(waitMs, kWaitSliceMs);
    if (!lookedUp_) {
      sp::LookupEnded(lookup_.get(), waitMs);
      continue;
    }
    // Until one of the attempts ends, the next one is due, or the connect limit runs out.
    sp::TWaitFor waits[sp::kMaxWaitSockets];
    for (std::size_t i = 0; i < attempts_.size(); ++i) {
      waits[i] = sp::TWaitFor{attempts_[i].Get(), true, false};
    }
    const Clock::time_point due = next_ < addresses_.size() ? nextStart_ : connectDeadline_;
    int error = 0;
    sp::WaitReady(waits, attempts_.size(),
                  std::min(waitMs, MillisecondsLeft(std::min(due, connectDeadline_))), error);
  }
  if (!connected_) {
    if (timedOut_) throw ESocketTimeout(reason_);
    throw ESocketError(reason_);
  }
  return TSocket(connected_.Release());
}

void TPendingConnection::Reopen() {
  attempts_.clear();
  connected_.Reset();
  reason_.clear();
  timedOut_ = false;
  lastRefusal_.clear();
  next_ = 0;
  nextStart_ = Clock::now();
  connectDeadline_ = After(connectTimeoutMs_);
}

}  // namespace qor
