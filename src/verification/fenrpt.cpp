#include "verification/fenrpt.h"

namespace qor {

namespace {

bool RunCipher(const void* source, std::uint32_t sourceLength, void* destination,
               const TAnswerKey& key, std::uint32_t destinationLength, bool encode) {
  if (sourceLength != destinationLength) return false;
  const TAnswerKey k0 = key;
  const auto* in = static_cast<const std::uint8_t*>(source);
  auto* out = static_cast<std::uint8_t*>(destination);
  std::uint16_t k = k0.StartKey;
  for (std::uint32_t i = 0; i < sourceLength; ++i) {
    const std::uint8_t consumed = in[i];  // read before the write: the buffers may be one
    const std::uint8_t produced = static_cast<std::uint8_t>(consumed ^ (k >> 8));
    out[i] = produced;
    const std::uint8_t feedback = encode ? consumed : produced;
    // The sum is reduced to 8 bits before the multiplication.
    const std::uint8_t s = static_cast<std::uint8_t>(feedback + (k & 255));
    k = static_cast<std::uint16_t>(s * k0.Multiplier + k0.Increment);
  }
  return true;
}

}  // namespace

bool EncodeBuffer(const void* source, std::uint32_t sourceLength, void* destination,
                  const TAnswerKey& key, std::uint32_t destinationLength) {
  return RunCipher(source, sourceLength, destination, key, destinationLength, true);
}

bool DecodeBuffer(const void* source, std::uint32_t sourceLength, void* destination,
                  const TAnswerKey& key, std::uint32_t destinationLength) {
  return RunCipher(source, sourceLength, destination, key, destinationLength, false);
}

std::string CodeString(std::string_view text, const TAnswerKey& key, bool encode) {
  std::string result(text.size(), '\0');
  const auto length = static_cast<std::uint32_t>(text.size());
  const auto result_length = static_cast<std::uint32_t>(result.size());
  const bool ok = encode ? EncodeBuffer(text.data(), length, result.data(), key, result_length)
                         : DecodeBuffer(text.data(), length, result.data(), key, result_length);
  if (!ok) result.clear();
  return result;
}

std::string DecodeString(std::string_view text, const TAnswerKey& key) {
  return CodeString(text, key, false);
}

}  // namespace qor
