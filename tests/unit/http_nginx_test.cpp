// The verification's HTTP client against a real nginx, started for this test program by the
// nginx-fixture script (ctest fixture), which names its port in the file that
// QOR_TEST_NGINX_PORT_FILE points to. Skipped when run without that fixture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "verification/http_client.h"

namespace qor {
namespace {

class NginxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* portFile = std::getenv("QOR_TEST_NGINX_PORT_FILE");
    if (portFile == nullptr) GTEST_SKIP() << "no nginx fixture (run through ctest)";
    std::ifstream in(portFile);
    int port = 0;
    ASSERT_TRUE(in >> port) << "cannot read the port from " << portFile;
    port_ = std::to_string(port);
    THttpLimits limits = THttpLimits::Defaults();
    limits.connectTimeoutMs = 5000;
    limits.readTimeoutMs = 5000;
    client_ = std::make_unique<THttpClient>(limits);
    client_->OnWorkBegin = [this](TWorkMode, std::int64_t expected) {
      ++begins_;
      expected_ = expected;
    };
    client_->OnWork = [this](TWorkMode, std::int64_t count) { count_ = count; };
    client_->OnWorkEnd = [this](TWorkMode) { ++ends_; };
  }

  std::string Url(const std::string& path, const std::string& host = "127.0.0.1") const {
    return "http://" + host + ":" + port_ + "/" + path;
  }

  std::string port_;
  std::unique_ptr<THttpClient> client_;
  int begins_ = 0;
  int ends_ = 0;
  std::int64_t expected_ = -1;
  std::int64_t count_ = -1;
};

TEST_F(NginxTest, FetchesTheAnswerFileUnchanged) {
  EXPECT_EQ(client_->Get(Url("velmora/QORPG3.0ins.htm")), "  ABC\r\n");
  EXPECT_EQ(client_->LastStatusCode(), 200);
  EXPECT_EQ(begins_, 1);
  EXPECT_EQ(ends_, 1);
  EXPECT_EQ(expected_, 7);
  EXPECT_EQ(count_, 7);
}

TEST_F(NginxTest, KeepsWorkingOverAKeptConnectionAndAcrossHosts) {
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(client_->Get(Url("cookie/set.htm")), "with cookie");
    EXPECT_EQ(client_->Get(Url("cookie/plain.htm")), "empty");
    EXPECT_EQ(client_->Get(Url("velmora/QORPG3.0ins.htm", "localhost")), "  ABC\r\n");
  }
  EXPECT_EQ(client_->Get(Url("empty.htm")), "");
}

TEST_F(NginxTest, RedirectsAndMissingFilesAreFailures) {
  struct Case {
    const char* path;
    int status;
  };
  for (const Case& c : {Case{"folder", 301}, Case{"missing.htm", 404}, Case{"velmora/", 403}}) {
    SCOPED_TRACE(c.path);
    try {
      client_->Get(Url(c.path));
      ADD_FAILURE() << "no error";
    } catch (const EHttpError& e) {
      EXPECT_EQ(e.StatusCode(), c.status);
    }
  }
  // The client recovers on the same host.
  EXPECT_EQ(client_->Get(Url("velmora/QORPG3.0ins.htm")), "  ABC\r\n");
  EXPECT_EQ(begins_, ends_);
}

}  // namespace
}  // namespace qor
