// The verification's HTTP client against the fault-injecting test server: the request on the
// wire, cookies, connection reuse, and every fault ending as a failed request within the limits.
#include "verification/http_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/socket_platform.h"
#include "support/http_test_server.h"
#include "support/time_scale.h"

namespace qor {
namespace {

using testing::THttpTestServer;
using testing::TServerBehaviour;
using testing::TServerStep;
using testing::TUnansweringAddress;

const char kPath[] = "velmora/QORPG3.0ins.htm";

THttpLimits SmallLimits() {
  THttpLimits limits = THttpLimits::Defaults();
  limits.connectTimeoutMs = 2000;
  // Short, so that a stall ends soon; widened where the code's own work is slow (emulation).
  limits.readTimeoutMs =
      static_cast<int>(testing::Stretched(std::chrono::milliseconds(600)).count());
  limits.maxBodyBytes = 1024;
  limits.maxHeaderBytes = 32768;
  limits.maxHeaderCount = 20;
  return limits;
}

// A resolver of the test's own in place of the system's while it lives: answers each name of its
// table with its addresses after its delay, and counts the queries. Look-ups run on threads of
// their own and may outlive a test, so every table stays, unchanged, until the program ends.
class TestResolver {
 public:
  struct Name {
    std::string name;
    std::string addresses;  // numeric, separated by spaces
    int delayMs = 0;
  };

  explicit TestResolver(std::initializer_list<Name> names) {
    auto table = std::make_unique<std::deque<Entry>>();
    for (const Name& name : names) table->emplace_back().name = name;
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = table.get();
    tables_.push_back(std::move(table));
    socket_platform::SetTestResolver(&Answer);
  }
  ~TestResolver() {
    socket_platform::SetTestResolver(nullptr);
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = nullptr;
  }
  TestResolver(const TestResolver&) = delete;
  TestResolver& operator=(const TestResolver&) = delete;

  int Queries(const std::string& name) const {
    for (const Entry& entry : *tables_.back()) {
      if (entry.name.name == name) return entry.queries;
    }
    return 0;
  }

 private:
  struct Entry {
    Name name;
    std::atomic<int> queries{0};
  };

  static const char* Answer(const char* host) noexcept {
    Entry* found = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (std::size_t i = 0; current_ && i < current_->size(); ++i) {
        if ((*current_)[i].name.name == host) found = &(*current_)[i];
      }
    }
    if (!found) return nullptr;
    ++found->queries;
    std::this_thread::sleep_for(std::chrono::milliseconds(found->name.delayMs));
    return found->name.addresses.c_str();
  }
  static inline std::mutex mutex_;
  static inline std::deque<Entry>* current_ = nullptr;
  static inline std::vector<std::unique_ptr<std::deque<Entry>>> tables_;
};

// Waits up to five seconds for condition; whether it came.
bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// Counts the work events and checks that they pair up.
struct WorkLog {
  int begins = 0;
  int ends = 0;
  std::int64_t maxCount = 0;
  std::vector<std::int64_t> expected;

  void Attach(THttpClient& client) {
    client.OnWorkBegin = [this](TWorkMode mode, std::int64_t count) {
      EXPECT_EQ(mode, TWorkMode::kRead);
      EXPECT_EQ(begins, ends) << "a body began inside another";
      ++begins;
      expected.push_back(count);
    };
    client.OnWork = [this](TWorkMode, std::int64_t count) {
      EXPECT_EQ(begins, ends + 1) << "progress outside a body";
      maxCount = std::max(maxCount, count);
    };
    client.OnWorkEnd = [this](TWorkMode) { ++ends; };
  }
};

class HttpClientTest : public ::testing::Test {
 protected:
  THttpTestServer server_;
  THttpClient client_{SmallLimits()};
  WorkLog work_;

  void SetUp() override { work_.Attach(client_); }
  std::string Url() const { return server_.BaseUrl() + kPath; }
};

TEST_F(HttpClientTest, SendsTheRequestByteForByte) {
  server_.Enqueue(TServerBehaviour::Ok("x"));
  client_.Get(Url());
  const std::string expected =
      "GET /velmora/QORPG3.0ins.htm HTTP/1.1\r\n"
      "Content-Type: text/html\r\n"
      "Host: 127.0.0.1:" +
      std::to_string(server_.Port()) +
      "\r\n"
      "Accept: text/html, */*\r\n"
      "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
      "\r\n";
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0], expected);
}

TEST(HttpRequestTest, HostCarriesNoPortForPort80) {
  THttpClient client;
  EXPECT_EQ(client.BuildRequest(THttpUrl::Parse("http://check1.velmora.com/velmora/a.htm")),
            "GET /velmora/a.htm HTTP/1.1\r\n"
            "Content-Type: text/html\r\n"
            "Host: check1.velmora.com\r\n"
            "Accept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
            "\r\n");
}

TEST(HttpRequestTest, RefusesUrlsThatCouldBreakTheRequestLine) {
  for (const char* url : {"https://a/", "ftp://a/", "http:///x", "http://a:0/", "http://a:99999/",
                          "http://a/b c", "http://a/b\r\nX: y", "http://u@a/"}) {
    SCOPED_TRACE(url);
    EXPECT_THROW(THttpUrl::Parse(url), EHttpError);
  }
  const THttpUrl bare = THttpUrl::Parse("http://Host:8080");
  EXPECT_EQ(bare.host, "Host");
  EXPECT_EQ(bare.port, 8080);
  EXPECT_EQ(bare.path, "/");
}

TEST_F(HttpClientTest, DeliversTheBodyUnchanged) {
  server_.Enqueue(TServerBehaviour::Ok("  ABC\r\n"));
  EXPECT_EQ(client_.Get(Url()), "  ABC\r\n");
  EXPECT_EQ(work_.begins, 1);
  EXPECT_EQ(work_.ends, 1);
  EXPECT_EQ(work_.expected, std::vector<std::int64_t>{7});
  EXPECT_EQ(work_.maxCount, 7);
}

TEST_F(HttpClientTest, CookieGoesBackToItsHostOnly) {
  THttpTestServer other;
  server_.Enqueue(TServerBehaviour::SetCookie("sid=abc; Path=/; HttpOnly", "one"));
  server_.Enqueue(TServerBehaviour::SetCookie("lang=zh", "two"));
  other.Enqueue(TServerBehaviour::Ok("three"));
  server_.Enqueue(TServerBehaviour::Ok("four"));

  EXPECT_EQ(client_.Get(Url()), "one");
  EXPECT_EQ(client_.Get(Url()), "two");
  EXPECT_EQ(client_.Get(other.BaseUrl("localhost") + kPath), "three");
  EXPECT_EQ(client_.Get(Url()), "four");

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
  EXPECT_NE(requests[1].find("\r\nCookie: sid=abc\r\n\r\n"), std::string::npos) << requests[1];
  EXPECT_NE(requests[2].find("\r\nCookie: sid=abc; lang=zh\r\n\r\n"), std::string::npos)
      << requests[2];
  ASSERT_EQ(other.Requests().size(), 1u);
  EXPECT_EQ(other.Requests()[0].find("Cookie"), std::string::npos) << other.Requests()[0];
}

TEST_F(HttpClientTest, CookieJarReplacesRemovesAndRefuses) {
  struct Step {
    const char* setCookie;
    const char* cookieLine;  // the Cookie line of the next request; "" for none
  };
  const Step steps[] = {
      {"a=1", "Cookie: a=1\r\n"},
      {"b=2; Path=/x; Secure", "Cookie: a=1; b=2\r\n"},
      {"a=3", "Cookie: a=3; b=2\r\n"},
      {"a=gone; Max-Age=0", "Cookie: b=2\r\n"},
      {"c=\x01\x02", "Cookie: b=2\r\n"},
      {"no equals sign", "Cookie: b=2\r\n"},
      {"b=; max-age=-1", ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.setCookie);
    server_.Enqueue(TServerBehaviour::SetCookie(step.setCookie, "x"));
    client_.Get(Url());
    const std::string next = client_.BuildRequest(THttpUrl::Parse(Url()));
    const std::size_t at = next.find("Cookie: ");
    EXPECT_EQ(at == std::string::npos ? "" : next.substr(at, next.size() - 2 - at),
              step.cookieLine);
  }
}

TEST_F(HttpClientTest, KeepsTheConnectionForTheSameHostOnly) {
  THttpTestServer other;
  server_.SetDefault(TServerBehaviour::Ok("a"));
  other.SetDefault(TServerBehaviour::Ok("b"));
  client_.Get(Url());
  client_.Get(Url());
  EXPECT_EQ(server_.Connections(), 1);
  client_.Get(other.BaseUrl() + kPath);
  client_.Get(Url());
  EXPECT_EQ(server_.Connections(), 2);
  EXPECT_EQ(other.Connections(), 1);
}

TEST_F(HttpClientTest, ReconnectsOnceWhenTheKeptConnectionWasClosed) {
  // The first answer promises a kept connection, then the server drops it.
  TServerBehaviour okThenClose = TServerBehaviour::Ok("first");
  okThenClose.steps.push_back({TServerStep::Kind::kClose, "", 0});
  server_.Enqueue(okThenClose);
  server_.Enqueue(TServerBehaviour::Ok("second"));
  EXPECT_EQ(client_.Get(Url()), "first");
  EXPECT_EQ(client_.Get(Url()), "second");
  EXPECT_EQ(server_.Connections(), 2);

  // The same for a connection opened ahead that the server closed while it waited for its turn.
  client_.Disconnect();
  TServerBehaviour closeAtOnce = TServerBehaviour::AcceptAndClose();
  server_.Enqueue(closeAtOnce);
  server_.Enqueue(TServerBehaviour::Ok("third"));
  client_.ConnectAhead({Url()});
  ASSERT_TRUE(
      Eventually([&] { return server_.Connections() == 3 && server_.OpenConnections() == 0; }));
  EXPECT_EQ(client_.Get(Url()), "third");
  EXPECT_EQ(server_.Connections(), 4);
}

TEST_F(HttpClientTest, ClosesAfterConnectionClose) {
  server_.SetDefault(TServerBehaviour::Ok("a", "Connection: close\r\n"));
  client_.Get(Url());
  client_.Get(Url());
  EXPECT_EQ(server_.Connections(), 2);
}

struct GoodCase {
  const char* name;
  TServerBehaviour behaviour;
  std::string body;
  std::vector<std::int64_t> expected;  // the expected counts of the work events
};

TEST_F(HttpClientTest, ReadsEveryFramingOfASuccessfulBody) {
  const GoodCase cases[] = {
      {"100 then 200", TServerBehaviour::ContinueThenOk("abc"), "abc", {3}},
      {"chunked with extensions",
       TServerBehaviour::Chunked({"ab", "cdefghijklmnopq", "r"}, ";ext=1; q=\"x\""),
       "abcdefghijklmnopqr",
       {2, 15, 1}},
      {"delimited by close", TServerBehaviour::UntilClose("  ABC\r\n"), "  ABC\r\n", {0}},
      {"204", TServerBehaviour::Status(204), "", {}},
      {"length 0", TServerBehaviour::Ok(""), "", {}},
      {"header line of 16384 bytes", TServerBehaviour::OversizedHeaderLine(16384), "ok", {2}},
      {"trickle within the limit", TServerBehaviour::Trickle("ok", 1), "ok", {2}},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    work_ = WorkLog();  // the client's handlers stay bound to work_
    server_.Enqueue(c.behaviour);
    EXPECT_EQ(client_.Get(Url()), c.body);
    EXPECT_EQ(client_.LastStatusCode(), c.name == std::string("204") ? 204 : 200);
    EXPECT_EQ(work_.expected, c.expected);
    EXPECT_EQ(work_.begins, work_.ends);
  }
}

enum class Fails { kHttp, kTimeout, kHttpOrSocket };

struct FaultCase {
  const char* name;
  TServerBehaviour behaviour;
  Fails fails;
  int status;       // the status the error carries (EHttpError only)
  bool bodyBegins;  // whether OnWorkBegin must have come
};

TEST_F(HttpClientTest, EveryFaultEndsAsAFailedRequestWithinTheLimits) {
  const std::string far = "http://elsewhere.invalid/";
  std::string headers;
  for (int i = 0; i < 21; ++i) headers += "X-" + std::to_string(i) + ": y\r\n";
  const FaultCase cases[] = {
      // A close with the request unread may reach the client as a reset.
      {"accept and close", TServerBehaviour::AcceptAndClose(), Fails::kHttpOrSocket, 0, false},
      // Wine reports some resets as an orderly close; both are failures.
      {"reset mid-body", TServerBehaviour::ResetMidBody(), Fails::kHttpOrSocket, 0, true},
      {"stall", TServerBehaviour::Stall(60000), Fails::kTimeout, 0, false},
      // Paced as the read limit is stretched, so that the head still outlasts it.
      {"trickle past the limit",
       TServerBehaviour::Trickle(
           std::string(50, 'x'),
           static_cast<int>(testing::Stretched(std::chrono::milliseconds(40)).count())),
       Fails::kTimeout, 0, false},
      {"301", TServerBehaviour::Redirect(301, far), Fails::kHttp, 301, false},
      {"302", TServerBehaviour::Redirect(302, far), Fails::kHttp, 302, false},
      {"200 with Location", TServerBehaviour::OkWithLocation("x", far), Fails::kHttp, 200, false},
      {"304", TServerBehaviour::Status(304), Fails::kHttp, 304, false},
      {"404", TServerBehaviour::Status(404), Fails::kHttp, 404, false},
      {"500", TServerBehaviour::Status(500), Fails::kHttp, 500, false},
      {"101", TServerBehaviour::Status(101), Fails::kHttp, 101, false},
      {"body shorter than Content-Length", TServerBehaviour::ShortBody(10, "abc"), Fails::kHttp, 0,
       true},
      {"header line of 16385 bytes", TServerBehaviour::OversizedHeaderLine(16385), Fails::kHttp, 0,
       false},
      {"body over the cap, delimited by close", TServerBehaviour::OversizedBody(4 << 20),
       Fails::kHttp, 0, true},
      {"Content-Length over the cap", TServerBehaviour::Ok(std::string(1025, 'x')), Fails::kHttp,
       200, false},
      {"chunk over the cap", TServerBehaviour::Chunked({std::string(1025, 'x')}), Fails::kHttp, 0,
       false},
      {"chunks together over the cap",
       TServerBehaviour::Chunked({std::string(1000, 'x'), std::string(100, 'y')}), Fails::kHttp, 0,
       true},
      {"too many header lines", TServerBehaviour::Ok("x", headers), Fails::kHttp, 0, false},
      {"not HTTP", TServerBehaviour::Raw("SSH-2.0-OpenSSH\r\n\r\n"), Fails::kHttp, 0, false},
  };
  const THttpLimits limits = SmallLimits();
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    work_ = WorkLog();  // the client's handlers stay bound to work_
    server_.Enqueue(c.behaviour);
    const auto start = std::chrono::steady_clock::now();
    int status = -1;
    std::optional<Fails> failed;
    try {
      client_.Get(Url());
    } catch (const EHttpError& e) {
      failed = Fails::kHttp;
      status = e.StatusCode();
    } catch (const ESocketTimeout&) {
      failed = Fails::kTimeout;
    } catch (const ESocketError&) {
      failed = Fails::kHttpOrSocket;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    ASSERT_TRUE(failed.has_value());
    if (c.fails == Fails::kHttpOrSocket) {
      EXPECT_NE(*failed, Fails::kTimeout);
    } else {
      EXPECT_EQ(*failed, c.fails);
    }
    if (c.fails == Fails::kHttp) {
      EXPECT_EQ(status, c.status);
    }
    // Generous: the point is that a fault ends, not how fast.
    EXPECT_LT(elapsed, limits.connectTimeoutMs + limits.readTimeoutMs + 5000);
    EXPECT_EQ(work_.begins > 0, c.bodyBegins);
    EXPECT_EQ(work_.begins, work_.ends) << "OnWorkEnd must follow every begun body";
    EXPECT_LE(work_.maxCount, static_cast<std::int64_t>(limits.maxBodyBytes));
  }
  // After all that, the client still works.
  server_.Enqueue(TServerBehaviour::Ok("fine"));
  EXPECT_EQ(client_.Get(Url()), "fine");
}

TEST(HttpClientFaultTest, RefusedConnectionAndUnknownHostAreSocketErrors) {
  THttpClient client(SmallLimits());
  for (const std::string& url :
       {"http://127.0.0.1:" + std::to_string(THttpTestServer::UnusedPort()) + "/" + kPath,
        std::string("http://no-such-host.invalid/x")}) {
    SCOPED_TRACE(url);
    EXPECT_THROW(client.Get(url), ESocketError);
  }
}

TEST(HttpClientFaultTest, ConnectingEndsWithinItsLimit) {
  const TUnansweringAddress dead("127.0.0.1");
  THttpLimits limits = SmallLimits();
  limits.connectTimeoutMs = 300;
  THttpClient client(limits);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(dead.Port()) + "/"), ESocketError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A host's addresses share the connect limit: one that never answers (an IPv6 address without a
// route, typically) leaves the others their turn, and the first to connect is used.
struct AddressCase {
  const char* name;
  std::vector<std::string> addresses;  // "dead", "live", "refused"
  Fails fails;                         // kHttp here: connected to the live server
};

TEST(ConnectToAddressesTest, FirstAddressToAnswerWins) {
  THttpTestServer live;
  live.SetDefault(TServerBehaviour::Ok("live"));
  const TUnansweringAddress dead("127.0.0.2", live.Port());
  // Nothing listens on 127.0.0.3, so it refuses at once.
  const std::map<std::string, std::string> address{
      {"dead", "127.0.0.2"}, {"live", "127.0.0.1"}, {"refused", "127.0.0.3"}};
  const AddressCase cases[] = {
      {"dead, then live", {"dead", "live"}, Fails::kHttp},
      {"dead, dead, then live", {"dead", "dead", "live"}, Fails::kHttp},
      {"refused, then live", {"refused", "live"}, Fails::kHttp},
      {"live, then dead", {"live", "dead"}, Fails::kHttp},
      {"dead only", {"dead"}, Fails::kTimeout},
      {"refused, then dead", {"refused", "dead"}, Fails::kTimeout},
      {"refused only", {"refused"}, Fails::kHttpOrSocket},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string numeric;
    for (const std::string& name : c.addresses) numeric += address.at(name) + " ";
    const TestResolver resolver({{"several.test", numeric}});
    // Generous for success, which needs one attempt delay; short where the limit must run out.
    const int limitMs = c.fails == Fails::kHttp ? 5000 : 600;
    try {
      TSocket socket = TSocket::Connect("several.test", live.Port(), limitMs);
      const std::string request = "GET / HTTP/1.1\r\n\r\n";
      socket.SendAll(request.data(), request.size(), 2000);
      std::string response;
      char buffer[512];
      while (response.find("live") == std::string::npos) {
        const std::size_t n = socket.Receive(buffer, sizeof buffer, 2000);
        if (n == 0) break;
        response.append(buffer, n);
      }
      EXPECT_EQ(c.fails, Fails::kHttp);
      EXPECT_NE(response.find("live"), std::string::npos);
    } catch (const ESocketTimeout&) {
      EXPECT_EQ(c.fails, Fails::kTimeout);
    } catch (const ESocketError& e) {
      EXPECT_EQ(c.fails, Fails::kHttpOrSocket) << e.what();
    }
  }
}

// KeepWaiting runs while a request waits; its "stop" abandons the request with ESocketCancelled,
// which is neither a failure nor retried (even on a kept connection, whose silence would
// otherwise count as stale), and the client works on afterwards.
TEST_F(HttpClientTest, KeepWaitingGivesTheRequestUp) {
  const TUnansweringAddress dead("127.0.0.2");
  const std::string deadUrl = "http://127.0.0.2:" + std::to_string(dead.Port()) + "/";
  struct CancelCase {
    const char* name;
    std::string url;
    std::function<void()> arrange;
    bool reading;  // give up only once the server has the request, so that it takes its answer
  };
  const CancelCase cases[] = {
      {"while connecting", deadUrl, [] {}, false},
      {"while reading, new connection", Url(),
       [&] { server_.Enqueue(TServerBehaviour::Stall(60000)); }, true},
      // Bytes keep coming, so no slice runs out empty, and the whole answer would arrive within
      // the read limit: the callback must come all the same, while the bytes come.
      {"while a response trickles", Url(),
       [&] { server_.Enqueue(TServerBehaviour::Trickle(std::string(200, 'x'), 1)); }, true},
      {"while reading, kept connection", Url(),
       [&] {
         server_.Enqueue(TServerBehaviour::Ok("kept"));
         client_.KeepWaiting = nullptr;
         EXPECT_EQ(client_.Get(Url()), "kept");
         server_.Enqueue(TServerBehaviour::Stall(60000));
       },
       true},
  };
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    const std::size_t requests = server_.Requests().size() + (c.reading ? 1 : 0);
    int calls = 0;
    client_.KeepWaiting = [&] { return ++calls < 3 || server_.Requests().size() < requests; };
    EXPECT_THROW(client_.Get(c.url), ESocketCancelled);
    EXPECT_GE(calls, 3);
  }
  client_.KeepWaiting = [&] { return true; };
  server_.Enqueue(TServerBehaviour::Ok("fine"));
  EXPECT_EQ(client_.Get(Url()), "fine");
}

// Connections to every host are opened when a check starts, each name looked up once (on a thread
// of its own) and that connection used; the requests still go one after the other, and what was
// opened for a server that is not needed is closed without a byte. Look-ups given up while their
// threads run must leave those threads nothing freed to write into.
TEST_F(HttpClientTest, ConnectsAheadLooksUpOnceAndClosesWhatIsNotNeeded) {
  THttpTestServer second;
  server_.SetDefault(TServerBehaviour::Ok("first"));
  second.SetDefault(TServerBehaviour::Ok("second"));
  const TestResolver resolver({{"one.test", "127.0.0.1"}, {"two.test", "127.0.0.1", 200}});
  const std::string one = server_.BaseUrl("one.test") + kPath;
  const std::string two = second.BaseUrl("TWO.test") + kPath;
  for (int i = 0; i < 20; ++i) TPendingConnection abandoned("two.test", second.Port(), 1000);
  for (int check = 1; check <= 2; ++check) {
    SCOPED_TRACE(check);
    server_.Enqueue(TServerBehaviour::Late(500, "first"));
    client_.ConnectAhead({"not a URL", one, one, two});
    EXPECT_EQ(client_.Get(one), "first");
    EXPECT_EQ(resolver.Queries("one.test"), check);
    // Opened while the first server was asked, and closed once it had answered.
    EXPECT_EQ(second.Connections(), check);
    EXPECT_TRUE(Eventually([&] { return second.OpenConnections() == 0; }));
    EXPECT_EQ(server_.Connections(), check);
    client_.Disconnect();
  }
  EXPECT_TRUE(second.Requests().empty());
  EXPECT_EQ(resolver.Queries("two.test"), 22);
  // A host not opened ahead is looked up by Get itself.
  client_.ConnectAhead({});
  EXPECT_EQ(client_.Get(one), "first");
  EXPECT_EQ(resolver.Queries("one.test"), 3);
}

// Servers opened ahead run out of their limits side by side, and each has limits of its own: its
// look-up gets the whole connect limit from its turn on, however long the servers before it took
// (here a resolver that answers the first name after 0.8 limits and the second after 1.2).
TEST(ConnectAheadTest, EachServerHasItsOwnLimitsAndTheyRunSideBySide) {
  THttpTestServer first, second;
  first.SetDefault(TServerBehaviour::Status(404));
  second.SetDefault(TServerBehaviour::Ok("second"));
  const TUnansweringAddress dead("127.0.0.2");
  THttpLimits limits = SmallLimits();
  limits.connectTimeoutMs = 1000;
  THttpClient client(limits);
  int waits = 0;
  client.KeepWaiting = [&] { return ++waits > 0; };

  {
    const TestResolver slow({{"first.test", "127.0.0.1", 800}, {"second.test", "127.0.0.1", 1200}});
    client.ConnectAhead({first.BaseUrl("first.test"), second.BaseUrl("second.test")});
    EXPECT_THROW(client.Get(first.BaseUrl("first.test")), EHttpError);
    EXPECT_EQ(client.Get(second.BaseUrl("second.test")), "second");
  }

  // Three servers that drop connection attempts: the second and third have run out of their
  // limits while the first was waited for, so they are not waited for again.
  const TestResolver dropped(
      {{"a.test", "127.0.0.2"}, {"b.test", "127.0.0.2"}, {"c.test", "127.0.0.2"}});
  std::vector<std::string> dropping;
  for (const char* name : {"a.test", "b.test", "c.test"}) {
    dropping.push_back("http://" + std::string(name) + ":" + std::to_string(dead.Port()) + "/");
  }
  dropping.push_back(second.BaseUrl() + kPath);
  client.ConnectAhead(dropping);
  EXPECT_THROW(client.Get(dropping[0]), ESocketTimeout);
  waits = 0;
  EXPECT_THROW(client.Get(dropping[1]), ESocketTimeout);
  EXPECT_THROW(client.Get(dropping[2]), ESocketTimeout);
  EXPECT_LE(waits, 2);
  EXPECT_EQ(client.Get(dropping[3]), "second");
}

TEST(HttpClientFaultTest, OnWorkEndComesEvenWhenAWorkHandlerFails) {
  THttpTestServer server;
  server.Enqueue(TServerBehaviour::Ok("abc"));
  THttpClient client(SmallLimits());
  int ends = 0;
  client.OnWork = [](TWorkMode, std::int64_t) { throw std::runtime_error("handler failed"); };
  client.OnWorkEnd = [&](TWorkMode) { ++ends; };
  EXPECT_THROW(client.Get(server.BaseUrl() + kPath), std::runtime_error);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace qor
