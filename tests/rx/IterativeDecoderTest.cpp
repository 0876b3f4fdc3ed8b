// The iterative decoder's two soft-in soft-out halves against the exact a-posteriori values
// worked out by summing over every sequence they could have come from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "coding/ConvolutionalCode.h"
#include "rx/CodeDecoder.h"
#include "rx/EnhancedDemodulator.h"
#include "rx/RailDecoder.h"

namespace vela {
namespace {

// log(sum of e^x) over the values added.
struct LogSum {
  double max = -1e300, sum = 0.0;
  void Add(double x) {
    if (x > max) {
      sum = sum * std::exp(max - x) + 1.0;
      max = x;
    } else {
      sum += std::exp(x - max);
    }
  }
  double Value() const { return max + std::log(sum); }
};

TEST(CodeDecoder, MatchesTheExactPosteriorsFromAnyStartAndCarriesItsStateOn) {
  constexpr int kBits = 8;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f), metric(-3.0f, 0.0f);
  for (int trial = 0; trial < 4; ++trial) {
    // The last block is a strong one (mean |value| 15), which the decoder folds differently.
    std::vector<float> code(2 * kBits);
    for (float& c : code) c = value(rng) * (trial == 3 ? 10.0f : 1.0f);
    CodeDecoder::Metrics start;
    for (float& m : start) m = trial == 0 ? 0.0f : metric(rng);
    // Every start register and every input: the posterior of each data and code bit.
    std::vector<LogSum> one(3 * kBits), zero(3 * kBits);
    for (int s = 0; s < CodeDecoder::kStates; ++s) {
      for (int input = 0; input < (1 << kBits); ++input) {
        auto reg = static_cast<uint8_t>(s);
        double w = start[static_cast<size_t>(s)];
        std::vector<int> bits;
        for (int i = 0; i < kBits; ++i) {
          const int b = (input >> i) & 1;
          const CodePair pair = SplitEntry(EncoderStep(reg, b));
          w += 0.5 * ((pair.p1 ? 1 : -1) * code[2 * static_cast<size_t>(i)] +
                      (pair.p2 ? 1 : -1) * code[2 * static_cast<size_t>(i) + 1]);
          bits.insert(bits.end(), {b, pair.p1, pair.p2});
        }
        for (size_t j = 0; j < bits.size(); ++j) (bits[j] ? one : zero)[j].Add(w);
      }
    }
    CodeDecoder decoder;
    std::vector<float> extrinsic(code.size()), data(kBits);
    CodeDecoder::Metrics kept;
    decoder.Decode(code, start, extrinsic, data, kBits / 2, &kept);
    for (size_t i = 0; i < kBits; ++i) {
      const auto exact = [&](size_t j) { return one[3 * i + j].Value() - zero[3 * i + j].Value(); };
      EXPECT_NEAR(data[i], exact(0), 0.05) << trial << " bit " << i;
      EXPECT_NEAR(extrinsic[2 * i], exact(1) - code[2 * i], 0.05) << trial << " bit " << i;
      EXPECT_NEAR(extrinsic[2 * i + 1], exact(2) - code[2 * i + 1], 0.05) << trial << " bit " << i;
    }
    // The second half decoded from the metrics kept at its start: the same posteriors.
    std::vector<float> tailExtrinsic(kBits), tail(kBits / 2);
    decoder.Decode(std::span(code).subspan(kBits), kept, tailExtrinsic, tail);
    for (size_t i = 0; i < tail.size(); ++i) EXPECT_NEAR(tail[i], data[kBits / 2 + i], 1e-3);
  }
}

TEST(RailDecoder, MatchesTheExactPosteriorsWithKnownSymbolsAndTurnOvers) {
  constexpr int kSymbols = 7;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  for (int trial = 0; trial < 4; ++trial) {
    std::vector<float> rails(kSymbols + 1), prior(kSymbols);
    for (float& r : rails) r = value(rng);
    // No help from the code yet, some help, and known symbols among them; the reference
    // turning over between two rails now and then, or (a huge ratio against) never.
    for (float& p : prior) p = trial == 0 ? 0.0f : value(rng);
    if (trial >= 2) prior[2] = kKnownSymbol;
    if (trial == 3) prior[kSymbols - 1] = -kKnownSymbol;
    const float turnOver = trial % 2 ? kRailTurnOver : 1e4f;
    std::vector<LogSum> plus(kSymbols), minus(kSymbols);
    // Every rail sequence x and turn-over pattern t: link k reads symbol k times its turn.
    for (int xt = 0; xt < (1 << (2 * kSymbols + 1)); ++xt) {
      const int x = xt & ((1 << (kSymbols + 1)) - 1), t = xt >> (kSymbols + 1);
      auto rail = [&](int k) { return (x >> k) & 1 ? 1 : -1; };
      double w = 0.0;
      for (int k = 0; k <= kSymbols; ++k) w += 0.5 * rail(k) * rails[static_cast<size_t>(k)];
      for (int k = 0; k < kSymbols; ++k) {
        const int turn = (t >> k) & 1 ? -1 : 1;
        w +=
            0.5 * (-rail(k) * rail(k + 1) * turn * prior[static_cast<size_t>(k)] + turn * turnOver);
      }
      for (int k = 0; k < kSymbols; ++k)
        (-rail(k) * rail(k + 1) > 0 ? plus : minus)[static_cast<size_t>(k)].Add(w);
    }
    RailDecoder decoder(turnOver);
    std::vector<float> extrinsic(kSymbols);
    decoder.Pass(rails, prior, extrinsic);
    for (size_t k = 0; k < kSymbols; ++k) {
      if (std::abs(prior[k]) == kKnownSymbol) continue;
      EXPECT_NEAR(extrinsic[k], plus[k].Value() - minus[k].Value() - BoxPlus(prior[k], turnOver),
                  2e-3)
          << trial << " symbol " << k;
    }
  }
}

}  // namespace
}  // namespace vela
