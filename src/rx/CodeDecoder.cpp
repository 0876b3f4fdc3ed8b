#include "rx/CodeDecoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

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

// log(e^a + e^b). Metrics 8 or more apart take no correction; `kSkipFar` says whether to
// find that out with a branch (cheap where nearly every pair is far apart, as in a strong
// block's folds) or from a capped index (where near and far come as noise decides).
template <bool kSkipFar>
inline float MaxStar(float a, float b, const std::array<float, kEntries + 1>& correction) {
  const float d = std::abs(a - b);
  const float larger = std::max(a, b);
  if constexpr (kSkipFar) {
    if (!(d < static_cast<float>(kEntries / kSteps))) return larger;
    return larger + correction[static_cast<size_t>(d * kSteps)];
  } else {
    // d is never negative, so its bit pattern orders like its value, with a NaN above every
    // number: capping the pattern caps the index.
    const auto scaled = std::bit_cast<uint32_t>(d * kSteps);
    const auto capped = std::min(scaled, std::bit_cast<uint32_t>(static_cast<float>(kEntries)));
    return larger + correction[static_cast<size_t>(std::bit_cast<float>(capped))];
  }
}

constexpr float kNone = -1e30f;

// Mean |code value| above which a block counts as strong. In VELA63 decodes a block reads 19
// or more at -6 dB and mostly 1 to 12 at -17 dB (where a tenth of the characters are lost).
constexpr float kStrongBlock = 12;

// The states in the order the backward pass folds them into each a-posteriori value: by the
// data bit they end with (zero, one), the first code bit their table entry sends (zero, one)
// and the second (zero, one), each group in ascending state order. The table does not split
// the second bit evenly (130 against 126), so the groups differ in size; all share the first
// `common` steps.
struct StateGroups {
  struct Group {
    std::array<uint8_t, CodeDecoder::kStates> states;
    size_t size;
  };
  std::array<Group, 6> group;
  size_t common;
};

const StateGroups& GroupsOfStates() {
  static const StateGroups groups = [] {
    StateGroups g{};
    const auto& table = EncoderTable();
    for (int ns = 0; ns < CodeDecoder::kStates; ++ns) {
      const int e = table[static_cast<size_t>(ns)];
      for (const int j : {ns & 1, 2 + ((e >> 1) & 1), 4 + (e & 1)}) {
        auto& group = g.group[static_cast<size_t>(j)];
        group.states[group.size++] = static_cast<uint8_t>(ns);
      }
    }
    g.common = CodeDecoder::kStates;
    for (const auto& group : g.group) g.common = std::min(g.common, group.size);
    return g;
  }();
  return groups;
}

// Folds `m` (forward plus backward metric of each state) into the six a-posteriori values,
// interleaved so that no fold waits on its own last step, each in its group's order.
template <bool kSkipFar>
std::array<float, 6> Fold(const CodeDecoder::Metrics& m, const StateGroups& groups,
                          const std::array<float, kEntries + 1>& correction) {
  std::array<float, 6> fold;
  fold.fill(kNone);
  for (size_t k = 0; k < groups.common; ++k)
    for (size_t j = 0; j < fold.size(); ++j)
      fold[j] = MaxStar<kSkipFar>(fold[j], m[groups.group[j].states[k]], correction);
  for (size_t j = 0; j < fold.size(); ++j)
    for (size_t k = groups.common; k < groups.group[j].size; ++k)
      fold[j] = MaxStar<kSkipFar>(fold[j], m[groups.group[j].states[k]], correction);
  return fold;
}

}  // namespace

void CodeDecoder::Decode(std::span<const float> code, const Metrics& start,
                         std::span<float> extrinsic, std::span<float> data, int keepAt,
                         Metrics* kept) {
  const auto& correction = CorrectionTable();
  const auto& table = EncoderTable();
  const auto& groups = GroupsOfStates();
  const size_t n = code.size() / 2;
  float sum = 0;
  for (const float c : code) sum += std::abs(c);
  const bool strong = sum > kStrongBlock * static_cast<float>(code.size());
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
    // States 2p and 2p + 1 (the register after the bit) are both reached from p and p + 128,
    // by the same input bit and with the same code pair.
    for (size_t p = 0; p < kStates / 2; ++p) {
      const float from = MaxStar<false>(a[p], a[p + 128], correction);
      next[2 * p] = from + g[table[2 * p]];
      next[2 * p + 1] = from + g[table[2 * p + 1]];
    }
    const float norm = *std::max_element(next.begin(), next.end());
    for (float& v : next) v -= norm;
  }
  if (kept) *kept = alpha_[static_cast<size_t>(std::clamp<int>(keepAt, 0, static_cast<int>(n)))];

  Metrics beta{}, m{};
  for (size_t i = n; i-- > 0;) {
    const Metrics& a = alpha_[i + 1];
    for (size_t ns = 0; ns < kStates; ++ns) m[ns] = a[ns] + beta[ns];
    const auto fold =
        strong ? Fold<true>(m, groups, correction) : Fold<false>(m, groups, correction);
    const auto [zero, one, first0, first1, second0, second1] = fold;
    data[i] = one - zero;
    extrinsic[2 * i] = first1 - first0 - code[2 * i];
    extrinsic[2 * i + 1] = second1 - second0 - code[2 * i + 1];
    if (i == 0) break;
    const auto g = branches(i);
    // State s goes on to 2s mod 256 and that plus one, so s and s + 128 share their future.
    std::array<float, kStates / 2> before;
    for (size_t s = 0; s < kStates / 2; ++s)
      before[s] = MaxStar<false>(beta[2 * s] + g[table[2 * s]],
                                 beta[2 * s + 1] + g[table[2 * s + 1]], correction);
    const float norm = *std::max_element(before.begin(), before.end());
    for (size_t s = 0; s < kStates / 2; ++s) beta[s] = beta[s + 128] = before[s] - norm;
  }
}

}  // namespace vela
