#include "params/allparam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "params/product_settings.h"

namespace qor {
namespace {

TEST(ProductParametersTest, ShippedValues) {
  SetProductParameters();
  EXPECT_EQ(InstallerFileName, "instPG.exe");
  EXPECT_EQ(PackageFileName, "install.dat");
  EXPECT_EQ(ProductVersion, 3.0f);
  EXPECT_EQ(ProductName, "Pagrim");
  EXPECT_EQ(ProductCode, "QORPG");
  EXPECT_EQ(VerificationPath, "velmora/QORPG3.0ins.htm");
  EXPECT_EQ(VerificationPath.size(), 23u);
  EXPECT_EQ(TestMode, settings::kTestMode);
}

TEST(ProductParametersTest, VersionHasOneDecimalAfterADot) {
  struct Case {
    float version;
    const char* path;
  } cases[] = {
      {3.0f, "velmora/X3.0ins.htm"},  {2.95f, "velmora/X3.0ins.htm"},
      {3.14f, "velmora/X3.1ins.htm"}, {10.0f, "velmora/X10.0ins.htm"},
      {0.05f, "velmora/X0.1ins.htm"}, {0.0f, "velmora/X0.0ins.htm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    EXPECT_EQ(MakeVerificationPath("X", c.version), c.path);
  }
}

TEST(ProductParametersTest, CommaDecimalLocaleStillGivesADot) {
  const char* const comma_locales[] = {"de_DE.UTF-8",         "de_DE.utf8", "fr_FR.UTF-8",
                                       "German_Germany.1252", "German",     "deu"};
  const char* active = nullptr;
  for (const char* name : comma_locales) {
    if (std::setlocale(LC_NUMERIC, name) == nullptr) continue;
    char text[16];
    std::snprintf(text, sizeof text, "%1.1f", 3.0);
    if (std::string(text) == "3,0") {
      active = name;
      break;
    }
  }
  const std::string path = MakeVerificationPath("QORPG", 3.0f);
  std::setlocale(LC_NUMERIC, "C");
  if (active == nullptr) GTEST_SKIP() << "no locale with a comma decimal separator here";
  SCOPED_TRACE(active);
  EXPECT_EQ(path, "velmora/QORPG3.0ins.htm");
}

// The settings of the unit tests name their hosts after the labels, e.g. "http://e4.test/".
std::string E(int label) { return settings::kServerUrls[label - 1]; }

TEST(EndpointsTest, EachOrderingHasTheMakersHostsFirstAndTheMirrorsInPlace) {
  const std::vector<std::vector<int>> expected = {
      {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {5, 1, 2, 3, 4, 6, 7, 8, 9},
      {4, 5, 1, 2, 3, 6, 7, 8, 9, 10}, {3, 4, 5, 1, 2, 6, 7, 8, 9, 10},
      {4, 3, 5, 1, 2, 6, 7, 8, 9, 10},
  };
  ASSERT_EQ(E(4), "http://e4.test/");
  for (int r = 0; r < kServerOrderingCount; ++r) {
    SCOPED_TRACE(r);
    std::vector<std::string> list;
    AppendServerOrdering(list, r);
    std::vector<std::string> want;
    for (int label : expected[r]) want.push_back(E(label));
    EXPECT_EQ(list, want);
    ASSERT_EQ(list.size(), r == 1 ? 9u : 10u);
    for (int position = 6; position <= 9; ++position) EXPECT_EQ(list[position - 1], E(position));
  }
}

TEST(EndpointsTest, OrderingOutOfRangeAppendsNothingAndListsAreNeverCleared) {
  std::vector<std::string> list{"kept"};
  AppendServerOrdering(list, -1);
  AppendServerOrdering(list, kServerOrderingCount);
  EXPECT_EQ(list, std::vector<std::string>{"kept"});
  AppendServerOrdering(list, 1);
  EXPECT_EQ(list.size(), 10u);
  EXPECT_EQ(list.front(), "kept");
}

class InitEndpointsTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    Reset();
    TestMode = false;
  }
  static void Reset() {
    ServerList.reset();
    CurrentServer.clear();
    HomeURL.clear();
  }
};

TEST_F(InitEndpointsTest, FillsListHomeAndCurrentServer) {
  for (bool test_mode : {false, true}) {
    SCOPED_TRACE(test_mode);
    Reset();
    TestMode = test_mode;
    InitEndpoints();
    ASSERT_NE(ServerList, nullptr);
    const std::size_t extra = test_mode ? 1 : 0;
    EXPECT_TRUE(ServerList->size() == 9 + extra || ServerList->size() == 10 + extra);
    if (test_mode) {
      EXPECT_EQ(ServerList->front(), settings::kLoopbackUrl);
    }
    EXPECT_EQ((*ServerList)[extra + 5], E(6));
    EXPECT_EQ(CurrentServer, ServerList->front());
    EXPECT_EQ(HomeURL, E(3));
  }
}

TEST_F(InitEndpointsTest, SecondCallAppendsBehindTheFirst) {
  InitEndpoints();
  // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): the list grows below.
  const std::vector<std::string> first = *ServerList;
  InitEndpoints();
  ASSERT_GE(ServerList->size(), first.size() + 9);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), ServerList->begin()));
  EXPECT_EQ(CurrentServer, first.front());
}

TEST(EndpointsTest, DrawIsRoughlyUniformOverTheFiveOrderings) {
  constexpr int kDraws = 5000;
  std::array<int, kServerOrderingCount> counts{};
  for (int i = 0; i < kDraws; ++i) {
    const int r = DrawServerOrdering();
    ASSERT_GE(r, 0);
    ASSERT_LT(r, kServerOrderingCount);
    ++counts[r];
  }
  // Expected 1000 each with a standard deviation near 28; the bounds only catch a broken draw.
  for (int r = 0; r < kServerOrderingCount; ++r) {
    SCOPED_TRACE(r);
    EXPECT_GT(counts[r], 800);
    EXPECT_LT(counts[r], 1200);
  }
}

}  // namespace
}  // namespace qor
