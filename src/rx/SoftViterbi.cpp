#include "rx/SoftViterbi.h"

#include "coding/ConvolutionalCode.h"

namespace vela {

void SoftViterbiDecoder::Reset() {
  for (int s = 0; s < 256; ++s) {
    metric_[static_cast<size_t>(s)] = 0.0f;
    survivor_[static_cast<size_t>(s)] = static_cast<uint64_t>(s);
  }
}

int SoftViterbiDecoder::Decode(float r0, float r1) {
  // Squared distance from each code pair: with soft inputs the terms common to all four
  // pairs cancel in every comparison, leaving the correlation metric.
  std::array<float, 4> branch{};
  for (int s = 0; s < 4; ++s) {
    const float d1 = ((s & 2) ? 1.0f : -1.0f) - r0;
    const float d0 = ((s & 1) ? 1.0f : -1.0f) - r1;
    branch[static_cast<size_t>(s)] = d1 * d1 + d0 * d0;
  }
  const auto& table = EncoderTable();

  // Next state ns comes from ns/2 or ns/2 + 128 with input bit ns & 1; on equal metrics
  // the second wins, as in the hard decoder.
  std::array<float, 256> newMetric;
  std::array<uint64_t, 256> newSurvivor;
  int best = 0;
  for (int ns = 0; ns < 256; ++ns) {
    const int p1 = ns >> 1;
    const int p2 = p1 + 128;
    const float bm = branch[table[static_cast<size_t>(ns)]];
    const float m1 = metric_[static_cast<size_t>(p1)] + bm;
    const float m2 = metric_[static_cast<size_t>(p2)] + bm;
    const bool second = m2 <= m1;
    newMetric[static_cast<size_t>(ns)] = second ? m2 : m1;
    newSurvivor[static_cast<size_t>(ns)] =
        (survivor_[static_cast<size_t>(second ? p2 : p1)] << 1) | static_cast<uint64_t>(ns & 1);
    if (newMetric[static_cast<size_t>(ns)] < newMetric[static_cast<size_t>(best)]) best = ns;
  }
  const float bestMetric = newMetric[static_cast<size_t>(best)];
  for (int s = 0; s < 256; ++s) {
    metric_[static_cast<size_t>(s)] = newMetric[static_cast<size_t>(s)] - bestMetric;
  }
  survivor_ = newSurvivor;
  return static_cast<int>(survivor_[static_cast<size_t>(best)] >> 63);
}

}  // namespace vela
