// The build-time configuration of one setup program. Each setup program (the release one and the
// test variants) links one generated definition of these constants; see
// cmake/ProductSettings.cmake.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qor::settings {

inline constexpr std::size_t kServerCount = 10;

// E1..E10: "http://" + host + "/"; E3 is the maker's main web site (the home address).
extern const char* const kServerUrls[kServerCount];
// E3, the maker's main web site: HomeURL, and the address the windows show and link to.
inline constexpr std::size_t kHomeServerIndex = 2;
inline const char* HomeServerUrl() { return kServerUrls[kHomeServerIndex]; }
// The base URL put first in test mode.
extern const char* const kLoopbackUrl;
extern const bool kTestMode;
// The answer key, with which the maker's published answers are made.
extern const std::uint16_t kAnswerMultiplier;
extern const std::uint16_t kAnswerIncrement;
extern const std::uint16_t kAnswerStartKey;

}  // namespace qor::settings
