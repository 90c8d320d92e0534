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
  if (!lookup_) Fail("no memory to look up");
  Advance();  // a numeric address starts connecting at once
}

TPendingConnection::~TPendingConnection() = default;

void TPendingConnection::Fail(const char* what, const std::string& detail, bool timedOut) {
  reason_ = what;
  reason_ += ' ' + host_ + ':' + DecimalText(port_);
  if (!detail.empty()) reason_ += ": " + detail;
  timedOut_ = timedOut;
  attempts_.clear();
}

void TPendingConnection::Advance() {
  if (connected_ || !reason_.empty()) return;
  if (!lookedUp_) {
    if (!sp::LookupEnded(lookup_.get(), 0)) return;
    lookedUp_ = true;
    const char* text = nullptr;
    if (sp::LookupError(lookup_.get(), &text) != 0) return Fail("cannot resolve", text);
    // The address families take turns, the resolver's first choice first (RFC 8305, 4), so that
    // a family without a working route holds up at most every other attempt.
    sp::TAddress address;
    std::size_t count = 0;
    while (sp::LookupAddress(lookup_.get(), count, address)) ++count;
    addresses_ = std::vector<sp::TAddress>(count);
    sp::LookupAddress(lookup_.get(), 0, address);
    const int first = address.family;
    std::size_t taken = 0;
    std::size_t cursor[2] = {0, 0};  // of the first family, of the others
    for (int family = 0; taken < count; family ^= 1) {
      while (sp::LookupAddress(lookup_.get(), cursor[family]++, address)) {
        if ((address.family == first) == (family == 0)) {
          addresses_[taken++] = address;
          break;
        }
      }
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
      return Fail("cannot wait for", SystemText(error));
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
  if (now >= connectDeadline_) return Fail("timed out connecting to", "", true);
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
  if (attempts_.empty())
    Fail("cannot connect to", lastRefusal_.empty() ? "no address" : lastRefusal_);
}

TSocket TPendingConnection::Await(int lookupLimitMs, int limitMs, const TKeepWaiting& keepWaiting,
                                  const List* alongside) {
  const Clock::time_point lookupDeadline = After(lookupLimitMs);
  const Clock::time_point deadline = After(limitMs);
  for (;;) {
    Advance();
    if (alongside) {
      for (const auto& other : *alongside) other->Advance();
    }
    if (connected_ || !reason_.empty()) break;
    const Clock::time_point until = lookedUp_ ? deadline : std::min(lookupDeadline, deadline);
    if (Clock::now() >= until) {
      Fail(lookedUp_ ? "timed out connecting to" : "timed out looking up", "", true);
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
