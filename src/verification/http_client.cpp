#include "verification/http_client.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>

#include "base/text.h"

namespace qor {

namespace {

using Clock = std::chrono::steady_clock;

// Cookies are kept for the run only; these bounds keep a hostile server from growing them.
constexpr std::size_t kMaxCookiesPerHost = 50;
constexpr std::size_t kMaxCookieBytes = 4096;
constexpr std::size_t kMaxShownBytes = 200;

std::string Shown(const std::string& text) {
  return text.size() > kMaxShownBytes ? text.substr(0, kMaxShownBytes) + "..." : text;
}

bool HasUnsafeByte(const std::string& text) {
  for (unsigned char c : text) {
    if (c <= 32 || c == 127) return true;
  }
  return false;
}

// Control bytes in a cookie would be sent back inside the request's header block.
bool HasControlByte(const std::string& text) {
  for (unsigned char c : text) {
    if ((c < 32 && c != '\t') || c == 127) return true;
  }
  return false;
}

// Feeds the response reader from the connection, all of it within one deadline, so that a
// server that trickles cannot stretch the response beyond the read time-limit.
class SocketSource : public THttpByteSource {
 public:
  SocketSource(TSocket& socket, int timeoutMs, const TKeepWaiting& keepWaiting)
      : socket_(socket),
        timeoutMs_(timeoutMs),
        keepWaiting_(keepWaiting),
        deadline_(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}

  std::size_t Receive(char* buffer, std::size_t capacity) override {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    try {
      if (left <= 0) throw ESocketTimeout("");
      return socket_.Receive(buffer, capacity, static_cast<int>(left), keepWaiting_);
    } catch (const ESocketTimeout&) {
      throw ESocketTimeout("no complete response within " + DecimalText(timeoutMs_) + " ms");
    }
  }

 private:
  TSocket& socket_;
  int timeoutMs_;
  const TKeepWaiting& keepWaiting_;
  Clock::time_point deadline_;
};

bool ContainsToken(const std::string* value, const char* token) {
  return value != nullptr && AsciiLowerCase(*value).find(token) != std::string::npos;
}

// The name as the resolver takes it: an IPv6 literal without its brackets.
std::string Resolvable(const std::string& host) {
  return host.size() > 2 && host.front() == '[' ? host.substr(1, host.size() - 2) : host;
}

// The cookie jar of a host in a list of (host, jar) pairs, or null.
template <typename Jars>
auto FindJar(Jars& jars, const std::string& host) -> decltype(&jars.front().second) {
  for (auto& entry : jars) {
    if (entry.first == host) return &entry.second;
  }
  return nullptr;
}

}  // namespace

THttpUrl THttpUrl::Parse(const std::string& url) {
  const std::string scheme = "http://";
  if (AsciiLowerCase(url.substr(0, scheme.size())) != scheme) {
    throw EHttpError("not an http:// URL: " + Shown(url));
  }
  THttpUrl parsed;
  const std::size_t slash = url.find('/', scheme.size());
  const std::string authority = url.substr(scheme.size(), slash - scheme.size());
  parsed.path = slash == std::string::npos ? "/" : url.substr(slash);
  const bool bracketed = !authority.empty() && authority[0] == '[';
  std::size_t hostEnd =
      bracketed ? authority.find(']') : std::min(authority.find(':'), authority.size());
  if (bracketed) {
    if (hostEnd == std::string::npos) throw EHttpError("malformed URL: " + Shown(url));
    ++hostEnd;
  }
  parsed.host = authority.substr(0, hostEnd);
  const std::string rest = authority.substr(hostEnd);
  if (!rest.empty()) {
    unsigned long port = 0;
    if (rest[0] != ':' || rest.size() < 2 || rest.size() > 6) {
      throw EHttpError("malformed URL: " + Shown(url));
    }
    for (std::size_t i = 1; i < rest.size(); ++i) {
      if (rest[i] < '0' || rest[i] > '9') throw EHttpError("malformed URL: " + Shown(url));
      port = port * 10 + static_cast<unsigned long>(rest[i] - '0');
    }
    if (port == 0 || port > 65535) throw EHttpError("malformed URL: " + Shown(url));
    parsed.port = static_cast<std::uint16_t>(port);
  }
  // The path goes out unchanged, so anything that could end the request line early is refused.
  if (parsed.host.empty() || parsed.host.find('@') != std::string::npos ||
      HasUnsafeByte(parsed.host) || HasUnsafeByte(parsed.path)) {
    throw EHttpError("malformed URL: " + Shown(url));
  }
  return parsed;
}

THttpClient::THttpClient() : THttpClient(THttpLimits::Defaults()) {}

THttpClient::THttpClient(const THttpLimits& limits) : limits_(limits) {}

std::string THttpClient::BuildRequest(const THttpUrl& url) const {
  std::string request = "GET " + url.path + " HTTP/1.1\r\n";
  request += "Content-Type: text/html\r\n";
  request += "Host: " + url.host;
  if (url.port != 80) request += ":" + DecimalText(url.port);
  request += "\r\n";
  request += "Accept: text/html, */*\r\n";
  request += "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n";
  const CookieJar* stored = FindJar(cookies_, AsciiLowerCase(url.host));
  if (stored && !stored->empty()) {
    request += "Cookie: ";
    for (std::size_t i = 0; i < stored->size(); ++i) {
      if (i > 0) request += "; ";
      request += (*stored)[i].first + "=" + (*stored)[i].second;
    }
    request += "\r\n";
  }
  request += "\r\n";
  return request;
}

void THttpClient::CloseKept() {
  connection_.Close();
  connectedHost_.clear();
  connectedPort_ = 0;
}

void THttpClient::Disconnect() {
  CloseKept();
  ahead_.clear();
}

void THttpClient::StoreCookies(const std::string& host, const THttpResponseHead& head) {
  for (const auto& header : head.headers) {
    if (AsciiLowerCase(header.first) != "set-cookie") continue;
    const std::string& value = header.second;
    const std::size_t end = value.find(';');
    const std::string pair = value.substr(0, end);
    const std::size_t equals = pair.find('=');
    if (equals == std::string::npos || pair.size() > kMaxCookieBytes) continue;
    std::string name = TrimSpaces(pair.substr(0, equals));
    std::string content = TrimSpaces(pair.substr(equals + 1));
    if (name.empty() || HasUnsafeByte(name) || HasControlByte(content)) {
      continue;
    }
    // Max-Age of zero or less removes the cookie, as servers use it to log out.
    bool expired = false;
    const std::string attributes =
        AsciiLowerCase(end == std::string::npos ? "" : value.substr(end));
    const std::size_t maxAge = attributes.find("max-age=");
    if (maxAge != std::string::npos) {
      const std::string age =
          TrimBytes(attributes.substr(maxAge + 8, attributes.find(';', maxAge) - maxAge - 8));
      expired = !age.empty() && (age[0] == '-' || age.find_first_not_of('0') == std::string::npos);
    }
    const std::string key = AsciiLowerCase(host);
    CookieJar* found = FindJar(cookies_, key);
    CookieJar& jar = found ? *found : cookies_.emplace_back(key, CookieJar{}).second;
    bool replaced = false;
    for (auto it = jar.begin(); it != jar.end(); ++it) {
      if (it->first != name) continue;
      if (expired) {
        jar.erase(it);
      } else {
        it->second = content;
      }
      replaced = true;
      break;
    }
    if (!replaced && !expired && jar.size() < kMaxCookiesPerHost) {
      jar.emplace_back(std::move(name), std::move(content));
    }
  }
}

std::string THttpClient::Exchange(const THttpUrl& url, const TKeepWaiting& keepWaiting,
                                  bool& staleConnection) {
  staleConnection = false;
  const std::string request = BuildRequest(url);
  SocketSource source(connection_, limits_.readTimeoutMs, keepWaiting);
  THttpResponseReader reader(source, limits_);
  THttpResponseHead head;
  try {
    connection_.SendAll(request.data(), request.size(), limits_.readTimeoutMs, keepWaiting);
    head = reader.ReadHead();
  } catch (const ESocketTimeout&) {
    throw;
  } catch (const ESocketCancelled&) {
    throw;
  } catch (...) {
    // Nothing came back: a kept connection that the server had already closed.
    staleConnection = !reader.ReceivedAny();
    throw;
  }
  lastStatusCode_ = head.statusCode;
  StoreCookies(url.host, head);
  const std::string reason = Shown(head.statusLine);
  if (const std::string* location = head.Find("Location")) {
    throw EHttpError(reason + ", redirected to " + Shown(*location), head.statusCode);
  }
  if (head.statusCode < 200 || head.statusCode > 299) throw EHttpError(reason, head.statusCode);

  const THttpWorkEvents events{OnWorkBegin, OnWork, OnWorkEnd};
  std::uint64_t length = 0;
  const TBodyFraming framing = reader.Framing(head, length);
  std::string body = reader.ReadBody(head, events);

  const std::string* connection = head.Find("Connection");
  const bool keepAlive =
      head.http10 ? ContainsToken(connection, "keep-alive") : !ContainsToken(connection, "close");
  if (!keepAlive || framing == TBodyFraming::kUntilClose || reader.HasSurplus()) CloseKept();
  return body;
}

void THttpClient::ConnectAhead(const std::vector<std::string>& urls) {
  ahead_.clear();
  for (const std::string& url : urls) {
    try {
      const THttpUrl parsed = THttpUrl::Parse(url);
      const std::string host = AsciiLowerCase(parsed.host);
      if (connection_.IsOpen() && host == connectedHost_ && parsed.port == connectedPort_) continue;
      const std::string name = Resolvable(host);
      const bool known = std::any_of(ahead_.begin(), ahead_.end(), [&](const auto& pending) {
        return pending->Host() == name && pending->Port() == parsed.port;
      });
      if (!known) {
        ahead_.push_back(
            std::make_unique<TPendingConnection>(name, parsed.port, limits_.connectTimeoutMs));
      }
    } catch (...) {
      // Get reports the same fault when it reaches this URL.
    }
  }
}

std::string THttpClient::Get(const std::string& url) {
  const THttpUrl parsed = THttpUrl::Parse(url);
  lastStatusCode_ = 0;
  const std::string host = AsciiLowerCase(parsed.host);
  if (connection_.IsOpen() && (host != connectedHost_ || parsed.port != connectedPort_)) {
    CloseKept();
  }
  std::unique_ptr<TPendingConnection> ahead;
  if (!connection_.IsOpen()) {
    const std::string name = Resolvable(host);
    for (auto it = ahead_.begin(); it != ahead_.end(); ++it) {
      if ((*it)->Host() == name && (*it)->Port() == parsed.port) {
        ahead = std::move(*it);
        ahead_.erase(it);
        break;
      }
    }
  }
  // The connections opened ahead for later servers go on opening while this one is asked.
  const TKeepWaiting keepWaiting = ahead_.empty() ? KeepWaiting : [this] {
    for (const auto& pending : ahead_) pending->Advance();
    return !KeepWaiting || KeepWaiting();
  };
  if (ahead) ahead->Advance();
  // A kept connection may have been closed by the server meanwhile: one retry, only when it turns
  // out to be closed before any reply.
  for (bool reused = connection_.IsOpen();; reused = false) {
    if (ahead) {
      // One that connected before its turn and that the server has closed since, with nothing
      // sent, is opened once more.
      const bool waited = ahead->Connected();
      connection_ = ahead->Await(limits_.connectTimeoutMs, std::numeric_limits<int>::max(),
                                 KeepWaiting, &ahead_);
      if (waited && connection_.Readable()) {
        ahead->Reopen();
        connection_ = ahead->Await(0, std::numeric_limits<int>::max(), KeepWaiting, &ahead_);
      }
      ahead.reset();
    } else if (!connection_.IsOpen()) {
      connection_ = TSocket::Connect(Resolvable(parsed.host), parsed.port, limits_.connectTimeoutMs,
                                     KeepWaiting);
    }
    connectedHost_ = host;
    connectedPort_ = parsed.port;
    bool stale = false;
    try {
      std::string body = Exchange(parsed, keepWaiting, stale);
      ahead_.clear();  // a response is the verdict: no other server is asked
      return body;
    } catch (...) {
      CloseKept();
      if (!(reused && stale)) throw;
    }
  }
}

}  // namespace qor
