#include "sim/SweepText.h"

#include <algorithm>
#include <random>
#include <vector>

namespace vela {

int64_t AlignedEditDistance(std::string_view sent, std::string_view received) {
  // Row j holds the cost of aligning sent[0..i) with a suffix-free prefix of received[0..j)
  // whose unaligned start is free: cost(0, j) = 0.
  const size_t n = sent.size();
  const size_t m = received.size();
  std::vector<int64_t> prev(m + 1, 0), cur(m + 1);
  for (size_t i = 1; i <= n; ++i) {
    cur[0] = static_cast<int64_t>(i);
    for (size_t j = 1; j <= m; ++j) {
      const int64_t sub = prev[j - 1] + (sent[i - 1] == received[j - 1] ? 0 : 1);
      cur[j] = std::min({sub, prev[j] + 1, cur[j - 1] + 1});
    }
    std::swap(prev, cur);
  }
  return prev[m];
}

std::string SweepText(int chars) {
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> printable(32, 126);
  std::string text;
  for (int i = 0; i < chars; ++i) text += static_cast<char>(printable(rng));
  return text;
}

}  // namespace vela
