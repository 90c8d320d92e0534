// The shipped answer key can publish every fingerprint. The client lower-cases, trims and
// unescapes the body before decoding, so an answer survives only if none of its bytes is changed
// by those steps. Both cipher directions feed back the plaintext byte, so the running key depends
// only on the fingerprint digits consumed so far: exploring every running-key value reachable
// from StartKey through the 16 digits, and checking the 16 bytes each can emit, covers every
// fingerprint of every length at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "params/product_settings.h"
#include "verification/fenrpt.h"

namespace qor {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// A byte the client's steps leave alone and that the publisher need not escape: printable ASCII
// other than upper-case letters, the backslash and the five characters of the escape patterns.
// (Printable also rules out the bytes 0..32 that trimming would remove at either end.)
bool IsPlainAnswerByte(std::uint8_t byte) {
  if (byte <= 32 || byte >= 127) return false;
  if (byte >= 'A' && byte <= 'Z') return false;
  return std::string_view("\\<?%>$").find(static_cast<char>(byte)) == std::string_view::npos;
}

struct Exploration {
  std::size_t reachable_keys = 0;
  // The first running key and digit whose enciphered byte is not plain, if any.
  std::optional<std::pair<std::uint16_t, char>> violation;
  bool model_mismatch = false;  // the key walk below disagrees with the cipher's own
};

Exploration ExploreRunningKeys(const TAnswerKey& key) {
  Exploration result;
  std::vector<bool> seen(65536, false);
  std::vector<std::uint16_t> queue{key.StartKey};
  seen[key.StartKey] = true;
  for (std::size_t next = 0; next < queue.size(); ++next) {
    const std::uint16_t k = queue[next];
    for (const char* digit = kHexDigits; *digit; ++digit) {
      const auto c = static_cast<std::uint8_t>(*digit);
      const auto s = static_cast<std::uint8_t>(c + (k & 255));
      const auto successor = static_cast<std::uint16_t>(s * key.Multiplier + key.Increment);
      // The emitted byte comes from the real cipher, started at running key k; a zero byte after
      // the digit shows the high byte of the real successor, which must match the model's.
      const std::string out =
          CodeString(std::string{*digit, '\0'}, TAnswerKey{key.Multiplier, key.Increment, k}, true);
      if (static_cast<std::uint8_t>(out[1]) != successor >> 8) result.model_mismatch = true;
      if (!IsPlainAnswerByte(static_cast<std::uint8_t>(out[0]))) {
        result.violation = {k, *digit};
        return result;
      }
      if (!seen[successor]) {
        seen[successor] = true;
        queue.push_back(successor);
      }
    }
  }
  result.reachable_keys = queue.size();
  return result;
}

TEST(AnswerKeyTest, EveryReachableRunningKeyEmitsOnlyPlainBytes) {
  const TAnswerKey key{settings::kAnswerMultiplier, settings::kAnswerIncrement,
                       settings::kAnswerStartKey};
  const Exploration exploration = ExploreRunningKeys(key);
  // NOLINTBEGIN(bugprone-unchecked-optional-access): the message is built only when it has one.
  ASSERT_FALSE(exploration.violation.has_value())
      << "running key " << exploration.violation->first << " enciphers digit '"
      << exploration.violation->second << "' to a byte the client would change";
  // NOLINTEND(bugprone-unchecked-optional-access)
  EXPECT_FALSE(exploration.model_mismatch);
  EXPECT_GT(exploration.reachable_keys, 1u);
}

TEST(AnswerKeyTest, ExplorationFindsTheFaultOfAnArbitraryKey) {
  const Exploration exploration = ExploreRunningKeys(TAnswerKey{0x1234, 0x5678, 0x9ABC});
  EXPECT_TRUE(exploration.violation.has_value());
}

}  // namespace
}  // namespace qor
