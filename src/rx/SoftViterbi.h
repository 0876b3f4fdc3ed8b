// Soft-decision Viterbi decoder for the K=7 code: the same trellis, encoder table, survivor
// registers and tie rules as the hard decoder, but each code bit arrives as a real number
// whose sign is the bit and whose size is how sure the demodulator is of it (0 = no idea).
// Only the enhanced receiver uses it; the transmit echo keeps the shared hard decoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vela {

class SoftViterbiDecoder {
 public:
  SoftViterbiDecoder() { Reset(); }

  void Reset();

  // One code pair (first and second code bit, +ve = 1); returns the bit decided along the
  // best path 63 steps earlier.
  int Decode(float r0, float r1);

  float metric(int state) const { return metric_[static_cast<size_t>(state)]; }

 private:
  std::array<float, 256> metric_{};
  std::array<uint64_t, 256> survivor_{};  // byte 0 (most significant) is the oldest
};

}  // namespace vela
