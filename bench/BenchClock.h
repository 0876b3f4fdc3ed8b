// Timing for the benchmarks: wall clock, and the CPU time of the calling thread (what a
// figure "on one core" means on a machine other work shares).
#pragma once

#include <chrono>
#include <ctime>

namespace vela::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

inline double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

}  // namespace vela::bench
