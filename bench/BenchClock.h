// Wall-clock timing for the benchmarks.
#pragma once

#include <chrono>

namespace vela::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace vela::bench
