// Viterbi decoder for the K=7 code: 256 states, 64-bit survivor registers (no separate
// traceback), so each decoded bit comes out 63 steps after its code pair. Hard decisions
// (+1/-1, 0 neutral) from the standard receiver and the transmit echo, which share one
// instance; soft values (sign the bit, size the certainty) from the enhanced receiver,
// which has its own. Same trellis, table and tie rules either way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vela {

// Code pairs between a pair going in and its bit coming out.
inline constexpr int kViterbiDelay = 63;

class ViterbiDecoder {
 public:
  ViterbiDecoder() { Reset(); }

  // Metrics to 0; each survivor register holds its own state number in its low byte.
  void Reset();

  // One code pair (first and second code bit as +1/-1; 0 is neutral); returns the bit
  // decided along the best path 63 steps earlier.
  int Decode(int r0, int r1) { return Decode(static_cast<float>(r0), static_cast<float>(r1)); }
  // The same for soft values (+ve = 1).
  int Decode(float r0, float r1);

  float metric(int state) const { return metric_[static_cast<size_t>(state)]; }
  uint64_t survivor(int state) const { return survivor_[static_cast<size_t>(state)]; }

 private:
  std::array<float, 256> metric_{};
  std::array<uint64_t, 256> survivor_{};  // byte 0 (most significant) is the oldest
};

}  // namespace vela
