#include "rx/Viterbi.h"

#include "coding/ConvolutionalCode.h"

namespace vela {

void ViterbiDecoder::Reset() {
  for (int s = 0; s < 256; ++s) {
    metric_[static_cast<size_t>(s)] = 0.0f;
    survivor_[static_cast<size_t>(s)] = static_cast<uint64_t>(s);
  }
}

int ViterbiDecoder::Decode(float r0, float r1) {
  // Squared distance of the received pair from each of the four code pairs.
  std::array<float, 4> branch{};
  for (int s = 0; s < 4; ++s) {
    const float e1 = (s & 2) ? 1.0f : -1.0f;
    const float e0 = (s & 1) ? 1.0f : -1.0f;
    const float d1 = e1 - r0;
    const float d0 = e0 - r1;
    branch[static_cast<size_t>(s)] = d1 * d1 + d0 * d0;
  }
  const auto& table = EncoderTable();

  // Next state ns is reached from ns/2 (first candidate) and ns/2 + 128 (second), both with
  // input bit ns & 1. On equal metrics the second candidate wins.
  std::array<float, 256> newMetric{};
  std::array<uint64_t, 256> newSurvivor{};
  for (int ns = 0; ns < 256; ++ns) {
    const int b = ns & 1;
    const int p1 = ns >> 1;
    const int p2 = p1 + 128;
    const float bm = branch[table[static_cast<size_t>(ns)]];
    const float m1 = metric_[static_cast<size_t>(p1)] + bm;
    const float m2 = metric_[static_cast<size_t>(p2)] + bm;
    const int chosen = m2 <= m1 ? p2 : p1;
    newMetric[static_cast<size_t>(ns)] = m2 <= m1 ? m2 : m1;
    newSurvivor[static_cast<size_t>(ns)] =
        (survivor_[static_cast<size_t>(chosen)] << 1) | static_cast<uint64_t>(b);
  }

  int best = 0;
  for (int s = 1; s < 256; ++s) {
    if (newMetric[static_cast<size_t>(s)] < newMetric[static_cast<size_t>(best)]) best = s;
  }
  const float bestMetric = newMetric[static_cast<size_t>(best)];
  for (int s = 0; s < 256; ++s) {
    metric_[static_cast<size_t>(s)] = newMetric[static_cast<size_t>(s)] - bestMetric;
  }
  survivor_ = newSurvivor;
  return static_cast<int>(survivor_[static_cast<size_t>(best)] >> 63);
}

}  // namespace vela
