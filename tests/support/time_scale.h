// Limits on how quickly the code under test does its own work are set for a native machine. Under
// emulation (the guest of scripts/guest) that work takes several times longer: the guest measures
// how many and sets QOR_TEST_TIME_SCALE, by which Stretched() widens such a limit (by 1 where it is
// unset). Time the code waits on a clock of its own or a server's (a connect limit, a stall) is
// not its work and is never stretched.
#pragma once

#include <chrono>
#include <cstdlib>

namespace qor::testing {

inline double TimeScale() {
  static const double scale = [] {
    const char* text = std::getenv("QOR_TEST_TIME_SCALE");
    const double value = text ? std::atof(text) : 1.0;
    return value > 1.0 ? value : 1.0;
  }();
  return scale;
}

inline std::chrono::milliseconds Stretched(std::chrono::milliseconds limit) {
  return std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(
      static_cast<double>(limit.count()) * TimeScale()));
}

}  // namespace qor::testing
