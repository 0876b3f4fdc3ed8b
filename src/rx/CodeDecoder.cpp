#include "rx/CodeDecoder.h"

#include <algorithm>
#include <cmath>

#include "coding/ConvolutionalCode.h"

namespace vela {

namespace {

// log(1 + e^-d) in steps of 1/16 up to d = 8, beyond which it is under 0.0004 and taken as
// nothing: the last entry, 0, stands for every d from 8 on.
constexpr int kSteps = 16;
constexpr int kEntries = 8 * kSteps;

const std::array<float, kEntries + 1>& CorrectionTable() {
  static const std::array<float, kEntries + 1> table = [] {
    std::array<float, kEntries + 1> t{};
    for (int i = 0; i < kEntries; ++i)
      t[static_cast<size_t>(i)] =
          static_cast<float>(std::log1p(std::exp(-(i + 0.5) / static_cast<double>(kSteps))));
    return t;
  }();
  return table;
}

// log(e^a + e^b), without a branch: the decoder spends most of its time here, and which
// side of d = 8 a pair of metrics falls on is noise's to decide.
inline float MaxStar(float a, float b, const std::array<float, kEntries + 1>& correction) {
  constexpr auto kLast = static_cast<float>(kEntries / kSteps);
  const float d = std::abs(a - b);
  const float clamped = d < kLast ? d : kLast;  // a NaN takes the last entry too
  return std::max(a, b) + correction[static_cast<size_t>(clamped * kSteps)];
}

constexpr float kNone = -1e30f;

}  // namespace

void CodeDecoder::Decode(std::span<const float> code, const Metrics& start,
                         std::span<float> extrinsic, std::span<float> data, int keepAt,
                         Metrics* kept) {
  const auto& correction = CorrectionTable();
  const auto& table = EncoderTable();
  const size_t n = code.size() / 2;
  alpha_.resize(n + 1);
  // Branch value of each table entry (2 * first + second) for pair i.
  auto branches = [&](size_t i) {
    const float h0 = 0.5f * code[2 * i], h1 = 0.5f * code[2 * i + 1];
    return std::array<float, 4>{-h0 - h1, -h0 + h1, h0 - h1, h0 + h1};
  };
  alpha_[0] = start;
  for (size_t i = 0; i < n; ++i) {
    const auto g = branches(i);
    const Metrics& a = alpha_[i];
    Metrics& next = alpha_[i + 1];
    // State ns (the register after the bit) is reached from ns/2 and ns/2 + 128, by the
    // same input bit and with the same code pair.
    for (int ns = 0; ns < kStates; ++ns) {
      const auto p = static_cast<size_t>(ns >> 1);
      next[static_cast<size_t>(ns)] =
          MaxStar(a[p], a[p + 128], correction) + g[table[static_cast<size_t>(ns)]];
    }
    const float norm = *std::max_element(next.begin(), next.end());
    for (float& v : next) v -= norm;
  }
  if (kept) *kept = alpha_[static_cast<size_t>(std::clamp<int>(keepAt, 0, static_cast<int>(n)))];

  Metrics beta{}, before{};
  for (size_t i = n; i-- > 0;) {
    const Metrics& a = alpha_[i + 1];
    float one = kNone, zero = kNone, first1 = kNone, first0 = kNone, second1 = kNone,
          second0 = kNone;
    for (int ns = 0; ns < kStates; ++ns) {
      const float m = a[static_cast<size_t>(ns)] + beta[static_cast<size_t>(ns)];
      const int e = table[static_cast<size_t>(ns)];
      float& bit = (ns & 1) ? one : zero;
      bit = MaxStar(bit, m, correction);
      float& c0 = (e & 2) ? first1 : first0;
      c0 = MaxStar(c0, m, correction);
      float& c1 = (e & 1) ? second1 : second0;
      c1 = MaxStar(c1, m, correction);
    }
    data[i] = one - zero;
    extrinsic[2 * i] = first1 - first0 - code[2 * i];
    extrinsic[2 * i + 1] = second1 - second0 - code[2 * i + 1];
    if (i == 0) break;
    const auto g = branches(i);
    for (int s = 0; s < kStates; ++s) {
      const auto n0 = static_cast<size_t>((s << 1) & 255), n1 = n0 | 1;
      before[static_cast<size_t>(s)] =
          MaxStar(beta[n0] + g[table[n0]], beta[n1] + g[table[n1]], correction);
    }
    const float norm = *std::max_element(before.begin(), before.end());
    for (int s = 0; s < kStates; ++s)
      beta[static_cast<size_t>(s)] = before[static_cast<size_t>(s)] - norm;
  }
}

}  // namespace vela
