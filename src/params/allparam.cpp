#include "params/allparam.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

#include "base/text.h"
#include "params/product_settings.h"

namespace qor {

std::string InstallerFileName;
std::string PackageFileName;
float ProductVersion = 0.0f;
std::string ProductName;
std::string ProductCode;
std::string VerificationPath;
bool TestMode = false;

std::unique_ptr<std::vector<std::string>> ServerList;
// kServerUrls is constant-initialised, so it is ready before this dynamic initialisation.
std::string HomeURL = settings::HomeServerUrl();
std::string CurrentServer;

namespace {

// The five server orderings as indexes of E1..E10 (0 is E1). The maker's hosts come first; the
// mirrors always follow in the order E6..E10, and ordering 2 (r = 1) has no E10.
struct Ordering {
  int count;
  int entries[settings::kServerCount];
};
constexpr Ordering kOrderings[kServerOrderingCount] = {
    {10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},  // E1 E2 E3 E4 E5
    {9, {4, 0, 1, 2, 3, 5, 6, 7, 8}},      // E5 E1 E2 E3 E4
    {10, {3, 4, 0, 1, 2, 5, 6, 7, 8, 9}},  // E4 E5 E1 E2 E3
    {10, {2, 3, 4, 0, 1, 5, 6, 7, 8, 9}},  // E3 E4 E5 E1 E2
    {10, {3, 2, 4, 0, 1, 5, 6, 7, 8, 9}},  // E4 E3 E5 E1 E2: not a rotation
};

}  // namespace

std::string MakeVerificationPath(std::string_view product_code, float version) {
  // "%1.1f" by hand: the integer part, a '.', one rounded decimal.
  const double value = version;
  const long long tenths = std::llround(std::fabs(value) * 10.0);
  std::string text = (value < 0 && tenths != 0) ? "-" : "";
  text += DecimalText(static_cast<std::uint64_t>(tenths / 10));  // tenths >= 0
  text += '.';
  text += static_cast<char>('0' + tenths % 10);

  std::string path = "velmora/";
  path += product_code;
  path += text;
  path += "ins.htm";
  return path;
}

void SetProductParameters() {
  InstallerFileName = "instPG.exe";
  PackageFileName = "install.dat";
  ProductVersion = 3.0f;
  ProductName = "Pagrim";
  ProductCode = "QORPG";
  VerificationPath = MakeVerificationPath(ProductCode, ProductVersion);
  TestMode = settings::kTestMode;
}

int DrawServerOrdering() {
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  // Both halves of the counter go through seed_seq, so nearby counter values give unrelated
  // generator states.
  std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
  // On the heap: its 5 KiB of state would exceed the frame limit (src/runtime/README.md).
  auto generator = std::make_unique<std::mt19937>(seed);
  std::uniform_int_distribution<int> draw(0, kServerOrderingCount - 1);
  return draw(*generator);
}

void AppendServerOrdering(std::vector<std::string>& list, int r) {
  if (r < 0 || r >= kServerOrderingCount) return;
  const Ordering& ordering = kOrderings[r];
  for (int i = 0; i < ordering.count; ++i) {
    list.emplace_back(settings::kServerUrls[ordering.entries[i]]);
  }
}

void InitEndpoints() {
  try {
    const int r = DrawServerOrdering();
    if (!ServerList) ServerList = std::make_unique<std::vector<std::string>>();
    if (TestMode) ServerList->emplace_back(settings::kLoopbackUrl);
    AppendServerOrdering(*ServerList, r);
    HomeURL = settings::HomeServerUrl();
    if (!ServerList->empty()) CurrentServer = ServerList->front();
  } catch (...) {
    // Endpoint set-up never stops the setup; an empty list only means no server is tried.
  }
}

}  // namespace qor
