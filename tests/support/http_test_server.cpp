#include "http_test_server.h"

#include <chrono>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "base/socket_platform.h"

namespace qor::testing {

namespace sp = socket_platform;

TListener TListener::Listen(const std::string& address, std::uint16_t port) {
  int error = 0;
  TListener listener;
  listener.handle_.Reset(sp::Listen(address.c_str(), port, error));
  if (!listener.IsOpen()) {
    const char* text = sp::ErrorText(error);
    throw ESocketError("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                       (text ? text : "error " + std::to_string(error)));
  }
  return listener;
}

std::uint16_t TListener::Port() const { return sp::LocalPort(handle_.Get()); }

TSocket TListener::Accept(int timeoutMs) {
  sp::TWaitFor wait{handle_.Get(), false, false};
  int error = 0;
  if (sp::WaitReady(&wait, 1, timeoutMs, error) <= 0) return TSocket();
  // A connection given up before it was taken leaves nothing to take: that is no failure.
  return TSocket(sp::Accept(handle_.Get(), error));
}

void Abort(TSocket& socket) {
  if (socket.IsOpen()) sp::ResetOnClose(socket.Handle());
  socket.Close();
}

namespace {

// Each wait of the server is short so that Stop is noticed at once.
constexpr int kPollMs = 50;
constexpr std::size_t kMaxRequestBytes = 1 << 20;

std::string Response(const std::string& statusLine, const std::string& headers,
                     const std::string& body) {
  return "HTTP/1.1 " + statusLine + "\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string StatusText(int code) {
  static const std::map<int, const char*> kReasons{
      {200, "OK"},           {204, "No Content"}, {301, "Moved Permanently"},    {302, "Found"},
      {304, "Not Modified"}, {404, "Not Found"},  {500, "Internal Server Error"}};
  const auto found = kReasons.find(code);
  return std::to_string(code) + " " + (found != kReasons.end() ? found->second : "Status");
}

TServerStep Send(std::string bytes) { return {TServerStep::Kind::kSend, std::move(bytes), 0}; }
TServerStep Close() { return {TServerStep::Kind::kClose, "", 0}; }

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
    }
  }
  return out;
}

}  // namespace

TServerBehaviour TServerBehaviour::Raw(std::string bytes) {
  return {true, {Send(std::move(bytes))}};
}

TServerBehaviour TServerBehaviour::Ok(const std::string& body, const std::string& extraHeaders) {
  return Raw(Response("200 OK", extraHeaders, body));
}

TServerBehaviour TServerBehaviour::Status(int code, const std::string& extraHeaders) {
  const std::string text = StatusText(code);
  // 204 and 304 carry no body by definition.
  if (code == 204 || code == 304) return Raw("HTTP/1.1 " + text + "\r\n" + extraHeaders + "\r\n");
  return Raw(Response(text, extraHeaders, "<html>" + text + "</html>"));
}

TServerBehaviour TServerBehaviour::Redirect(int code, const std::string& location) {
  return Status(code, "Location: " + location + "\r\n");
}

TServerBehaviour TServerBehaviour::OkWithLocation(const std::string& body,
                                                  const std::string& location) {
  return Ok(body, "Location: " + location + "\r\n");
}

TServerBehaviour TServerBehaviour::ContinueThenOk(const std::string& body) {
  return Raw("HTTP/1.1 100 Continue\r\n\r\n" + Response("200 OK", "", body));
}

TServerBehaviour TServerBehaviour::Chunked(const std::vector<std::string>& chunks,
                                           const std::string& extension) {
  std::string bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const std::string& chunk : chunks) {
    std::ostringstream size;
    size << std::hex << chunk.size();
    bytes += size.str() + extension + "\r\n" + chunk + "\r\n";
  }
  bytes += "0\r\n\r\n";
  return Raw(bytes);
}

TServerBehaviour TServerBehaviour::ShortBody(std::size_t declared, const std::string& body) {
  return {
      true,
      {Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(declared) + "\r\n\r\n" + body),
       Close()}};
}

TServerBehaviour TServerBehaviour::UntilClose(const std::string& body) {
  return {true, {Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body), Close()}};
}

TServerBehaviour TServerBehaviour::OversizedHeaderLine(std::size_t lineBytes) {
  const std::string name = "X-Filler: ";
  const std::string line =
      name + std::string(lineBytes > name.size() ? lineBytes - name.size() : 0, 'a');
  return Raw(Response("200 OK", line + "\r\n", "ok"));
}

TServerBehaviour TServerBehaviour::OversizedBody(std::size_t bodyBytes) {
  return UntilClose(std::string(bodyBytes, 'x'));
}

TServerBehaviour TServerBehaviour::SetCookie(const std::string& cookie, const std::string& body) {
  return Ok(body, "Set-Cookie: " + cookie + "\r\n");
}

TServerBehaviour TServerBehaviour::AcceptAndClose() { return {false, {Close()}}; }

TServerBehaviour TServerBehaviour::ResetMidBody() {
  return {true,
          {Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"),
           {TServerStep::Kind::kPause, "", 300},
           {TServerStep::Kind::kReset, "", 0}}};
}

TServerBehaviour TServerBehaviour::Stall(int ms) {
  return {true, {{TServerStep::Kind::kPause, "", ms}, Close()}};
}

TServerBehaviour TServerBehaviour::Late(int ms, const std::string& body) {
  return {true, {{TServerStep::Kind::kPause, "", ms}, Send(Response("200 OK", "", body))}};
}

TServerBehaviour TServerBehaviour::Trickle(const std::string& body, int intervalMs) {
  return {true, {{TServerStep::Kind::kTrickle, Response("200 OK", "", body), intervalMs}}};
}

TServerBehaviour TServerBehaviour::Parse(const std::string& line) {
  const std::size_t space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
  const std::size_t split = rest.find(' ');
  const std::string first = rest.substr(0, split);
  const std::string second = split == std::string::npos ? "" : rest.substr(split + 1);
  try {
    if (verb == "ok") return Ok(Unescape(rest));
    if (verb == "raw") return Raw(Unescape(rest));
    if (verb == "status") return Status(std::stoi(first));
    if (verb == "redirect") return Redirect(std::stoi(first), second);
    if (verb == "location") return OkWithLocation(Unescape(second), first);
    if (verb == "continue") return ContinueThenOk(Unescape(rest));
    if (verb == "chunked") {
      // The body in chunks of up to three bytes, each with the extension.
      const std::string body = Unescape(second);
      std::vector<std::string> chunks;
      for (std::size_t i = 0; i < body.size(); i += 3) chunks.push_back(body.substr(i, 3));
      return Chunked(chunks, first == "-" ? "" : first);
    }
    if (verb == "short") return ShortBody(std::stoul(first), Unescape(second));
    if (verb == "until-close") return UntilClose(Unescape(rest));
    if (verb == "big-header") return OversizedHeaderLine(std::stoul(first));
    if (verb == "big-body") return OversizedBody(std::stoul(first));
    if (verb == "cookie") return SetCookie(first, Unescape(second));
    if (verb == "close") return AcceptAndClose();
    if (verb == "reset") return ResetMidBody();
    if (verb == "stall") return Stall(std::stoi(first));
    if (verb == "late") return Late(std::stoi(first), Unescape(second));
    if (verb == "trickle") return Trickle(Unescape(second), std::stoi(first));
  } catch (const std::logic_error&) {
    // stoi and friends; reported below as a bad line.
  }
  throw std::invalid_argument("bad script line: " + line);
}

THttpTestServer::THttpTestServer(std::uint16_t port)
    : listener_(TListener::Listen("127.0.0.1", port)),
      port_(listener_.Port()),
      default_(TServerBehaviour::Raw(
          Response("500 Internal Server Error", "", "no behaviour scripted for this request"))) {
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

THttpTestServer::~THttpTestServer() { Stop(); }

std::string THttpTestServer::BaseUrl(const std::string& host) const {
  return "http://" + host + ":" + std::to_string(port_) + "/";
}

void THttpTestServer::Enqueue(TServerBehaviour behaviour) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(behaviour));
}

void THttpTestServer::SetDefault(TServerBehaviour behaviour) {
  std::lock_guard<std::mutex> lock(mutex_);
  default_ = std::move(behaviour);
}

std::vector<std::string> THttpTestServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void THttpTestServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_.exchange(true)) return;
  }
  wake_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  listener_.Close();
}

std::uint16_t THttpTestServer::UnusedPort() {
  // Bind a free port and let it go: nothing listens there afterwards.
  TListener probe = TListener::Listen("127.0.0.1", 0);
  const std::uint16_t port = probe.Port();
  probe.Close();
  return port;
}

void THttpTestServer::AcceptLoop() {
  while (!stopping_) {
    TSocket socket;
    try {
      socket = listener_.Accept(kPollMs);
    } catch (const ESocketError&) {
      continue;
    }
    if (!socket.IsOpen()) continue;
    ++connections_;
    workers_.emplace_back([this, s = std::move(socket)]() mutable { Serve(std::move(s)); });
  }
}

TServerBehaviour THttpTestServer::Next() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) return default_;
  TServerBehaviour next = std::move(queue_.front());
  queue_.pop_front();
  return next;
}

void THttpTestServer::Serve(TSocket socket) {
  struct Closed {
    std::atomic<int>& count;
    ~Closed() { ++count; }
  } closed{closed_};
  try {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!queue_.empty() && !queue_.front().readRequest) {
        const TServerBehaviour behaviour = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        Perform(socket, behaviour);
        return;
      }
    }
    std::string pending;
    while (ReadRequest(socket, pending)) {
      if (!Perform(socket, Next())) return;
    }
  } catch (const ESocketError&) {
    // The client went away; that ends this connection only.
  }
}

bool THttpTestServer::ReadRequest(TSocket& socket, std::string& pending) {
  for (;;) {
    const std::size_t end = pending.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(pending.substr(0, end + 4));
      pending.erase(0, end + 4);
      return true;
    }
    if (stopping_ || pending.size() > kMaxRequestBytes) return false;
    std::vector<char> buffer(4096);
    try {
      const std::size_t n = socket.Receive(buffer.data(), buffer.size(), kPollMs);
      if (n == 0) return false;
      pending.append(buffer.data(), n);
    } catch (const ESocketTimeout&) {
      // Poll again, so that Stop is noticed.
    }
  }
}

bool THttpTestServer::Pause(int ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

bool THttpTestServer::Perform(TSocket& socket, const TServerBehaviour& behaviour) {
  constexpr int kSendLimitMs = 5000;
  for (const TServerStep& step : behaviour.steps) {
    switch (step.kind) {
      case TServerStep::Kind::kSend:
        socket.SendAll(step.bytes.data(), step.bytes.size(), kSendLimitMs);
        break;
      case TServerStep::Kind::kTrickle:
        for (char c : step.bytes) {
          socket.SendAll(&c, 1, kSendLimitMs);
          if (!Pause(step.ms)) return false;
        }
        break;
      case TServerStep::Kind::kPause:
        if (!Pause(step.ms)) return false;
        break;
      case TServerStep::Kind::kClose:
        socket.Close();
        return false;
      case TServerStep::Kind::kReset:
        Abort(socket);
        return false;
    }
  }
  return !stopping_;
}

TUnansweringAddress::TUnansweringAddress(const std::string& address, std::uint16_t port)
    : listener_(TListener::Listen(address, port)) {
  // Connections are queued until the backlog is full; the first that is not marks it full.
  for (int i = 0; i < 64; ++i) {
    try {
      filling_.push_back(TSocket::Connect(address, listener_.Port(), 200));
    } catch (const ESocketError&) {
      break;
    }
  }
}

}  // namespace qor::testing
