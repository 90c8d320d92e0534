// The answer cipher: a keyed byte cipher with plaintext feedback, in an encoding and a decoding
// direction that invert each other under the same key. No state outside the arguments.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qor {

// The answer key: three constants of the product, shared with whoever publishes the answers.
struct TAnswerKey {
  std::uint16_t Multiplier;  // multiplies the running key at each byte
  std::uint16_t Increment;   // is added to the running key at each byte
  std::uint16_t StartKey;    // the running key before the first byte of every call
};

// The byte routines. For i = 0..n-1: T[i] = S[i] XOR (high byte of the running key k, which
// starts at StartKey); then k = (((f + (k & 255)) & 255) * Multiplier + Increment) & 65535, where
// the feedback byte f is the plaintext byte: S[i] when encoding, T[i] when decoding.
// Return false and write nothing when sourceLength differs from destinationLength; otherwise
// write destinationLength bytes and return true. Source and destination may be the same buffer.
// The key is copied; the caller's key is never changed.
bool EncodeBuffer(const void* source, std::uint32_t sourceLength, void* destination,
                  const TAnswerKey& key, std::uint32_t destinationLength);
bool DecodeBuffer(const void* source, std::uint32_t sourceLength, void* destination,
                  const TAnswerKey& key, std::uint32_t destinationLength);

// Runs the cipher over every byte of text (encode selects the direction); the result has the
// text's length, or is empty when the byte routine fails.
std::string CodeString(std::string_view text, const TAnswerKey& key, bool encode);

// CodeString(text, key, false).
std::string DecodeString(std::string_view text, const TAnswerKey& key);

}  // namespace qor
